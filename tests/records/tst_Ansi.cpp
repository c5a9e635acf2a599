#include "Ansi.h"

#include <QtTest>

namespace {
QString units(std::initializer_list<char16_t> list)
{
    QString s;
    for (char16_t u : list)
        s.append(QChar(u));
    return s;
}
}

class tst_Ansi : public QObject {
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void encode_data();
    void encode();
    void everyByte_survivesDecodeAndEncode();
    void encodeInto_writesItsBytesOnly_data();
    void encodeInto_writesItsBytesOnly();
};

void tst_Ansi::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Joueur 1\t12\r\n") << QStringLiteral("Joueur 1\t12\r\n");
    QTest::newRow("latin accents") << QByteArray("H\xE9l\xE8ne \xC7\xE0") << QStringLiteral("Hélène Çà");
    QTest::newRow("euro sign") << QByteArray("\x80") << QStringLiteral("€");
    QTest::newRow("oe ligatures") << QByteArray("\x8C\x9C") << QStringLiteral("Œœ");
    QTest::newRow("quotes and dashes") << QByteArray("\x91\x92\x93\x94\x96\x97")
                                       << QStringLiteral("‘’“”–—");
    QTest::newRow("last of the high range") << QByteArray("\x9F") << QStringLiteral("Ÿ");
    QTest::newRow("undefined bytes as C1 controls")
        << QByteArray("\x81\x8D\x8F\x90\x9D")
        << units({0x81, 0x8D, 0x8F, 0x90, 0x9D});
    QTest::newRow("no-break space and y diaeresis") << QByteArray("\xA0\xFF")
                                                    << units({0xA0, 0xFF});
}

void tst_Ansi::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(Ansi::decode(bytes), text);
}

void tst_Ansi::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("encodable");
    QTest::newRow("accents") << QStringLiteral("Hélène") << QByteArray("H\xE9l\xE8ne") << true;
    QTest::newRow("euro and trademark") << QStringLiteral("€™") << QByteArray("\x80\x99") << true;
    QTest::newRow("s and z caron") << QStringLiteral("ŠšŽž") << QByteArray("\x8A\x9A\x8E\x9E")
                                   << true;
    QTest::newRow("polish letters become ?") << QStringLiteral("Łódź") << QByteArray("?\xF3" "d?")
                                             << false;
    QTest::newRow("greek") << QStringLiteral("Ωα") << QByteArray("??") << false;
    QTest::newRow("one ? per UTF-16 unit") << QStringLiteral("a😀b") << QByteArray("a??b") << false;
    QTest::newRow("C1 control without a byte") << QString(QChar(0x80)) << QByteArray("?") << false;
    QTest::newRow("empty") << QString() << QByteArray() << true;
}

void tst_Ansi::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, encodable);
    QCOMPARE(Ansi::encode(text), bytes);
    QCOMPARE(Ansi::canEncode(text), encodable);
}

void tst_Ansi::everyByte_survivesDecodeAndEncode()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = Ansi::decode(all);
    QCOMPARE(text.size(), 256);
    QVERIFY(Ansi::canEncode(text));
    QCOMPARE(Ansi::encode(text), all);
}

void tst_Ansi::encodeInto_writesItsBytesOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("accents and euro") << QStringLiteral("é€") << QByteArray("\xE9\x80");
    QTest::newRow("unencodable") << QStringLiteral("Ł😀") << QByteArray("???");
}

void tst_Ansi::encodeInto_writesItsBytesOnly()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    // Written into the middle of a larger buffer, as a whole file is: the bytes around stay.
    QByteArray buffer(bytes.size() + 4, '#');
    char *end = Ansi::encodeInto(text, buffer.data() + 2);
    QCOMPARE(end - buffer.constData(), bytes.size() + 2);
    QCOMPARE(buffer, "##" + bytes + "##");
}

QTEST_GUILESS_MAIN(tst_Ansi)
#include "tst_Ansi.moc"
