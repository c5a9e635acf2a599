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
    void names_keepTheirLetters_data();
    void names_keepTheirLetters();
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
    QTest::newRow("polish letters keep their base letter") << QStringLiteral("Łódź") << QByteArray("L\xF3" "dz")
                                                           << false;
    QTest::newRow("greek has no latin letter") << QStringLiteral("Ωα") << QByteArray("??") << false;
    QTest::newRow("a surrogate pair gives one ?") << QStringLiteral("a😀b") << QByteArray("a?b") << false;
    QTest::newRow("a lone surrogate gives one ?") << units({'a', 0xD83D, 'b'}) << QByteArray("a?b") << false;
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
    QTest::newRow("best fit and a pair, shorter than the text") << QStringLiteral("Ł😀") << QByteArray("L?");
    QTest::newRow("letter and two marks in one byte") << units({'e', 0x0302, 0x0303, 'n'}) << QByteArray("en");
}

void tst_Ansi::encodeInto_writesItsBytesOnly()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    // Written into the middle of a larger buffer, as a whole file is: at most one byte per
    // code unit, and the bytes around stay.
    QByteArray buffer(text.size() + 4, '#');
    char *end = Ansi::encodeInto(text, buffer.data() + 2);
    QCOMPARE(end - buffer.constData(), bytes.size() + 2);
    QCOMPARE(buffer, "##" + bytes + QByteArray(text.size() - bytes.size() + 2, '#'));
}

void tst_Ansi::names_keepTheirLetters_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    // Polish
    QTest::newRow("pl Łukasz Wąs") << QStringLiteral("Łukasz Wąs") << QByteArray("Lukasz Was");
    QTest::newRow("pl Małgorzata Świątek") << QStringLiteral("Małgorzata Świątek") << QByteArray("Malgorzata Swiatek");
    QTest::newRow("pl Żaneta Bończyk-Ziółko") << QStringLiteral("Żaneta Bończyk-Ziółko")
                                             << QByteArray("Zaneta Bonczyk-Zi\xF3lko");
    // Turkish: dotless ı and dotted İ
    QTest::newRow("tr Doğan Işık") << QStringLiteral("Doğan Işık") << QByteArray("Dogan Isik");
    QTest::newRow("tr İlkay Gündoğan") << QStringLiteral("İlkay Gündoğan") << QByteArray("Ilkay G\xFCndogan");
    QTest::newRow("tr Şükrü Çağlar") << QStringLiteral("Şükrü Çağlar") << QByteArray("S\xFCkr\xFC \xC7" "aglar");
    // Czech: š and ž have bytes of their own
    QTest::newRow("cs Jiří Dvořák") << QStringLiteral("Jiří Dvořák") << QByteArray("Jir\xED Dvor\xE1k");
    QTest::newRow("cs Kateřina Šťastná") << QStringLiteral("Kateřina Šťastná") << QByteArray("Katerina \x8Atastn\xE1");
    QTest::newRow("cs Ondřej Hůlka") << QStringLiteral("Ondřej Hůlka") << QByteArray("Ondrej Hulka");
    // Vietnamese: stacked marks, horn letters, đ
    QTest::newRow("vi Nguyễn Thị Đức") << QStringLiteral("Nguyễn Thị Đức") << QByteArray("Nguyen Thi Duc");
    QTest::newRow("vi Trần Quốc Vượng") << QStringLiteral("Trần Quốc Vượng") << QByteArray("Tran Quoc Vuong");
    QTest::newRow("vi decomposed input") << QStringLiteral("Nguye\u0302\u0303n") << QByteArray("Nguyen");
    // Korean: Hangul decomposes to jamo, which are no Latin letters
    QTest::newRow("ko 김연아") << QStringLiteral("김연아") << QByteArray("???");
    QTest::newRow("ko Park 지성") << QStringLiteral("Park 지성") << QByteArray("Park ??");
    // What keeps its byte, and what has no letter at all
    QTest::newRow("cp1252 letters stay") << QStringLiteral("Hélène Œ€ßÆØø") << QByteArray("H\xE9l\xE8ne \x8C\x80\xDF\xC6\xD8\xF8");
    QTest::newRow("decomposed accent composes") << QStringLiteral("Le\u0301a") << QByteArray("L\xE9" "a");
    QTest::newRow("a letter keeps its byte, not its extra mark") << QStringLiteral("\u00E9\u0323") << QByteArray("\xE9");
    QTest::newRow("other stroked letters") << QStringLiteral("ħŀŧĦĿŦ") << QByteArray("hltHLT");
    QTest::newRow("chinese") << QStringLiteral("李中") << QByteArray("??");
    QTest::newRow("emoji with a variation selector") << QStringLiteral("A\u2764\uFE0F") << QByteArray("A?");
    QTest::newRow("not equal is no equals sign") << QStringLiteral("a≠b") << QByteArray("a?b");
    QTest::newRow("a mark with nothing before it") << QStringLiteral("\u0301a") << QByteArray("?a");
    QTest::newRow("non-breaking hyphen") << QStringLiteral("Jean\u2011Pierre") << QByteArray("Jean-Pierre");
}

void tst_Ansi::names_keepTheirLetters()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Ansi::encode(name), bytes);
    QVERIFY(Ansi::encode(name).size() <= name.size());
}

QTEST_GUILESS_MAIN(tst_Ansi)
#include "tst_Ansi.moc"
