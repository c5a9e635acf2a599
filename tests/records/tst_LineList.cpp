#include "Ansi.h"
#include "AppError.h"
#include "LineList.h"

#include <QtTest>

Q_DECLARE_METATYPE(TextEncoding)

namespace {

QString dataPath(const QString &name)
{
    return QStringLiteral(ZV_RECORDS_DATA "/") + name;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read ") + path.toUtf8() + '>';
    return f.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The sheets archived by the history tests: a header and two inning rows each.
const QStringList SheetA = {QStringLiteral("Hélène\tMarc\t05/03/2016 14:05\r"),
                            QStringLiteral("12\t3\r"), QStringLiteral("\t\r")};
const QStringList SheetB = {QStringLiteral("Zoé\tLuc\t06/03/2016 20:30\r"),
                            QStringLiteral("7\t0\r"), QStringLiteral("1\t\r")};

// What the new-match flow does with the history file.
int archiveSheet(const QString &historyPath, const QStringList &sheet)
{
    LineList list;
    if (QFile::exists(historyPath))
        list.loadFromFile(historyPath);
    list.entries += sheet;
    list.saveToFile(historyPath, true);
    return list.count();
}

// A long history as the program leaves it after many archives: every sheet entry is
// followed by an empty one. Accents, the euro sign and the oe ligature are in the code page.
QStringList longHistory(int sheets)
{
    QStringList entries;
    for (int s = 0; s < sheets; ++s) {
        entries << QStringLiteral("Hélène %1\tZoé\t05/03/2016 14:05").arg(s) << QString();
        for (int i = 0; i < 30; ++i) {
            entries << QStringLiteral("%1\t%2").arg((s + i) % 17).arg(i % 5 ? QString::number(i) : QStringLiteral("€œ"))
                    << QString();
        }
    }
    return entries;
}

// The bytes of `text` with the mark of its encoding.
QByteArray encoded(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool le = encoding == TextEncoding::Utf16LE;
        QByteArray out = le ? "\xFF\xFE" : "\xFE\xFF";
        for (const QChar c : text) {
            const char lo = char(c.unicode() & 0xFF);
            const char hi = char(c.unicode() >> 8);
            out.append(le ? lo : hi).append(le ? hi : lo);
        }
        return out;
    }
    case TextEncoding::None:
    case TextEncoding::Ansi:
        break;
    }
    return Ansi::encode(text);
}

QString utf16(std::initializer_list<char16_t> units)
{
    QString s;
    for (char16_t u : units)
        s.append(QChar(u));
    return s;
}

}

class tst_LineList : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void save_data();
    void save();
    void fileRoundTrip_isByteIdentical_data();
    void fileRoundTrip_isByteIdentical();
    void archive_data();
    void archive();
    void archiveTwice_countsThreeThenNine();
    void longHistory_roundTrip_data();
    void longHistory_roundTrip();
    void saveToFile_replacesLongerFile_data();
    void saveToFile_replacesLongerFile();
    void loadErrors_data();
    void loadErrors();
    void saveErrors_data();
    void saveErrors();
};

void tst_LineList::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<TextEncoding>("encoding");

    const auto ansi = TextEncoding::Ansi;
    QTest::newRow("crlf entries") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"} << ansi;
    QTest::newRow("last line without break") << QByteArray("a\r\nb") << QStringList{"a", "b"}
                                             << ansi;
    QTest::newRow("lone cr") << QByteArray("a\rb\r") << QStringList{"a", "b"} << ansi;
    QTest::newRow("lone lf") << QByteArray("a\nb\n") << QStringList{"a", "b"} << ansi;
    QTest::newRow("sheet entry gives text and empty entry")
        << QByteArray("12\t3\r\r\n") << QStringList{"12\t3", ""} << ansi;
    QTest::newRow("lf then cr are two breaks") << QByteArray("a\n\rb") << QStringList{"a", "", "b"}
                                               << ansi;
    QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nx\r\n")
                                      << QStringList{"", "", "x"} << ansi;
    QTest::newRow("empty file") << QByteArray() << QStringList{} << ansi;
    QTest::newRow("nul ends the text") << QByteArray("a\r\nb\0c\r\nd", 10)
                                       << QStringList{"a", "b"} << ansi;
    QTest::newRow("nul first") << QByteArray("\0a\r\n", 4) << QStringList{} << ansi;
    QTest::newRow("cp1252 accents") << QByteArray("H\xE9l\xE8ne\tZo\xE9\r\n\x80\x9C\r\n")
                                    << QStringList{"Hélène\tZoé", "€œ"} << ansi;
    QTest::newRow("utf8 bytes without mark read as cp1252")
        << QByteArray("\xC3\xA9\r\n") << QStringList{"Ã©"} << ansi;
    QTest::newRow("utf8 mark") << QByteArray("\xEF\xBB\xBF" "H\xC3\xA9\r\nL\xC5\x81\r\n")
                               << QStringList{"Hé", "LŁ"} << TextEncoding::Utf8;
    QTest::newRow("utf8 mark only") << QByteArray("\xEF\xBB\xBF") << QStringList{}
                                    << TextEncoding::Utf8;
    QTest::newRow("utf8 nul ends the text") << QByteArray("\xEF\xBB\xBF" "a\0b", 6)
                                            << QStringList{"a"} << TextEncoding::Utf8;
    QTest::newRow("utf16le mark") << QByteArray("\xFF\xFE" "a\0\xE9\0\r\0\n\0A\x01", 12)
                                  << QStringList{"aé", utf16({0x0141})} << TextEncoding::Utf16LE;
    QTest::newRow("utf16be mark") << QByteArray("\xFE\xFF\0a\0\xE9\0\r\0\n\x01" "A", 12)
                                  << QStringList{"aé", utf16({0x0141})} << TextEncoding::Utf16BE;
    QTest::newRow("utf16le odd trailing byte ignored") << QByteArray("\xFF\xFE" "a\0b", 5)
                                                       << QStringList{"a"}
                                                       << TextEncoding::Utf16LE;
    QTest::newRow("utf16le nul ends the text") << QByteArray("\xFF\xFE" "a\0\0\0b\0", 8)
                                               << QStringList{"a"} << TextEncoding::Utf16LE;
    QTest::newRow("utf16le surrogate pair") << QByteArray("\xFF\xFE\x3D\xD8\x00\xDE", 6)
                                            << QStringList{QStringLiteral("😀")}
                                            << TextEncoding::Utf16LE;
}

void tst_LineList::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    QFETCH(TextEncoding, encoding);

    LineList list;
    list.entries = QStringList{"left over"};
    list.loadFromBytes(bytes);
    QCOMPARE(list.entries, entries);
    QCOMPARE(list.encoding, encoding);
}

void tst_LineList::save_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");

    const QStringList sheet{QStringLiteral("Hélène\tMarc\r"), QStringLiteral("12\t\r")};
    QTest::newRow("never loaded: cp1252 without mark")
        << sheet << TextEncoding::None << QByteArray("H\xE9l\xE8ne\tMarc\r\r\n12\t\r\r\n");
    QTest::newRow("ansi remembered") << sheet << TextEncoding::Ansi
                                     << QByteArray("H\xE9l\xE8ne\tMarc\r\r\n12\t\r\r\n");
    QTest::newRow("closest letter, one ? for a pair") << QStringList{QStringLiteral("Łódź 😀"), QStringLiteral("x")}
                                                     << TextEncoding::None
                                                     << QByteArray("L\xF3" "dz ?\r\nx\r\n");
    QTest::newRow("empty entries still get a break") << QStringList{"", ""} << TextEncoding::None
                                                     << QByteArray("\r\n\r\n");
    QTest::newRow("empty list") << QStringList{} << TextEncoding::None << QByteArray();
    QTest::newRow("utf8 with mark") << QStringList{QStringLiteral("Łé")} << TextEncoding::Utf8
                                    << QByteArray("\xEF\xBB\xBF\xC5\x81\xC3\xA9\r\n");
    QTest::newRow("utf8 empty list keeps the mark") << QStringList{} << TextEncoding::Utf8
                                                    << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("utf16le with mark") << QStringList{QStringLiteral("aŁ")} << TextEncoding::Utf16LE
                                       << QByteArray("\xFF\xFE" "a\0A\x01\r\0\n\0", 10);
    QTest::newRow("utf16be with mark") << QStringList{QStringLiteral("aŁ")} << TextEncoding::Utf16BE
                                       << QByteArray("\xFE\xFF\0a\x01" "A\0\r\0\n", 10);
}

void tst_LineList::save()
{
    QFETCH(QStringList, entries);
    QFETCH(TextEncoding, encoding);
    QFETCH(QByteArray, bytes);

    LineList list;
    list.entries = entries;
    list.encoding = encoding;
    QCOMPARE(list.toBytes(), bytes);
}

void tst_LineList::fileRoundTrip_isByteIdentical_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::newRow("cp1252") << "history_cp1252.txt" << TextEncoding::Ansi;
    QTest::newRow("utf8 with mark") << "history_utf8.txt" << TextEncoding::Utf8;
    QTest::newRow("utf16le with mark") << "history_utf16le.txt" << TextEncoding::Utf16LE;
    QTest::newRow("utf16be with mark") << "history_utf16be.txt" << TextEncoding::Utf16BE;
}

void tst_LineList::fileRoundTrip_isByteIdentical()
{
    QFETCH(QString, file);
    QFETCH(TextEncoding, encoding);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(file);
    QVERIFY(writeBytes(copy, readBytes(dataPath(file))));

    LineList list;
    list.loadFromFile(copy);
    QCOMPARE(list.encoding, encoding);
    QVERIFY(list.count() > 0);
    list.saveToFile(copy, true);
    QCOMPARE(readBytes(copy), readBytes(dataPath(file)));
}

void tst_LineList::archive_data()
{
    QTest::addColumn<QString>("before"); // empty: no history file yet
    QTest::addColumn<QStringList>("sheet");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("after");

    QTest::newRow("first archive creates the file") << QString() << SheetA << 3
                                                    << "archive_after_1.txt";
    QTest::newRow("earlier sheet lines gain an empty line")
        << "archive_after_1.txt" << SheetB << 9 << "archive_after_2.txt";
    QTest::newRow("last line without break") << "archive_nobreak_before.txt" << SheetA << 6
                                             << "archive_nobreak_after.txt";
    QTest::newRow("utf8 history stays utf8 with its mark")
        << "archive_utf8_before.txt" << SheetA << 5 << "archive_utf8_after.txt";
}

void tst_LineList::archive()
{
    QFETCH(QString, before);
    QFETCH(QStringList, sheet);
    QFETCH(int, count);
    QFETCH(QString, after);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString history = dir.filePath("FeuilleMatch.txt");
    if (!before.isEmpty())
        QVERIFY(writeBytes(history, readBytes(dataPath(before))));

    QCOMPARE(archiveSheet(history, sheet), count);
    QCOMPARE(readBytes(history), readBytes(dataPath(after)));
    // Nothing of the temporary file is left beside the history.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"FeuilleMatch.txt"});
}

void tst_LineList::archiveTwice_countsThreeThenNine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString history = dir.filePath("FeuilleMatch.txt");
    QCOMPARE(archiveSheet(history, SheetA), 3);
    QCOMPARE(readBytes(history), readBytes(dataPath("archive_after_1.txt")));
    QCOMPARE(archiveSheet(history, SheetB), 9);
    QCOMPARE(readBytes(history), readBytes(dataPath("archive_after_2.txt")));
}

void tst_LineList::longHistory_roundTrip_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QStringList>("breaks"); // used in turn after the entries
    QTest::addColumn<bool>("nulThenMore");   // a NUL and more entries after the history

    const QStringList crlf{QStringLiteral("\r\n")};
    const QStringList mixed{QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r")};
    QTest::newRow("cp1252") << TextEncoding::Ansi << crlf << false;
    QTest::newRow("utf8") << TextEncoding::Utf8 << crlf << false;
    QTest::newRow("utf16le") << TextEncoding::Utf16LE << crlf << false;
    QTest::newRow("utf16be") << TextEncoding::Utf16BE << crlf << false;
    QTest::newRow("cp1252 every kind of break") << TextEncoding::Ansi << mixed << false;
    QTest::newRow("utf8 every kind of break") << TextEncoding::Utf8 << mixed << false;
    QTest::newRow("utf16le every kind of break") << TextEncoding::Utf16LE << mixed << false;
    QTest::newRow("cp1252 nul then more") << TextEncoding::Ansi << crlf << true;
    QTest::newRow("utf16be nul then more") << TextEncoding::Utf16BE << mixed << true;
}

void tst_LineList::longHistory_roundTrip()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QStringList, breaks);
    QFETCH(bool, nulThenMore);

    const QStringList entries = longHistory(2000);
    QString text;
    QString saved;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QString brk = breaks[i % breaks.size()];
        // A lone CR before an empty entry would join the next entry's LF into one break.
        if (brk == QStringLiteral("\r") && (i + 1 == entries.size() || entries[i + 1].isEmpty()))
            brk = QStringLiteral("\r\n");
        text += entries[i] + brk;
        saved += entries[i] + QStringLiteral("\r\n");
    }
    if (nulThenMore)
        text += QChar(0) + QStringLiteral("more\r\nand more\r\n");

    LineList list;
    list.loadFromBytes(encoded(text, encoding));
    QCOMPARE(list.encoding, encoding);
    QCOMPARE(list.count(), entries.size());
    QVERIFY(list.entries == entries);

    // Saved with CR LF after every entry; a history already in that form comes back byte
    // for byte, and loads again to the same entries.
    const QByteArray bytes = list.toBytes();
    QVERIFY(bytes == encoded(saved, encoding));
    LineList again;
    again.loadFromBytes(bytes);
    QCOMPARE(again.encoding, encoding);
    QVERIFY(again.entries == entries);
    QVERIFY(again.toBytes() == bytes);
}

void tst_LineList::saveToFile_replacesLongerFile_data()
{
    QTest::addColumn<bool>("atomic");
    QTest::newRow("atomic") << true;
    QTest::newRow("truncating") << false;
}

void tst_LineList::saveToFile_replacesLongerFile()
{
    QFETCH(bool, atomic);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("tmp.txt");
    QVERIFY(writeBytes(path, QByteArray(1000, 'x')));

    LineList list;
    list.entries = SheetA;
    list.saveToFile(path, atomic);
    QCOMPARE(readBytes(path), readBytes(dataPath("archive_after_1.txt")));
}

void tst_LineList::loadErrors_data()
{
    QTest::addColumn<QString>("name"); // inside a fresh temporary folder; "." is the folder
    QTest::newRow("path is a folder") << ".";
    QTest::newRow("missing file") << "absent.txt";
}

void tst_LineList::loadErrors()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = name == "." ? dir.path() : dir.filePath(name);

    LineList list;
    list.entries = QStringList{"kept"};
    const QString prefix = QStringLiteral("Impossible d'ouvrir le fichier \"%1\". ").arg(path);
    try {
        list.loadFromFile(path);
        QFAIL("no error raised");
    } catch (const AppError &e) {
        QVERIFY2(e.message().startsWith(prefix), qPrintable(e.message()));
        QVERIFY2(e.message().size() > prefix.size(), "the reason is missing");
    }
    QCOMPARE(list.entries, QStringList{"kept"});
}

void tst_LineList::saveErrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("atomic");
    QTest::newRow("folder, atomic") << "." << true;
    QTest::newRow("folder, truncating") << "." << false;
    QTest::newRow("missing folder, atomic") << "no/such/dir.txt" << true;
    QTest::newRow("missing folder, truncating") << "no/such/dir.txt" << false;
}

void tst_LineList::saveErrors()
{
    QFETCH(QString, name);
    QFETCH(bool, atomic);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = name == "." ? dir.path() : dir.filePath(name);

    LineList list;
    list.entries = SheetA;
    const QString prefix = QStringLiteral("Impossible de créer le fichier \"%1\". ").arg(path);
    try {
        list.saveToFile(path, atomic);
        QFAIL("no error raised");
    } catch (const AppError &e) {
        QVERIFY2(e.message().startsWith(prefix), qPrintable(e.message()));
        QVERIFY2(e.message().size() > prefix.size(), "the reason is missing");
    }
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{});
}

QTEST_GUILESS_MAIN(tst_LineList)
#include "tst_LineList.moc"
