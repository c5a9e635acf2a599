#include "FileFrameSink.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A renamed file survives a power cut only once its folder is synced too.
void syncFolder(const QString &path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

} // namespace

class FileFrame : public FrameSinkFrame {
public:
    FileFrame(FileFrameSink *sink, const QString &path) : m_sink(sink), m_file(path) {}
    ~FileFrame() override { discard(); }

    bool open(QString *error)
    {
        // NewOnly: never write into a file that is already there. Unbuffered: every piece
        // reaches the system as it comes (the pieces are a socket read each), so what a
        // receiver stopped abnormally leaves is what it had received.
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        m_done = true; // the name is someone else's: leave that file alone
        *error = QStringLiteral("impossible de créer %1 : %2")
                     .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
        return false;
    }

    bool write(QByteArrayView bytes, QString *error) override
    {
        if (m_file.write(bytes.data(), bytes.size()) == bytes.size())
            return true;
        *error = QStringLiteral("écriture impossible dans %1 : %2")
                     .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
        return false;
    }

    bool complete(quint32, QString *stored, QString *error) override
    {
        return finish(QStringLiteral(".txt"), stored, error);
    }

    bool cut(quint32, QString *stored, QString *error) override
    {
        return finish(QStringLiteral(".incomplet.txt"), stored, error);
    }

    void discard() override
    {
        if (m_done)
            return;
        m_done = true;
        m_file.close();
        m_file.remove();
    }

private:
    bool finish(const QString &suffix, QString *stored, QString *error)
    {
        m_done = true;
        const QString temporary = m_file.fileName();
        bool ok = m_file.flush();
#ifdef Q_OS_UNIX
        ok = ok && ::fsync(m_file.handle()) == 0;
#endif
        if (!ok) {
            *error = QStringLiteral("écriture impossible dans %1 : %2")
                         .arg(QDir::toNativeSeparators(temporary), m_file.errorString());
            m_file.close();
            QFile::remove(temporary);
            return false;
        }
        m_file.close();
        // QFile::rename never replaces a file: a name taken meanwhile gets the next number.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString name = m_sink->nextName(suffix);
            if (QFile::rename(temporary, m_sink->m_folder.filePath(name))) {
                syncFolder(m_sink->m_folder.path());
                *stored = name;
                return true;
            }
            if (!QFile::exists(temporary))
                break;
        }
        *error = QStringLiteral("impossible de renommer %1 : %2")
                     .arg(QDir::toNativeSeparators(temporary), m_file.errorString());
        QFile::remove(temporary);
        return false;
    }

    FileFrameSink *m_sink;
    QFile m_file;
    bool m_done = false;
};

FileFrameSink::FileFrameSink(const QString &folder) : m_folder(folder) {}

QString FileFrameSink::temporaryPrefix()
{
    return QStringLiteral(".zelvano-reception-");
}

QString FileFrameSink::prepare()
{
    if (!m_folder.exists() && !m_folder.mkpath(QStringLiteral(".")))
        return QStringLiteral("impossible de créer le dossier %1").arg(m_folder.path());
    recoverLeftovers();
    return QString();
}

void FileFrameSink::recoverLeftovers()
{
#ifdef Q_OS_UNIX
    // Only names this program makes: ".zelvano-reception-PID-N.part".
    static const QRegularExpression ours(QStringLiteral("^%1(\\d+)-\\d+\\.part$")
                                             .arg(QRegularExpression::escape(temporaryPrefix())));
    const QStringList names = m_folder.entryList({temporaryPrefix() + QStringLiteral("*.part")},
                                                 QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        const QRegularExpressionMatch m = ours.match(name);
        bool ok = false;
        const qint64 pid = m.hasMatch() ? m.captured(1).toLongLong(&ok) : 0;
        if (!ok || pid <= 0 || pid > 0x7FFFFFFF || pid == QCoreApplication::applicationPid())
            continue;
        // A receiver still running on this folder is writing it.
        if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
            continue;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString kept = nextName(QStringLiteral(".incomplet.txt"));
            if (QFile::rename(m_folder.filePath(name), m_folder.filePath(kept))) {
                m_recovered << kept;
                break;
            }
            if (!m_folder.exists(name))
                break;
        }
    }
    if (!m_recovered.isEmpty())
        syncFolder(m_folder.path());
#endif
}

QString FileFrameSink::nextName(const QString &suffix)
{
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString name;
    do {
        name = QStringLiteral("feuille-%1-%2%3").arg(stamp).arg(++m_sequence).arg(suffix);
    } while (m_folder.exists(name));
    return name;
}

std::unique_ptr<FrameSinkFrame> FileFrameSink::begin(const FrameInfo &, QString *error)
{
    // The process number keeps two receivers sharing a folder apart.
    const QString name = QStringLiteral("%1%2-%3.part")
                             .arg(temporaryPrefix())
                             .arg(QCoreApplication::applicationPid())
                             .arg(++m_temporarySequence);
    auto frame = std::make_unique<FileFrame>(this, m_folder.filePath(name));
    if (!frame->open(error))
        return nullptr;
    return frame;
}
