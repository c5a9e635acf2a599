// The club's storage, the same cases on SQLite and on a real PostgreSQL server.
#include "ClubStore.h"
#include "ClubTestUtil.h"
#include "Import.h"
#include "LineList.h"
#include "SheetParse.h"

#include <QFile>
#include <QtTest>

using ClubTest::sheet;

class TestClubStore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_spec;
    ClubStore m_store;

    void drivers()
    {
        QTest::addColumn<QString>("driver");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }
    void openFresh()
    {
        QFETCH(QString, driver);
        QString error;
        m_spec = ClubTest::makeBase(driver, m_dir, &error);
        if (m_spec.isEmpty() && ClubTest::pgUrl().isEmpty())
            QSKIP("PostgreSQL fixture not running (run through ctest)");
        QVERIFY2(!m_spec.isEmpty(), qPrintable(error));
        const QString e = m_store.open(m_spec);
        QVERIFY2(e.isEmpty(), qPrintable(e));
    }
    ParsedSheet parsed(const QStringList &lines)
    {
        const auto r = SheetParse::parse(lines);
        return r.sheets.value(0);
    }

private slots:
    void cleanup()
    {
        m_store.close();
        ClubTest::dropBase(m_spec);
        m_spec.clear();
    }

    // The text form read back: headers, rows with empty fields, the empty lines of a
    // loaded history, lines that are neither.
    void parse_readsSheetsOfAHistory()
    {
        LineList l;
        QByteArray bytes;
        const QStringList a = sheet(QStringLiteral("Éloïse"), QStringLiteral("Paul"),
                                    QStringLiteral("05/03/2016 14:05"),
                                    {{"12", "7"}, {"3", ""}, {"", ""}});
        const QStringList b = sheet(QStringLiteral("Paul"), QStringLiteral("Zoé"),
                                    QStringLiteral("06.03.2016 0905"), {{"0", "-1"}});
        LineList first;
        first.entries = a;
        LineList both;
        both.loadFromBytes(first.toBytes());   // the second archive reads the first back
        both.entries += b;
        l.loadFromBytes(both.toBytes() + "n'importe quoi\r\n");
        const SheetParseResult r = SheetParse::parse(l.entries);
        QCOMPARE(r.sheets.size(), 2);
        QCOMPARE(r.skippedLines, 1);
        const ParsedSheet &s = r.sheets[0];
        QCOMPARE(s.name1, QStringLiteral("Éloïse"));
        QCOMPARE(s.playedAt, QDateTime(QDate(2016, 3, 5), QTime(14, 5)));
        QCOMPARE(s.rows.size(), 3);
        QCOMPARE(s.total(1), 15);
        QCOMPARE(s.innings(1), 2);
        QCOMPARE(s.innings(2), 1);
        QVERIFY(!s.rows[2].pts1 && !s.rows[2].pts2);
        QCOMPARE(r.sheets[1].playedAt, QDateTime(QDate(2016, 3, 6), QTime(9, 5)));
        QCOMPARE(r.sheets[1].total(2), -1);
    }

    // The sheet sent over the network has "?" for accented letters; the same sheet
    // imported from the history file must be recognised as the same one.
    void hash_sameSheetWhicheverWayItCame()
    {
        const auto rows = QList<QPair<QString, QString>>{{"12", "7"}, {"", ""}};
        const ParsedSheet fromFile = parsed(sheet(QStringLiteral("Éloïse"), QStringLiteral("Paul"),
                                                  QStringLiteral("05/03/2016 14:05"), rows));
        const ParsedSheet fromFrame = SheetParse::parseFrameLines(
            {"?lo?se\tPaul\t05/03/2016 14:05\r", "12\t7\r", "\t\r"}).sheets.value(0);
        QCOMPARE(fromFrame.hash(), fromFile.hash());
        const ParsedSheet other = parsed(sheet(QStringLiteral("Éloïse"), QStringLiteral("Paul"),
                                               QStringLiteral("05/03/2016 14:05"), {{"12", "8"}, {"", ""}}));
        QVERIFY(other.hash() != fromFile.hash());
    }

    void store_sheetSentTwiceIsStoredOnce_data() { drivers(); }
    void store_sheetSentTwiceIsStoredOnce()
    {
        openFresh();
        const ParsedSheet s = parsed(sheet(QStringLiteral("Jean"), QStringLiteral("Zoé"),
                                           QStringLiteral("05/03/2016 14:05"), {{"12", "7"}, {"3", ""}}));
        QString e;
        qint64 id = 0;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QCOMPARE(m_store.storeSheet(s, "Billard 1", "10.0.0.5", "trame", now, &e, &id), ClubStore::Outcome::Stored);
        QVERIFY2(e.isEmpty(), qPrintable(e));
        QCOMPARE(m_store.storeSheet(s, "Billard 2", "10.0.0.6", "trame", now, &e), ClubStore::Outcome::Duplicate);
        QCOMPARE(m_store.sheetCount(&e), 1);
        const auto back = m_store.sheet(id, &e);
        QVERIFY(back);
        QCOMPARE(back->table, QStringLiteral("Billard 1"));
        QCOMPARE(back->name2, QStringLiteral("Zoé"));
        QCOMPARE(back->playedAt, QStringLiteral("2016-03-05T14:05"));
        QCOMPARE(back->rows.size(), 2);
        QCOMPARE(back->rows[1].pts1, std::optional<int>(3));
        QVERIFY(!back->rows[1].pts2);
        QCOMPARE(back->rawText, QStringLiteral("Jean\tZoé\t05/03/2016 14:05\n12\t7\n3\t"));
        // The base is read again by a new connection: what was committed is there.
        m_store.close();
        QVERIFY(m_store.open(m_spec).isEmpty());
        QCOMPARE(m_store.sheetCount(&e), 1);
    }

    // The history file: Windows-1252, every sheet line followed by the empty line its own
    // CR makes; imported twice, it is stored once.
    void import_historyFile_data() { drivers(); }
    void import_historyFile()
    {
        openFresh();
        LineList h;
        h.entries = sheet(QStringLiteral("Hélène"), QStringLiteral("Marc"), QStringLiteral("01/02/2024 20:30"),
                          {{"5", "2"}, {"1", "9"}, {"", ""}});
        LineList all;
        all.loadFromBytes(h.toBytes());
        all.entries += sheet(QStringLiteral("Marc"), QStringLiteral("Hélène"), QStringLiteral("08/02/2024 20:30"),
                             {{"4", "4"}, {"", ""}});
        const QString path = m_dir.filePath(QStringLiteral("FeuilleMatch.txt"));
        all.saveToFile(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("H\xe9l\xe8ne\tMarc\t01/02/2024 20:30\r\n\r\n"));
        const ImportResult r = Import::historyFile(m_store, path);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.sheets, 2);
        QCOMPARE(r.stored, 2);
        QCOMPARE(r.skippedLines, 0);
        const ImportResult again = Import::historyFile(m_store, path);
        QCOMPARE(again.stored, 0);
        QCOMPARE(again.duplicates, 2);
        QString e;
        const auto rec = m_store.player(QStringLiteral("Hélène"), &e);
        QVERIFY(rec);
        QCOMPARE(rec->matches.size(), 2);
        QCOMPARE(rec->points, 6 + 4);
        QCOMPARE(rec->innings, 2 + 1);
    }

    // A history larger than one statement of sheets: each sheet gets its own innings
    // (none, some with empty fields), a sheet met twice in the file and a sheet already in
    // the base are not stored again.
    void import_manySheetsKeepTheirInnings_data() { drivers(); }
    void import_manySheetsKeepTheirInnings()
    {
        openFresh();
        auto make = [](int i) {
            QList<QPair<QString, QString>> rows;
            for (int r = 0; r < i % 5; ++r)
                rows.append({r == 1 && i % 3 == 0 ? QString() : QString::number((i + r) % 9),
                             QString::number(i * 7 + r)});
            return sheet(QStringLiteral("J%1").arg(i), QStringLiteral("Adversaire"),
                         QStringLiteral("%1/03/2016 14:05").arg(i % 28 + 1, 2, 10, QChar(u'0')), rows);
        };
        QString e;
        QCOMPARE(m_store.storeSheet(parsed(make(10)), "", "", "trame", QDateTime::currentDateTimeUtc(), &e),
                 ClubStore::Outcome::Stored);
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines += make(i);
        lines += make(5);
        const ImportResult r = Import::lines(m_store, lines, QStringLiteral("import"));
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.sheets, 301);
        QCOMPARE(r.stored, 299);
        QCOMPARE(r.duplicates, 2);
        QCOMPARE(r.failed, 0);
        QCOMPARE(m_store.sheetCount(&e), 300);
        const QList<StoredSheet> all = m_store.matches(QString(), QString(), 1000, &e);
        QCOMPARE(all.size(), 300);
        for (const StoredSheet &summary : all) {
            const int i = summary.name1.mid(1).toInt();
            const ParsedSheet want = parsed(make(i));
            const auto got = m_store.sheet(summary.id, &e);
            QVERIFY2(got, qPrintable(e));
            QCOMPARE(got->rawText, want.rawText());
            QCOMPARE(got->rows.size(), want.rows.size());
            for (qsizetype k = 0; k < want.rows.size(); ++k) {
                QCOMPARE(got->rows[k].pts1, want.rows[k].pts1);
                QCOMPARE(got->rows[k].pts2, want.rows[k].pts2);
            }
            QCOMPARE(got->total1, want.total(1));
        }
    }

    void import_unreadableFileIsReported()
    {
        ClubStore store;
        QVERIFY(store.open(m_dir.filePath(QStringLiteral("x.sqlite"))).isEmpty());
        const ImportResult r = Import::historyFile(store, m_dir.filePath(QStringLiteral("absent.txt")));
        QVERIFY(r.error.startsWith(QStringLiteral("Impossible d'ouvrir le fichier")));
        QCOMPARE(r.sheets, 0);
    }

    // Search by part of a name in any case (wildcards taken literally) and by date.
    void matches_searchByPlayerAndDate_data() { drivers(); }
    void matches_searchByPlayerAndDate()
    {
        openFresh();
        QString e;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QList<QStringList> sheets = {
            sheet("Jean Dupont", "Paul", "05/03/2016 14:05", {{"1", "2"}}),
            sheet("Paul", "Marie", "06/03/2016 14:05", {{"3", "2"}}),
            sheet("100% Marie", "Jean", "06/04/2016 10:00", {{"3", "3"}}),
        };
        for (const auto &s : sheets)
            QCOMPARE(m_store.storeSheet(parsed(s), "", "", "trame", now, &e), ClubStore::Outcome::Stored);
        auto names = [&](const QString &player, const QString &date) {
            QStringList out;
            for (const auto &s : m_store.matches(player, date, 100, &e))
                out << s.playedAt.left(10);
            return out.join(u' ');
        };
        QCOMPARE(names("", ""), QStringLiteral("2016-04-06 2016-03-06 2016-03-05"));
        QCOMPARE(names("jean", ""), QStringLiteral("2016-04-06 2016-03-05"));
        QCOMPARE(names("MARIE", ""), QStringLiteral("2016-04-06 2016-03-06"));
        QCOMPARE(names("0% m", ""), QStringLiteral("2016-04-06"));
        QCOMPARE(names("%", ""), QStringLiteral("2016-04-06"));
        QCOMPARE(names("_", ""), QString());
        QCOMPARE(names("", "2016-03-06"), QStringLiteral("2016-03-06"));
        QCOMPARE(names("paul", "2016-03"), QStringLiteral("2016-03-06 2016-03-05"));
        QVERIFY2(e.isEmpty(), qPrintable(e));
    }

    // A player's record: sums over his own column, whichever side he played on.
    void player_recordAddsUpHisSide_data() { drivers(); }
    void player_recordAddsUpHisSide()
    {
        openFresh();
        QString e;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        // Jean: 15 pts in 2 innings (win), 4 in 2 (draw), 1 in 1 (loss).
        for (const auto &s : {sheet("Jean", "Paul", "05/03/2016 14:05", {{"12", "7"}, {"3", ""}}),
                              sheet("Marie", "Jean", "07/03/2016 14:05", {{"2", "0"}, {"2", "4"}}),
                              sheet("Jean", "Marie", "09/03/2016 14:05", {{"1", "9"}})})
            QCOMPARE(m_store.storeSheet(parsed(s), "", "", "trame", now, &e), ClubStore::Outcome::Stored);
        const auto r = m_store.player("Jean", &e);
        QVERIFY2(r, qPrintable(e));
        QCOMPARE(r->matches.size(), 3);
        QCOMPARE(r->points, 20);
        QCOMPARE(r->innings, 5);
        QCOMPARE(r->generalAverage(), 4.0);
        QCOMPARE(r->best, 12);
        QCOMPARE(r->matchPoints, 3);
        QCOMPARE(r->wins, 1);
        QCOMPARE(r->draws, 1);
        QCOMPARE(r->losses, 1);
        QCOMPARE(r->matches[1].side, 2);
        QCOMPARE(r->matches[1].average(), 2.0);
        QCOMPARE(r->matches[1].opponent, QStringLiteral("Marie"));
        QVERIFY(!m_store.player("Personne", &e));
        QVERIFY(e.isEmpty());
        const auto players = m_store.players(&e);
        QCOMPARE(players.size(), 3);
        QCOMPARE(players[0].name, QStringLiteral("Jean"));
        QCOMPARE(players[0].matches, 3);
    }

    void open_errorsAreFrench_data()
    {
        QTest::addColumn<QString>("spec");
        QTest::addColumn<QString>("start");
        QTest::newRow("no base name") << "postgresql://u:p@localhost/" << "adresse PostgreSQL sans nom de base";
        QTest::newRow("bad url") << "postgresql://u:p@[::1/x" << "adresse PostgreSQL incorrecte";
        QTest::newRow("sqlite folder missing") << "/nonexistent/dir/club.sqlite" << "impossible d'ouvrir la base";
        QTest::newRow("nobody listens") << "postgresql://u:secret@/x?host=/nonexistent" << "impossible d'ouvrir la base";
    }
    void open_errorsAreFrench()
    {
        QFETCH(QString, spec);
        QFETCH(QString, start);
        ClubStore s;
        const QString e = s.open(spec);
        QVERIFY2(e.startsWith(start), qPrintable(e));
        QVERIFY2(!e.contains(QLatin1String("secret")), qPrintable(e));
    }
};

QTEST_GUILESS_MAIN(TestClubStore)
#include "tst_clubstore.moc"
