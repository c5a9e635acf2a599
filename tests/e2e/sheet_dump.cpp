// sheet_dump <backup file>: prints the sheet a restart would load, one line per inning,
// "pts1<TAB>pts2" with an empty field for a null. Exit code 1 when the file does not load.
// sheet_dump --match <settings file> <backup file>: prints instead the match state that the
// scoreboard derives from them, on one line:
//   phase=<off|inplay|equalizing|finished> winner=<1|2|draw|-> points=<p1>-<p2> remaining=<r1>,<r2>
#include "AppError.h"
#include "IniFile.h"
#include "InningsTable.h"
#include "MatchIni.h"
#include "MatchRules.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool match = argc == 4 && QByteArray(argv[1]) == "--match";
    if (argc != 2 && !match) {
        std::fprintf(stderr, "usage: sheet_dump [--match <settings file>] <backup file>\n");
        return 2;
    }
    InningsTable table;
    try {
        table.loadFromFile(QString::fromLocal8Bit(argv[argc - 1]));
    } catch (const AppError &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    if (match) {
        const MatchState st = MatchRules::evaluate(MatchIni::read(IniFile(QString::fromLocal8Bit(argv[2]))), table.rows());
        static const char *const phases[] = {"off", "inplay", "equalizing", "finished"};
        const auto rest = [](const std::optional<qint64> &r) { return r ? QByteArray::number(*r) : QByteArray("-"); };
        const QByteArray winner = !st.finished() ? "-" : st.winner < 0 ? "draw" : QByteArray::number(st.winner + 1);
        std::printf("phase=%s winner=%s points=%d-%d remaining=%s,%s\n", phases[int(st.phase)], winner.constData(),
                    st.matchPoints[0], st.matchPoints[1], rest(st.remaining[0]).constData(),
                    rest(st.remaining[1]).constData());
        return 0;
    }
    for (const InningRow &r : table.rows()) {
        const auto field = [](const std::optional<qint32> &v) { return v ? QByteArray::number(*v) : QByteArray(); };
        std::printf("%s\t%s\n", field(r.pts[0]).constData(), field(r.pts[1]).constData());
    }
    return 0;
}
