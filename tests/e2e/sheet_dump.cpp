// sheet_dump <backup file>: prints the sheet a restart would load, one line per inning,
// "pts1<TAB>pts2" with an empty field for a null. Exit code 1 when the file does not load.
#include "AppError.h"
#include "InningsTable.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: sheet_dump <backup file>\n");
        return 2;
    }
    InningsTable table;
    try {
        table.loadFromFile(QString::fromLocal8Bit(argv[1]));
    } catch (const AppError &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    for (const InningRow &r : table.rows()) {
        const auto field = [](const std::optional<qint32> &v) { return v ? QByteArray::number(*v) : QByteArray(); };
        std::printf("%s\t%s\n", field(r.pts[0]).constData(), field(r.pts[1]).constData());
    }
    return 0;
}
