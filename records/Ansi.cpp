#include "Ansi.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <iterator>

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


// Letters that have no canonical decomposition, and a few look-alike signs, with the
// letter (or sign) Windows-1252 holds that a reader takes for them. Sorted by code point.
struct Fit {
    char32_t from;
    unsigned char to;
};
constexpr Fit Fits[] = {
    {0x0110, 'D'}, {0x0111, 'd'}, // Đ đ
    {0x0126, 'H'}, {0x0127, 'h'}, // Ħ ħ
    {0x0131, 'i'},                // dotless ı
    {0x0138, 'k'},                // ĸ
    {0x013F, 'L'}, {0x0140, 'l'}, // Ŀ ŀ
    {0x0141, 'L'}, {0x0142, 'l'}, // Ł ł
    {0x0149, 'n'},                // ŉ
    {0x014A, 'N'}, {0x014B, 'n'}, // Ŋ ŋ
    {0x0166, 'T'}, {0x0167, 't'}, // Ŧ ŧ
    {0x017F, 's'},                // long ſ
    {0x0180, 'b'}, {0x0181, 'B'}, {0x0187, 'C'}, {0x0188, 'c'}, {0x0189, 'D'}, {0x018A, 'D'},
    {0x0191, 'F'}, {0x0193, 'G'}, {0x0197, 'I'}, {0x0198, 'K'}, {0x0199, 'k'}, {0x019A, 'l'},
    {0x019D, 'N'}, {0x019E, 'n'}, {0x019F, 'O'}, {0x01A4, 'P'}, {0x01A5, 'p'}, {0x01AB, 't'},
    {0x01AC, 'T'}, {0x01AD, 't'}, {0x01AE, 'T'}, {0x01B2, 'V'}, {0x01B3, 'Y'}, {0x01B4, 'y'},
    {0x01B5, 'Z'}, {0x01B6, 'z'}, {0x01E4, 'G'}, {0x01E5, 'g'},
    {0x0253, 'b'}, {0x0256, 'd'}, {0x0257, 'd'}, {0x0260, 'g'}, {0x0268, 'i'}, {0x0272, 'n'},
    {0x02BC, '\''}, // modifier apostrophe, as in some transcribed names
    {0x1E9E, 0xDF}, // capital sharp S: the small one is in the code page
    {0x2000, ' '}, {0x2001, ' '}, {0x2002, ' '}, {0x2003, ' '}, {0x2004, ' '}, {0x2005, ' '},
    {0x2006, ' '}, {0x2007, ' '}, {0x2008, ' '}, {0x2009, ' '}, {0x200A, ' '},
    {0x2010, '-'}, {0x2011, '-'}, {0x2012, '-'}, // hyphens ("Jean‑Pierre" typed on a phone)
    {0x202F, ' '},
    {0x2212, '-'}, // minus sign
};

int tableFit(char32_t c)
{
    const Fit *end = std::end(Fits);
    const Fit *f = std::lower_bound(std::begin(Fits), end, c,
                                    [](const Fit &a, char32_t b) { return a.from < b; });
    return f != end && f->from == c ? f->to : -1;
}

int byteForCodePoint(char32_t c)
{
    return c <= 0xFFFF ? byteFor(char16_t(c)) : -1;
}

// The code point at `i` (a surrogate pair as one, a lone surrogate as itself).
char32_t codePointAt(const char16_t *s, qsizetype n, qsizetype i, qsizetype *len)
{
    const char16_t u = s[i];
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
        *len = 2;
        return QChar::surrogateToUcs4(u, s[i + 1]);
    }
    *len = 1;
    return u;
}

// The closest letter for one character that has no byte: the base of its canonical
// decomposition when that base is a letter of the code page and the rest is marks, else a
// letter of the table; -1 when no letter fits.
int letterFit(char32_t c)
{
    if (const int t = tableFit(c); t >= 0)
        return t;
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
    const auto *d = reinterpret_cast<const char16_t *>(decomposed.utf16());
    const qsizetype n = decomposed.size();
    qsizetype len = 0;
    const char32_t base = codePointAt(d, n, 0, &len);
    if (base == c)
        return -1;
    for (qsizetype i = len; i < n;) {
        qsizetype l = 0;
        if (!QChar::isMark(codePointAt(d, n, i, &l)))
            return -1; // Hangul gives jamo, which are letters of their own, not marks
        i += l;
    }
    if (!QChar::isLetter(base))
        return -1; // "≠" decomposes to "=" and a stroke: not the same sign at all
    if (const int b = byteForCodePoint(base); b >= 0)
        return b;
    return tableFit(base);
}

// One character with the marks that follow it, none of them with a byte of its own.
int clusterFit(const char16_t *s, qsizetype length, char32_t first, bool hasMarks)
{
    // Decomposed text (e + combining acute) composes to a character the code page may have.
    const QString composed =
        QString::fromRawData(reinterpret_cast<const QChar *>(s), length).normalized(QString::NormalizationForm_C);
    if (composed.size() == 1) {
        if (const int b = byteFor(composed.at(0).unicode()); b >= 0)
            return b;
    }
    if (hasMarks && QChar::isLetter(first)) {
        if (const int b = byteForCodePoint(first); b >= 0)
            return b; // the letter keeps its byte, the marks it cannot carry are dropped
    }
    return letterFit(first);
}

}

namespace Ansi {

char *encodeInto(QStringView text, char *out)
{
    const auto *src = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const char16_t u = src[i];
        // Combining marks start at U+0300: a character followed by anything below that is
        // a character of its own, and most of them have their byte.
        if (i + 1 == n || src[i + 1] < 0x300) {
            if (const int b = byteFor(u); b >= 0) {
                *out++ = char(b);
                ++i;
                continue;
            }
        }
        qsizetype len = 0;
        const char32_t first = codePointAt(src, n, i, &len);
        qsizetype end = i + len;
        while (end < n) {
            qsizetype l = 0;
            if (!QChar::isMark(codePointAt(src, n, end, &l)))
                break;
            end += l;
        }
        const bool hasMarks = end > i + len;
        const int b = !hasMarks ? byteForCodePoint(first) : -1;
        const int fit = b >= 0 ? b : clusterFit(src + i, end - i, first, hasMarks);
        *out++ = fit >= 0 ? char(fit) : '?';
        i = end;
    }
    return out;
}

QByteArray encode(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    out.truncate(encodeInto(text, out.data()) - out.constData());
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
