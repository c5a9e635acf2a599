// The match rules: every way a match ends (or does not), the result and the match points,
// and the discipline presets, from sheets written as "p1/p2 p1/p2 ..." ("-" = not played).
#include "MatchRules.h"

#include <QtTest>

namespace {

std::vector<InningRow> sheet(const QString &text)
{
    std::vector<InningRow> rows;
    for (const QString &cell : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        InningRow r;
        const QStringList p = cell.split(QLatin1Char('/'));
        for (int i = 0; i < 2; ++i)
            if (p.value(i) != QLatin1String("-"))
                r.pts[i] = p.value(i).toInt();
        rows.push_back(r);
    }
    return rows;
}

MatchSettings settings(int d1, int d2, int limit, bool egalisation)
{
    MatchSettings s;
    s.distance[0] = d1;
    s.distance[1] = d2;
    s.limiteReprises = limit;
    s.egalisation = egalisation;
    return s;
}

} // namespace

class TstMatchRules : public QObject {
    Q_OBJECT
private slots:
    void evaluate_data();
    void evaluate();
    void remainingPoints_followTotals();
    void bestTwoRuns_bestFirst();
    void preset_fillsShotClockFields();
    void changingPresetField_makesPersonnalise_data();
    void changingPresetField_makesPersonnalise();
};

void TstMatchRules::evaluate_data()
{
    QTest::addColumn<int>("d1");
    QTest::addColumn<int>("d2");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("egalisation");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("winner");  // -1 draw (or not finished)
    QTest::addColumn<int>("mp1");
    QTest::addColumn<int>("mp2");
    QTest::addColumn<int>("maxRun");  // -1: nothing bounds the run
    const int off = int(MatchPhase::Off), play = int(MatchPhase::InPlay),
              eq = int(MatchPhase::Equalizing), fin = int(MatchPhase::Finished);

    QTest::newRow("no settings: off, unbounded") << 0 << 0 << 0 << true << "50/40 -/-" << off << -1 << 0 << 0 << -1;
    QTest::newRow("in play: player 1 may make what is left") << 10 << 10 << 0 << true << "3/4 -/-" << play << -1 << 0 << 0 << 7;
    QTest::newRow("in play: player 2 may make what is left") << 10 << 10 << 0 << true << "3/4 2/-" << play << -1 << 0 << 0 << 6;
    QTest::newRow("player 2 reaches distance: ends at once") << 10 << 10 << 0 << true << "3/4 5/6 -/-" << fin << 1 << 0 << 2 << 0;
    QTest::newRow("player 1 reaches, equalizing: player 2 plays") << 10 << 10 << 0 << true << "5/5 5/-" << eq << -1 << 0 << 0 << 5;
    QTest::newRow("equalizing run short: player 1 wins") << 10 << 10 << 0 << true << "5/5 5/2 -/-" << fin << 0 << 2 << 0 << 0;
    QTest::newRow("equalizing run of 0: player 1 wins") << 10 << 10 << 0 << true << "5/5 5/0 -/-" << fin << 0 << 2 << 0 << 0;
    QTest::newRow("equalizing run reaches: draw") << 10 << 10 << 0 << true << "5/5 5/5 -/-" << fin << -1 << 1 << 1 << 0;
    QTest::newRow("player 1 reaches, no equalizing: ends at once") << 10 << 10 << 0 << false << "5/5 5/-" << fin << 0 << 2 << 0 << 0;
    QTest::newRow("first inning run of the distance, no equalizing") << 10 << 10 << 0 << false << "10/-" << fin << 0 << 2 << 0 << 0;
    QTest::newRow("limit: in play before player 2's last run") << 0 << 0 << 2 << true << "3/4 5/-" << play << -1 << 0 << 0 << -1;
    QTest::newRow("limit: more points wins") << 0 << 0 << 2 << true << "3/4 5/2 -/-" << fin << 0 << 2 << 0 << 0;
    QTest::newRow("limit: equal points draw") << 0 << 0 << 2 << true << "3/4 5/4 -/-" << fin << -1 << 1 << 1 << 0;
    QTest::newRow("limit, equal distances: plain points") << 20 << 20 << 2 << true << "3/4 5/5 -/-" << fin << 1 << 0 << 2 << 0;
    QTest::newRow("limit, handicap: higher share wins with fewer points") << 20 << 10 << 2 << true << "5/3 5/3 -/-" << fin << 1 << 0 << 2 << 0;
    QTest::newRow("limit, handicap: equal shares draw") << 20 << 10 << 2 << true << "5/3 5/2 -/-" << fin << -1 << 1 << 1 << 0;
    QTest::newRow("handicap: player 2 reaches the smaller distance") << 30 << 10 << 0 << true << "5/6 5/4 -/-" << fin << 1 << 0 << 2 << 0;
    QTest::newRow("handicap: player 1 reaches, player 2 equalizes") << 10 << 30 << 0 << true << "4/20 6/10 -/-" << fin << -1 << 1 << 1 << 0;
    QTest::newRow("distance reached on the last inning of the limit") << 10 << 10 << 2 << true << "3/4 2/6 -/-" << fin << 1 << 0 << 2 << 0;
    QTest::newRow("equalizing on the limit inning: still played") << 10 << 10 << 2 << true << "5/4 5/-" << eq << -1 << 0 << 0 << 6;
    QTest::newRow("only player 2 has a distance: player 1 unbounded") << 0 << 10 << 0 << true << "30/4 -/-" << play << -1 << 0 << 0 << -1;
    QTest::newRow("only player 2 has a distance, limit: plain points") << 0 << 10 << 1 << true << "30/4 -/-" << fin << 0 << 2 << 0 << 0;
    QTest::newRow("undo after the end reopens") << 10 << 10 << 0 << true << "3/4 5/-" << play << -1 << 0 << 0 << 6;
    QTest::newRow("undo of the equalizing run: equalizing again") << 10 << 10 << 0 << true << "5/5 5/-" << eq << -1 << 0 << 0 << 5;
    QTest::newRow("grid edit lowers a run: reopened") << 10 << 10 << 0 << true << "5/5 4/2 -/-" << play << -1 << 0 << 0 << 1;
    QTest::newRow("grid edit past the distance: equalizing") << 10 << 10 << 0 << true << "12/-" << eq << -1 << 0 << 0 << 10;
    QTest::newRow("runs the grid put after the end: result kept") << 10 << 10 << 0 << true << "5/5 5/2 9/9 -/-" << fin << 0 << 2 << 0 << 0;
    QTest::newRow("empty sheet: in play") << 10 << 10 << 0 << true << "" << play << -1 << 0 << 0 << 10;
}

void TstMatchRules::evaluate()
{
    QFETCH(int, d1);
    QFETCH(int, d2);
    QFETCH(int, limit);
    QFETCH(bool, egalisation);
    QFETCH(QString, rows);
    QFETCH(int, phase);
    QFETCH(int, winner);
    QFETCH(int, mp1);
    QFETCH(int, mp2);
    QFETCH(int, maxRun);

    const MatchState st = MatchRules::evaluate(settings(d1, d2, limit, egalisation), sheet(rows));
    QCOMPARE(int(st.phase), phase);
    QCOMPARE(st.winner, winner);
    QCOMPARE(st.matchPoints[0], mp1);
    QCOMPARE(st.matchPoints[1], mp2);
    QCOMPARE(st.maxRun().value_or(-1), qint64(maxRun));
}

void TstMatchRules::remainingPoints_followTotals()
{
    const MatchState st = MatchRules::evaluate(settings(25, 0, 0, true), sheet("3/4 5/6 -/-"));
    QCOMPARE(st.total[0], 8);
    QCOMPARE(st.total[1], 10);
    QCOMPARE(st.innings[0], 2);
    QCOMPARE(st.remaining[0].value_or(-1), 17);
    QVERIFY(!st.remaining[1]);
}

void TstMatchRules::bestTwoRuns_bestFirst()
{
    const auto rows = sheet("3/9 7/9 5/1 -/-");
    QCOMPARE(MatchRules::bestTwoRuns(rows, 0), std::make_pair(7, 5));
    QCOMPARE(MatchRules::bestTwoRuns(rows, 1), std::make_pair(9, 9));
    QCOMPARE(MatchRules::bestTwoRuns(sheet("-/-"), 0), std::make_pair(0, 0));
}

void TstMatchRules::preset_fillsShotClockFields()
{
    MatchSettings s;
    s.distance[0] = 40;
    s.applyPreset(MatchSettings::troisBandes());
    QCOMPARE(s.discipline, QStringLiteral("3 bandes"));
    QCOMPARE(s.tempsCoup, 30);
    QCOMPARE(s.alerteCoup, 10);
    QCOMPARE(s.prolongations, 3);
    QCOMPARE(s.distance[0], 40); // distances belong to no preset
    s.applyPreset(QStringLiteral("Cadre 47/2"));
    QCOMPARE(s.tempsCoup, 0);
    QCOMPARE(s.prolongations, 0);
    s.tempsCoup = 45;
    s.applyPreset(MatchSettings::personnalise()); // keeps the fields as they are
    QCOMPARE(s.tempsCoup, 45);
}

void TstMatchRules::changingPresetField_makesPersonnalise_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("tempsCoup");
    QTest::addColumn<int>("alerte");
    QTest::addColumn<int>("prolong");
    QTest::addColumn<QString>("expected");
    QTest::newRow("3 bandes unchanged") << "3 bandes" << 30 << 10 << 3 << "3 bandes";
    QTest::newRow("3 bandes, 40 s") << "3 bandes" << 40 << 10 << 3 << "Personnalisé";
    QTest::newRow("3 bandes, 2 extensions") << "3 bandes" << 30 << 10 << 2 << "Personnalisé";
    QTest::newRow("Libre with a shot clock") << "Libre" << 40 << 10 << 0 << "Personnalisé";
    QTest::newRow("Libre, warning moved only") << "Libre" << 0 << 5 << 0 << "Personnalisé";
    QTest::newRow("Bande unchanged") << "Bande" << 0 << 10 << 0 << "Bande";
}

void TstMatchRules::changingPresetField_makesPersonnalise()
{
    QFETCH(QString, preset);
    QFETCH(int, tempsCoup);
    QFETCH(int, alerte);
    QFETCH(int, prolong);
    QFETCH(QString, expected);
    MatchSettings s;
    s.applyPreset(preset);
    s.setShotFields({tempsCoup, alerte, prolong});
    QCOMPARE(s.discipline, expected);
    QCOMPARE(s.tempsCoup, tempsCoup);
}

QTEST_GUILESS_MAIN(TstMatchRules)
#include "tst_matchrules.moc"
