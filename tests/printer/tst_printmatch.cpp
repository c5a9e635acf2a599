// The match file beside the print file: read when present, ignored when absent, and the
// result block that grows with it still fits its page.
#include "PrintSheet.h"
#include "SheetPainter.h"

#include <QFile>
#include <QPageSize>
#include <QTemporaryDir>
#include <QtTest>

namespace {
void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
const QByteArray Sheet = "Zo\xe9\tAna\t05/03/2016 14:05\r\r\n5\t3\r\r\n\t\r\r\n";
const QByteArray Match = "[MATCH]\r\nDiscipline=3 bandes\r\nDistance1=5\r\nDistance2=3\r\nLimiteReprises=0\r\n"
                         "Egalisation=1\r\nResultat=Victoire de Zo\xe9\r\nVainqueur=1\r\nPointsMatch1=2\r\n"
                         "PointsMatch2=0\r\nMeilleuresSeries1=5 0\r\nMeilleuresSeries2=3 0\r\n";
}

class TestPrintMatch : public QObject {
    Q_OBJECT
private slots:
    void matchFileBeside_isRead();
    void noMatchFile_noMatch();
    void matchFileWithoutSection_ignored();
    void resultBlockWithRules_movesToNextPageWhenItNoLongerFits();
};

void TestPrintMatch::matchFileBeside_isRead()
{
    QTemporaryDir dir;
    write(dir.filePath(QStringLiteral("tmp.txt")), Sheet);
    write(dir.filePath(QStringLiteral("tmp.ini")), Match);
    PrintSheet::Sheet s;
    QString error;
    QVERIFY2(PrintSheet::loadSheet(dir.filePath(QStringLiteral("tmp.txt")), &s, &error), qPrintable(error));
    QVERIFY(s.match);
    QCOMPARE(s.match->discipline, QStringLiteral("3 bandes"));
    QCOMPARE(s.match->distance[0], 5);
    QCOMPARE(s.match->distance[1], 3);
    QCOMPARE(s.match->result, QStringLiteral("Victoire de Zoé"));
    QCOMPARE(s.match->matchPoints[0], 2);
    QCOMPARE(s.match->bestRuns[1], QStringLiteral("3 0"));
    QVERIFY(s.match->egalisation);
}

void TestPrintMatch::noMatchFile_noMatch()
{
    QTemporaryDir dir;
    write(dir.filePath(QStringLiteral("tmp.txt")), Sheet);
    PrintSheet::Sheet s;
    QString error;
    QVERIFY(PrintSheet::loadSheet(dir.filePath(QStringLiteral("tmp.txt")), &s, &error));
    QVERIFY(!s.match);
    QCOMPARE(s.innings.size(), 2);
}

void TestPrintMatch::matchFileWithoutSection_ignored()
{
    QVERIFY(!PrintSheet::parseMatchInfo("Distance1=5\r\n[AUTRE]\r\nDistance1=4\r\n"));
    QVERIFY(!PrintSheet::parseMatchInfo(QByteArray()));
    const auto m = PrintSheet::parseMatchInfo("[match]\r\nDistance1=abc\r\nLimiteReprises=-3\r\n");
    QVERIFY(m);
    QCOMPARE(m->distance[0], 0);
    QCOMPARE(m->limiteReprises, 0);
}

void TestPrintMatch::resultBlockWithRules_movesToNextPageWhenItNoLongerFits()
{
    const QSizeF a4 = QPageSize(QPageSize::A4).sizePoints();
    PrintSheet::Sheet plain;
    plain.name1 = QStringLiteral("Zoé");
    plain.name2 = QStringLiteral("Ana");
    int differs = -1;
    for (int n = 1; n <= 60 && differs < 0; ++n) {
        plain.innings.append({3, 4});
        PrintSheet::Sheet ruled = plain;
        ruled.match = PrintSheet::parseMatchInfo(Match);
        const int a = SheetPainter::pageCount(plain, a4), b = SheetPainter::pageCount(ruled, a4);
        QVERIFY(b >= a);
        if (b > a)
            differs = n;
    }
    // Some length of sheet leaves room for the plain result block but not for the taller one.
    QVERIFY(differs > 0);
}

QTEST_MAIN(TestPrintMatch)
#include "tst_printmatch.moc"
