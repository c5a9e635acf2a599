#include "ScoreLayout.h"

#include <QtTest>

using namespace ScoreLayout;

class TstScoreLayout : public QObject {
    Q_OBJECT
private slots:
    void roundHalfEven_data();
    void roundHalfEven();
    void compute_data();
    void compute();
    void runPanel_data();
    void runPanel();
};

void TstScoreLayout::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("half below even") << 124.5 << 124.0;
    QTest::newRow("half above odd") << 125.5 << 126.0;
    QTest::newRow("half of zero") << 0.5 << 0.0;
    QTest::newRow("one and a half") << 1.5 << 2.0;
    QTest::newRow("negative half to even") << -124.5 << -124.0;
    QTest::newRow("negative half to even up") << -125.5 << -126.0;
    QTest::newRow("negative small half") << -0.5 << 0.0;
    QTest::newRow("below half") << 206.49 << 206.0;
    QTest::newRow("above half") << 206.7 << 207.0;
    QTest::newRow("negative above half") << -2.7 << -3.0;
    QTest::newRow("negative below half") << -2.2 << -2.0;
    QTest::newRow("integer") << 62.0 << 62.0;
}

void TstScoreLayout::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(ScoreLayout::roundHalfEven(value), expected);
}

void TstScoreLayout::compute_data()
{
    QTest::addColumn<double>("W");
    QTest::addColumn<double>("H");
    QTest::addColumn<int>("A");
    QTest::addColumn<int>("B");
    QTest::addColumn<int>("C");
    QTest::addColumn<int>("D");
    QTest::addColumn<int>("E");
    QTest::addColumn<int>("F");
    QTest::addColumn<double>("padding");
    QTest::addColumn<double>("runFont");
    // 124.5 goes down to the even 124.
    QTest::newRow("793x498") << 793.0 << 498.0 << 317 << 249 << 124 << 62 << 99 << 50 << 62.25 << 79.2;
    // D: 62.5 goes down to the even 62.
    QTest::newRow("height 500") << 793.0 << 500.0 << 317 << 250 << 125 << 62 << 100 << 50 << 62.5 << 80.0;
    // A: 2.5 goes to 2, B: 5.5 goes to 6, C: 3, D: 1.5 to 2, E: 2.4 to 2, F: 1.6 to 2.
    QTest::newRow("tiny") << 6.25 << 11.0 << 2 << 6 << 3 << 2 << 2 << 2 << 1.5 << 1.6;
    QTest::newRow("full hd page") << 1920.0 << 1032.0 << 768 << 516 << 258 << 129 << 206 << 103 << 129.0 << 164.8;
}

void TstScoreLayout::compute()
{
    QFETCH(double, W);
    QFETCH(double, H);
    const Sizes s = ScoreLayout::compute(W, H);
    QTEST(s.A, "A");
    QTEST(s.B, "B");
    QTEST(s.C, "C");
    QTEST(s.D, "D");
    QTEST(s.E, "E");
    QTEST(s.F, "F");
    QFETCH(double, padding);
    QFETCH(double, runFont);
    QCOMPARE(s.centreTopPadding, padding);
    QVERIFY2(qFuzzyCompare(s.runFontSize, runFont),
             qPrintable(QString::number(s.runFontSize)));
}

void TstScoreLayout::runPanel_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("centre");
    QTest::addColumn<int>("C");
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("X");
    QTest::addColumn<double>("Y");
    QTest::addColumn<double>("decX");
    QTest::addColumn<double>("addX");
    QTest::addColumn<double>("setX");
    QTest::newRow("793x498, centre 159")
        << 317.0 << 159.0 << 124 << 207 << 89.67 << 62.0 << -89.67 << 248.67 << 386.33;
    // 2.5 * 1.3 = 3.25 -> 3; X = (10 + 2.5 - 3) / 3
    QTest::newRow("narrow centre")
        << 10.0 << 2.5 << 7 << 3 << 3.17 << 3.5 << -3.17 << -41.83 << 9.33;
    QTest::newRow("centre wider than left")
        << 100.0 << 300.0 << 40 << 390 << 3.33 << 20.0 << -3.33 << 345.33 << 396.67;
}

static double twoDecimals(double v)
{
    return ScoreLayout::roundHalfEven(v * 100.0) / 100.0;
}

void TstScoreLayout::runPanel()
{
    QFETCH(double, left);
    QFETCH(double, centre);
    QFETCH(int, C);
    const RunPanel p = ScoreLayout::runPanel(left, centre, C);
    QTEST(p.width, "width");
    QCOMPARE(p.height, C);
    QFETCH(double, X);
    QFETCH(double, Y);
    QFETCH(double, decX);
    QFETCH(double, addX);
    QFETCH(double, setX);
    QVERIFY2(qFuzzyCompare(twoDecimals(p.X), X), qPrintable(QString::number(p.X)));
    QCOMPARE(p.Y, Y);
    QVERIFY2(qFuzzyCompare(twoDecimals(p.decX), decX), qPrintable(QString::number(p.decX)));
    QVERIFY2(qFuzzyCompare(twoDecimals(p.addX), addX), qPrintable(QString::number(p.addX)));
    QVERIFY2(qFuzzyCompare(twoDecimals(p.setX), setX), qPrintable(QString::number(p.setX)));
    QCOMPARE(p.decY, Y);
    QCOMPARE(p.addY, Y);
    QCOMPARE(p.setY, Y);
}

QTEST_GUILESS_MAIN(TstScoreLayout)
#include "tst_scorelayout.moc"
