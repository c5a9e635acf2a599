// The line-list loader (history and print files) fed arbitrary files. Loading, saving and
// loading again must give the same entries in the same encoding: the history is rewritten
// on every new match and must not lose or change a line.
#include "LineList.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Printable ASCII as it is, everything else as \uXXXX.
QString escaped(const QString &s)
{
    QString out;
    for (const QChar c : s) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    LineList first;
    first.loadFromBytes(input);
    for (const QString &entry : first.entries) {
        if (entry.contains(u'\r') || entry.contains(u'\n') || entry.contains(QChar(0))) {
            std::fprintf(stderr, "fuzz_linelist: an entry holds a line break or a NUL\n");
            std::abort();
        }
    }

    const QByteArray written = first.toBytes();
    LineList second;
    second.loadFromBytes(written);
    if (second.encoding != first.encoding) {
        std::fprintf(stderr, "fuzz_linelist: encoding changed by a save and load\n");
        std::abort();
    }
    if (second.entries != first.entries) {
        std::fprintf(stderr, "fuzz_linelist: %d entries before, %d after a save and load\n",
                     first.count(), second.count());
        for (qsizetype i = 0; i < qMin(first.entries.size(), second.entries.size()); ++i) {
            if (first.entries.at(i) != second.entries.at(i)) {
                std::fprintf(stderr, "first difference at entry %lld: \"%s\", then \"%s\"\n",
                             static_cast<long long>(i), qPrintable(escaped(first.entries.at(i))),
                             qPrintable(escaped(second.entries.at(i))));
                break;
            }
        }
        std::abort();
    }
    if (second.toBytes() != written) {
        std::fprintf(stderr, "fuzz_linelist: a second save differs from the first\n");
        std::abort();
    }
    return 0;
}
