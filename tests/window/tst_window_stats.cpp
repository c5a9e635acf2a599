// The scoreboard's statistics after real entries, under a French and a C locale.
#include "WindowFixture.h"

class tst_window_stats : public QObject {
    Q_OBJECT
private slots:
    void labels_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<std::vector<int>>("runs"); // alternately player 1 and player 2
        QTest::addColumn<bool>("general");          // general average switched on
        QTest::addColumn<QStringList>("expected");  // Total1 Moyenne1 Serie1 Total2 Moyenne2 Serie2 Reprises Autres
        const QLocale fr(QLocale::French, QLocale::France);
        const QLocale c = QLocale::c();
        QTest::newRow("empty sheet, C") << c << std::vector<int>{} << true
                                        << QStringList{"", "0.000", "", "", "0.000", "", "--", ""};
        QTest::newRow("empty sheet, French keeps the full stop")
            << fr << std::vector<int>{} << true << QStringList{"", "0.000", "", "", "0.000", "", "--", ""};
        QTest::newRow("10 in 3 and 5 in 2, French")
            << fr << std::vector<int>{5, 2, 3, 3, 2} << true
            << QStringList{"10", "3,333", "5 (2)", "5", "2,500", "(3) 3", "3", "3,000"};
        QTest::newRow("10 in 3 and 5 in 2, C, general off")
            << c << std::vector<int>{5, 2, 3, 3, 2} << false
            << QStringList{"10", "3.333", "5 (2)", "5", "2.500", "(3) 3", "3", ""};
        QTest::newRow("a run of 0 is a last run")
            << c << std::vector<int>{7, 1, 0} << false << QStringList{"7", "3.500", "7 (0)", "1", "1.000", "(1) 1", "2", ""};
        QTest::newRow("first inning, player 2 not yet")
            << c << std::vector<int>{4} << false << QStringList{"4", "4.000", "4 (4)", "", "0.000", "", "1", ""};
        QTest::newRow("7 in 3 innings")
            << fr << std::vector<int>{3, 0, 2, 0, 2, 0} << false
            << QStringList{"7", "2,333", "3 (2)", "0", "0,000", "(0) 0", "3", ""};
        std::vector<int> sixteen{1, 0};
        for (int i = 0; i < 15; ++i)
            sixteen.insert(sixteen.end(), {0, 0});
        QTest::newRow("1 in 16 rounds the half up")
            << c << sixteen << true << QStringList{"1", "0.063", "1 (0)", "0", "0.000", "(0) 0", "16", "0.031"};
    }
    void labels()
    {
        QFETCH(QLocale, locale);
        QFETCH(std::vector<int>, runs);
        QFETCH(bool, general);
        QFETCH(QStringList, expected);
        WindowFixture f;
        TMainFrm &w = f.start();
        w.setLocaleForTexts(locale);
        if (general)
            QTest::mouseClick(w.AutresStatsLbl, Qt::LeftButton);
        else
            w.UpdateStats();
        f.play(runs);
        const QStringList actual{w.Total1Lbl->text(), w.Moyenne1Lbl->text(), w.Serie1Lbl->text(),
                                 w.Total2Lbl->text(), w.Moyenne2Lbl->text(), w.Serie2Lbl->text(),
                                 w.ReprisesLbl->text(), w.AutresStatsLbl->text()};
        QCOMPARE(actual, expected);
    }

    void generalAverage_clickedTwice_isHiddenAgain()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        f.play({3, 4});
        QCOMPARE(w.AutresStatsLbl->text(), QString());
        QTest::mouseClick(w.AutresStatsLbl, Qt::LeftButton);
        QCOMPARE(w.AutresStatsLbl->text(), QStringLiteral("3.500"));
        QTest::mouseClick(w.AutresStatsLbl, Qt::LeftButton);
        QCOMPARE(w.AutresStatsLbl->text(), QString());
    }

    void averageText_roundsExactHalvesAwayFromZero_data()
    {
        QTest::addColumn<double>("t");
        QTest::addColumn<double>("r");
        QTest::addColumn<QString>("text");
        QTest::newRow("1/16") << 1.0 << 16.0 << "0.063";
        QTest::newRow("2.0005 is a half") << 4001.0 << 2000.0 << "2.001";
        QTest::newRow("1/3") << 1.0 << 3.0 << "0.333";
        QTest::newRow("2/3") << 2.0 << 3.0 << "0.667";
        QTest::newRow("negative half") << -1.0 << 16.0 << "-0.063";
        QTest::newRow("tiny negative is zero") << -1.0 << 3000.0 << "0.000";
        QTest::newRow("no group separator") << 12345678.0 << 1.0 << "12345678.000";
    }
    void averageText_roundsExactHalvesAwayFromZero()
    {
        QFETCH(double, t);
        QFETCH(double, r);
        QFETCH(QString, text);
        WindowFixture f;
        f.start();
        QCOMPARE(f.w->AverageText(t, r), text);
    }

    void lastRuns_leaveTheCursorsAlone()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        f.play({1, 2, 3, 4, 5});
        w.Feuille->first();
        w.UpdateStats();
        QCOMPARE(w.Feuille->recNo(), 1);
        QCOMPARE(w.Serie1Lbl->text(), QStringLiteral("5 (5)"));
        QCOMPARE(w.Serie2Lbl->text(), QStringLiteral("(4) 4"));
    }
};

QTEST_MAIN(tst_window_stats)
#include "tst_window_stats.moc"
