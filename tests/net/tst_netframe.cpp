// The bytes the scoreboard puts on the wire, and the port text as the operator types it.
#include "AppError.h"
#include "NetSend.h"

#include <QFile>
#include <QtTest>

class TestNetFrame : public QObject {
    Q_OBJECT

private slots:
    void buildFrame_data();
    void buildFrame();
    void buildFrame_largeCountIsBigEndian();
    void portFromText_data();
    void portFromText();
    void portFromText_errors_data();
    void portFromText_errors();
};

// The bytes of a string literal, NULs included.
template <std::size_t N>
static QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, qsizetype(N - 1));
}

static QByteArray golden(const char *name)
{
    QFile file(QStringLiteral(ZV_NET_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing golden file %s", name);
    return file.readAll();
}

void TestNetFrame::buildFrame_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("currentSheetWithOneInning")
        << QStringList{QStringLiteral("Joueur 1\tJoueur 2\t05/03/2016 14:05\r"),
                       QStringLiteral("12\t7\r"), QStringLiteral("\t\r")}
        << golden("current-sheet.frame");
    QTest::newRow("newMatchHeaderAndEmptyRow")
        << QStringList{QStringLiteral("A\tB\t01/01/2020 09:00\r"), QStringLiteral("\t\r")}
        << bytes("\x00\x00\x00\x02"
                      "A\tB\t01/01/2020 09:00\r\r\n"
                      "\t\r\r\n");
    QTest::newRow("accentedLettersBecomeOneQuestionMarkEach")
        << QStringList{QStringLiteral("Élodie Crémieux\tJosé\r")}
        << bytes("\x00\x00\x00\x01?lodie Cr?mieux\tJos?\r\r\n");
    QTest::newRow("characterOutsideBmpBecomesTwoQuestionMarks")
        << QStringList{QStringLiteral("a\U0001F3B1b")}
        << bytes("\x00\x00\x00\x01" "a??b\r\n");
    QTest::newRow("asciiBoundary7FKept80Replaced")
        << QStringList{QString(QChar(0x7F)) + QChar(0x80) + QChar(0xFF) + QChar(0x20AC)}
        << bytes("\x00\x00\x00\x01\x7F???\r\n");
    QTest::newRow("nulCharacterKept")
        << QStringList{QString(QChar(0)) + QLatin1Char('x')}
        << bytes("\x00\x00\x00\x01\x00x\r\n");
    QTest::newRow("emptyList") << QStringList{} << bytes("\x00\x00\x00\x00");
    QTest::newRow("emptyEntriesStillGetTheirBreak")
        << QStringList{QString(), QString()} << bytes("\x00\x00\x00\x02\r\n\r\n");
    // A history holding two archived sheets, as loading gives it back: each text line is
    // followed by the empty entry its own CR turned into.
    QTest::newRow("historyOfTwoSheetsHasTwelveEntries")
        << QStringList{QStringLiteral("A\tB\t01/01/2020 09:00"), QString(),
                       QStringLiteral("3\t1"), QString(), QStringLiteral("\t"), QString(),
                       QStringLiteral("C\tD\t02/01/2020 10:30"), QString(),
                       QStringLiteral("0\t25"), QString(), QStringLiteral("\t"), QString()}
        << bytes("\x00\x00\x00\x0C"
                      "A\tB\t01/01/2020 09:00\r\n\r\n3\t1\r\n\r\n\t\r\n\r\n"
                      "C\tD\t02/01/2020 10:30\r\n\r\n0\t25\r\n\r\n\t\r\n\r\n");
}

void TestNetFrame::buildFrame()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, expected);
    const QByteArray frame = NetSend::buildFrame(lines);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestNetFrame::buildFrame_largeCountIsBigEndian()
{
    // 70 000 = 0x00011170: every byte of the count differs, so a swapped order shows.
    const QStringList lines(70000, QStringLiteral("x"));
    const QByteArray frame = NetSend::buildFrame(lines);
    QCOMPARE(frame.left(4).toHex(), QByteArray("00011170"));
    QCOMPARE(frame.size(), 4 + 70000 * 3);
    QCOMPARE(frame.right(3), QByteArray("x\r\n"));
}

void TestNetFrame::portFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");

    QTest::newRow("defaultPort") << QStringLiteral("50000") << 50000;
    QTest::newRow("hexWith0x") << QStringLiteral("0x26") << 0x26;
    QTest::newRow("hexWithDollar") << QStringLiteral("$26") << 0x26;
    QTest::newRow("leadingSpaces") << QStringLiteral("  80") << 80;
    QTest::newRow("leadingZeroIsNotOctal") << QStringLiteral("026") << 26;
    QTest::newRow("highestPort") << QStringLiteral("65535") << 65535;
    QTest::newRow("70000KeepsLow16Bits") << QStringLiteral("70000") << 4464;
    QTest::newRow("65536WrapsToZero") << QStringLiteral("65536") << 0;
    QTest::newRow("minusOneIsAllOnes") << QStringLiteral("-1") << 65535;
    QTest::newRow("hexAllOnes") << QStringLiteral("$FFFFFFFF") << 65535;
}

void TestNetFrame::portFromText()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(int(NetSend::portFromText(text)), port);
}

void TestNetFrame::portFromText_errors_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QString();
    QTest::newRow("onlySpaces") << QStringLiteral("   ");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("trailingSpace") << QStringLiteral("12 ");
    QTest::newRow("decimalPoint") << QStringLiteral("80.5");
    QTest::newRow("beyond32Bits") << QStringLiteral("99999999999");
    QTest::newRow("prefixWithoutDigits") << QStringLiteral("0x");
}

void TestNetFrame::portFromText_errors()
{
    QFETCH(QString, text);
    try {
        const quint16 port = NetSend::portFromText(text);
        QFAIL(qPrintable(QStringLiteral("accepted as port %1").arg(port)));
    } catch (const AppError &e) {
        QCOMPARE(e.message(), QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(text));
    }
}

QTEST_GUILESS_MAIN(TestNetFrame)
#include "tst_netframe.moc"
