#include "LineList.h"

#include "Ansi.h"
#include "AppError.h"
#include "DurableFile.h"

#include <QFile>

namespace {

QString decodeUtf16(QByteArrayView bytes, bool littleEndian)
{
    // An odd byte at the end is half a code unit: it is dropped.
    const qsizetype units = bytes.size() / 2;
    QString out(units, Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < units; ++i) {
        const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        dst[i] = QChar(littleEndian ? char16_t(b0 | (b1 << 8)) : char16_t((b0 << 8) | b1));
    }
    return out;
}

QByteArray encodeUtf16(QStringView text, bool littleEndian)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const char lo = char(u & 0xFF);
        const char hi = char(u >> 8);
        if (littleEndian) {
            out.append(lo);
            out.append(hi);
        } else {
            out.append(hi);
            out.append(lo);
        }
    }
    return out;
}

}

void LineList::loadFromBytes(const QByteArray &bytes)
{
    const QByteArrayView all(bytes);
    QString text;
    if (all.startsWith("\xEF\xBB\xBF")) {
        encoding = TextEncoding::Utf8;
        text = QString::fromUtf8(all.sliced(3));
    } else if (all.startsWith("\xFF\xFE")) {
        encoding = TextEncoding::Utf16LE;
        text = decodeUtf16(all.sliced(2), true);
    } else if (all.startsWith("\xFE\xFF")) {
        encoding = TextEncoding::Utf16BE;
        text = decodeUtf16(all.sliced(2), false);
    } else {
        encoding = TextEncoding::Ansi;
        text = Ansi::decode(all);
    }

    // The text ends at the first NUL.
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);

    entries.clear();
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        entries.append(text.mid(pos, end - pos));
        pos = end;
        if (pos < n && text.at(pos) == u'\r')
            ++pos;
        if (pos < n && text.at(pos) == u'\n')
            ++pos;
    }
}

QByteArray LineList::toBytes() const
{
    QString text;
    for (const QString &entry : entries) {
        text += entry;
        text += QLatin1String("\r\n");
    }
    switch (encoding) {
    case TextEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case TextEncoding::Utf16LE:
        return QByteArray("\xFF\xFE") + encodeUtf16(text, true);
    case TextEncoding::Utf16BE:
        return QByteArray("\xFE\xFF") + encodeUtf16(text, false);
    case TextEncoding::None:
    case TextEncoding::Ansi:
        break;
    }
    return Ansi::encode(text);
}

void LineList::loadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                           .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    // A read that fails half-way must not pass for a shorter history: the rewrite that
    // follows would drop the rest of the file.
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                           .arg(path, file.errorString()));
    loadFromBytes(bytes);
}

void LineList::saveToFile(const QString &path, bool atomic) const
{
    const QByteArray bytes = toBytes();
    bool ok = true;
    QString reason;
    if (atomic) {
        reason = DurableFile::write(path, bytes);
        ok = reason.isEmpty();
    } else {
        QFile file(path);
        ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate)
             && file.write(bytes) == bytes.size() && file.flush();
        if (ok) {
            file.close();
            ok = file.error() == QFileDevice::NoError;
        }
        if (!ok)
            reason = file.errorString();
    }
    if (!ok)
        throw AppError(QStringLiteral("Impossible de créer le fichier \"%1\". %2").arg(path, reason));
}
