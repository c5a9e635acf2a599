#include "DbFrameSink.h"

namespace {
class DbFrame : public FrameSinkFrame {
public:
    DbFrame(const DbFrameSink::Store &store, QString address)
        : m_store(store), m_address(std::move(address)) {}
    bool write(QByteArrayView bytes, QString *) override
    {
        m_bytes.append(bytes);
        return true;
    }
    bool complete(quint32, QString *stored, QString *error) override
    {
        const QByteArray bytes = std::exchange(m_bytes, QByteArray());
        return m_store(DbFrameSink::splitLines(bytes), m_address, stored, error);
    }
    bool cut(quint32 linesDone, QString *stored, QString *) override
    {
        m_bytes.clear();
        *stored = QStringLiteral("rien (trame incomplète, %1 lignes reçues, non enregistrée)").arg(linesDone);
        return true;
    }
    void discard() override { m_bytes.clear(); }

private:
    const DbFrameSink::Store &m_store;
    QString m_address;
    QByteArray m_bytes;
};
} // namespace

std::unique_ptr<FrameSinkFrame> DbFrameSink::begin(const FrameInfo &info, QString *)
{
    return std::make_unique<DbFrame>(m_store, addressOf(info.peer));
}

QString DbFrameSink::addressOf(const QString &peer)
{
    const qsizetype colon = peer.lastIndexOf(u':');
    return colon > 0 ? peer.left(colon) : peer;
}

QList<QByteArray> DbFrameSink::splitLines(const QByteArray &bytes)
{
    QList<QByteArray> out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf("\r\n", from);
        if (end < 0)
            break;
        out.append(bytes.mid(from, end - from));
        from = end + 2;
    }
    return out;
}
