// The innings backup loader fed arbitrary files. A file is either refused with AppError,
// the table left as it was, or loaded; a loaded file is written back byte for byte and the
// aggregates match the rows. The checksum refuses almost every mutation, so each input is
// also tried with its last four bytes replaced by the right CRC-32, which lets the fuzzer
// reach the body's structure.
#include "AppError.h"
#include "InningsTable.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> g_dir;
QString g_inPath;
QString g_outPath;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_backup: %s\n", what);
    std::abort();
}

quint32 crc32(const char *data, qsizetype size)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = table[(c ^ quint8(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail("cannot write the input file");
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail("cannot read the written backup");
    return f.readAll();
}

void checkAggregates(const InningsTable &t)
{
    for (int f = 0; f < 2; ++f) {
        qint64 sum = 0, count = 0, max = 0;
        for (const InningRow &r : t.rows()) {
            if (!r.pts[f])
                continue;
            if (count == 0 || *r.pts[f] > max)
                max = *r.pts[f];
            sum += *r.pts[f];
            ++count;
        }
        const Aggregate a[2][3] = {{Aggregate::Total1, Aggregate::Reprises1, Aggregate::Serie1},
                                   {Aggregate::Total2, Aggregate::Reprises2, Aggregate::Serie2}};
        const std::optional<qint64> want[3] = {count ? std::optional<qint64>(sum) : std::nullopt,
                                               count ? std::optional<qint64>(count) : std::nullopt,
                                               count ? std::optional<qint64>(max) : std::nullopt};
        for (int k = 0; k < 3; ++k) {
            if (t.aggregate(a[f][k]) != want[k])
                fail("aggregate does not match the loaded rows");
        }
    }
}

void check(const QByteArray &bytes)
{
    writeFile(g_inPath, bytes);

    // A table holding one row of its own, to see that a refused file leaves it alone.
    InningsTable table;
    table.openEmpty();
    table.appendEmpty();
    table.edit();
    table.setField(InningsTable::Pts1, 5);
    table.post();

    try {
        table.loadFromFile(g_inPath);
    } catch (const AppError &e) {
        if (e.message().isEmpty())
            fail("refusal without a reason");
        if (!table.isOpen() || table.recordCount() != 1 || table.asInteger(InningsTable::Pts1) != 5)
            fail("a refused file changed the table");
        return;
    }

    if (!table.isOpen() || table.recordCount() != int(table.rows().size()))
        fail("loaded table is inconsistent");
    if (table.rows().empty() ? !table.isEmpty() : table.recNo() != 1)
        fail("cursor is not on the first row after a load");
    checkAggregates(table);

    // Walk the rows once, as the grid does.
    int seen = 0;
    for (table.first(); !table.eof(); table.next()) {
        const InningRow &r = table.rows().at(size_t(table.recNo() - 1));
        for (int f = 0; f < 2; ++f) {
            if (table.isNull(f) != !r.pts[f] || (r.pts[f] && table.asInteger(f) != *r.pts[f]))
                fail("cursor reads another value than the row");
        }
        if (++seen > table.recordCount())
            fail("walking the rows does not end");
    }
    if (seen != table.recordCount())
        fail("walking the rows missed some");

    table.saveToFile(g_outPath);
    if (readFile(g_outPath) != bytes)
        fail("a loaded backup is not written back identical");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Memory-backed when the machine has it: every input goes through a real file.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                   : QDir::tempPath();
    g_dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/zv-fuzz-backup-XXXXXX"));
    if (!g_dir->isValid())
        fail("no temporary folder");
    g_inPath = g_dir->filePath(QStringLiteral("in.bin"));
    g_outPath = g_dir->filePath(QStringLiteral("out.bin"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(bytes);
    if (bytes.size() >= 8) {
        QByteArray sealed = bytes;
        const qsizetype body = sealed.size() - 4;
        qToBigEndian(crc32(sealed.constData(), body), sealed.data() + body);
        if (sealed != bytes)
            check(sealed);
    }
    return 0;
}
