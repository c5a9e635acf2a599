#include "Ansi.h"

#include <array>

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

// The UTF-16 code unit of every byte: one look-up per character on the way in.
constexpr std::array<char16_t, 256> makeDecodeTable()
{
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = b >= 0x80 && b <= 0x9F ? HighTable[b - 0x80] : char16_t(b);
    return table;
}
constexpr std::array<char16_t, 256> DecodeTable = makeDecodeTable();

// The byte for one UTF-16 code unit, or -1 when the code page lacks it.
inline int byteFor(char16_t u)
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

char *encodeInto(QStringView text, char *out)
{
    const char16_t *src = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int b = byteFor(src[i]);
        out[i] = b < 0 ? '?' : char(b);
    }
    return out + n;
}

QByteArray encode(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    encodeInto(text, out.data());
    return out;
}

QString decode(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    QString out(n, Qt::Uninitialized);
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    auto *dst = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < n; ++i)
        dst[i] = DecodeTable[src[i]];
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
