#include "SheetText.h"

#include <QtTest>

class tst_SheetText : public QObject {
    Q_OBJECT
private slots:
    void separators_data();
    void separators();
    void headerEntry_data();
    void headerEntry();
    void rowEntry_data();
    void rowEntry();
    void historyWarning_data();
    void historyWarning();
};

void tst_SheetText::separators_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("french") << QLocale(QLocale::French, QLocale::France) << "/" << ":";
    QTest::newRow("german") << QLocale(QLocale::German, QLocale::Germany) << "." << ":";
    QTest::newRow("dutch") << QLocale(QLocale::Dutch, QLocale::Netherlands) << "-" << ":";
    QTest::newRow("finnish") << QLocale(QLocale::Finnish, QLocale::Finland) << "." << ".";
    QTest::newRow("us english, am/pm after the time")
        << QLocale(QLocale::English, QLocale::UnitedStates) << "/" << ":";
    QTest::newRow("korean, am/pm before the hour") << QLocale(QLocale::Korean, QLocale::SouthKorea)
                                                   << ". " << ":";
    QTest::newRow("bulgarian, quoted suffix") << QLocale(QLocale::Bulgarian, QLocale::Bulgaria)
                                              << "." << ":";
}

void tst_SheetText::separators()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, date);
    QFETCH(QString, time);
    QCOMPARE(SheetText::dateSeparator(locale), date);
    QCOMPARE(SheetText::timeSeparator(locale), time);
}

void tst_SheetText::headerEntry_data()
{
    QTest::addColumn<QString>("name1");
    QTest::addColumn<QString>("name2");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("entry");

    const QLocale fr(QLocale::French, QLocale::France);
    const QDateTime march5(QDate(2016, 3, 5), QTime(14, 5, 59));
    QTest::newRow("default names, french")
        << "Joueur 1" << "Joueur 2" << march5 << fr << "Joueur 1\tJoueur 2\t05/03/2016 14:05\r";
    QTest::newRow("german separators")
        << "Joueur 1" << "Joueur 2" << march5 << QLocale(QLocale::German, QLocale::Germany)
        << "Joueur 1\tJoueur 2\t05.03.2016 14:05\r";
    QTest::newRow("finnish separators")
        << "A" << "B" << march5 << QLocale(QLocale::Finnish, QLocale::Finland)
        << "A\tB\t05.03.2016 14.05\r";
    QTest::newRow("us locale keeps day first and 24 hours")
        << "A" << "B" << QDateTime(QDate(2016, 12, 31), QTime(23, 59))
        << QLocale(QLocale::English, QLocale::UnitedStates) << "A\tB\t31/12/2016 23:59\r";
    QTest::newRow("midnight") << "A" << "B" << QDateTime(QDate(2024, 1, 2), QTime(0, 7)) << fr
                              << "A\tB\t02/01/2024 00:07\r";
    QTest::newRow("accented and empty names")
        << QStringLiteral("Hélène") << QString() << march5 << fr
        << QStringLiteral("Hélène\t\t05/03/2016 14:05\r");
}

void tst_SheetText::headerEntry()
{
    QFETCH(QString, name1);
    QFETCH(QString, name2);
    QFETCH(QDateTime, when);
    QFETCH(QLocale, locale);
    QFETCH(QString, entry);
    QCOMPARE(SheetText::headerEntry(name1, name2, when, locale), entry);
}

void tst_SheetText::rowEntry_data()
{
    QTest::addColumn<QString>("pts1");
    QTest::addColumn<QString>("pts2");
    QTest::addColumn<QString>("entry");
    QTest::newRow("both played") << "12" << "3" << "12\t3\r";
    QTest::newRow("only player 1") << "12" << QString() << "12\t\r";
    QTest::newRow("neither") << QString() << QString() << "\t\r";
    QTest::newRow("only player 2") << QString() << "0" << "\t0\r";
}

void tst_SheetText::rowEntry()
{
    QFETCH(QString, pts1);
    QFETCH(QString, pts2);
    QFETCH(QString, entry);
    QCOMPARE(SheetText::rowEntry(pts1, pts2), entry);
}

void tst_SheetText::historyWarning_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("first count over the limit")
        << "C:\\Users\\Public\\Documents\\FeuilleMatch.txt" << 2001
        << QStringLiteral("Le fichier historique :\r\nC:\\Users\\Public\\Documents\\FeuilleMatch.txt"
                          "\r\ncontient 2001 lignes\r\naprès la compétition en cours faites en "
                          "une copie et supprimez le de l'emplacement actuel");
    QTest::newRow("accented path, large count")
        << QStringLiteral("/home/zoé/FeuilleMatch.txt") << 123457
        << QStringLiteral("Le fichier historique :\r\n/home/zoé/FeuilleMatch.txt\r\ncontient 123457"
                          " lignes\r\naprès la compétition en cours faites en une copie et "
                          "supprimez le de l'emplacement actuel");
}

void tst_SheetText::historyWarning()
{
    QFETCH(QString, path);
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(SheetText::historyWarning(path, count), text);
}

QTEST_GUILESS_MAIN(tst_SheetText)
#include "tst_SheetText.moc"
