#include "Ansi.h"

namespace {

// Bytes 0x80 to 0x9F of Windows-1252. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the C1 control of the same value, as Windows
// does, so every byte survives a decode and encode.
constexpr char16_t HighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

// The byte for one UTF-16 code unit, or -1 when the code page lacks it.
int byteFor(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i) {
        if (HighTable[i] == u)
            return 0x80 + i;
    }
    return -1;
}

}

namespace Ansi {

QByteArray encode(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const int b = byteFor(c.unicode());
        out.append(b < 0 ? '?' : char(b));
    }
    return out;
}

QString decode(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(QChar(b >= 0x80 && b <= 0x9F ? HighTable[b - 0x80] : char16_t(b)));
    }
    return out;
}

bool canEncode(QStringView text)
{
    for (const QChar c : text) {
        if (byteFor(c.unicode()) < 0)
            return false;
    }
    return true;
}

}
