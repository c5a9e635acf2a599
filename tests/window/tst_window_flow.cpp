// The inning flow through the real window: start-up, validation, undo, deletion, new
// match, names, and what reaches the backup file.
#include "WindowFixture.h"

#include <QDir>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>

class tst_window_flow : public QObject {
    Q_OBJECT

    void toUtilities(WindowFixture &f)
    {
        QTest::mouseClick(f.w->btnAffichTabTools, Qt::LeftButton);
        QCOMPARE(f.w->TabControl1->currentWidget(), f.w->TabUtils);
    }
    void toScoreboard(WindowFixture &f)
    {
        QTest::mouseClick(f.w->btnAffichTabFeuille, Qt::LeftButton);
        QCOMPARE(f.w->TabControl1->currentWidget(), f.w->TabAffichage);
    }
    void selectRow(WindowFixture &f, int row)
    {
        f.w->StringGrid1->setCurrentIndex(f.w->StringGrid1->model()->index(row, 1));
    }

private slots:
    void firstStart_writesOneEmptyRowAtOnce()
    {
        WindowFixture f;
        f.start();
        QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
        QCOMPARE(f.w->backupWrites(), 1);
        QCOMPARE(f.savedSheet(), QStringLiteral("(-,-)"));
        QVERIFY(f.w->Joueur1());
        QVERIFY(!QFile::exists(f.path(QStringLiteral("FeuilleMatch.txt"))));
        QCOMPARE(f.dialogs.count(), 0);
        QCOMPARE(f.w->lblSerie->text(), QStringLiteral("--"));
    }

    void startUp_removesTemporaryFilesLeftByACrash()
    {
        WindowFixture f;
        // Only the temporary files of our own durable writes go; names a person could
        // have chosen stay.
        const QStringList names{"FeuilleMatch.bin.zelvano-tmp-0123456789ab", "FeuilleMatch.txt.zelvano-tmp-abcdef012345",
                                "FeuilleMatch.bin.illisible-20261211", "FeuilleMatch.bin.Ab12Cd", "autre.bin.Ab12Cd"};
        for (const QString &n : names) {
            QFile file(f.path(n));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        f.start();
        const QStringList left = QDir(f.dir.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left, (QStringList{"FeuilleMatch.bin", "FeuilleMatch.bin.Ab12Cd", "FeuilleMatch.bin.illisible-20261211",
                                    "autre.bin.Ab12Cd"}));
    }

    void restart_loadsTheSheetWithoutSaving()
    {
        WindowFixture f;
        f.start();
        f.play({7, 5, 3});
        f.restart();
        QCOMPARE(f.sheet(), QStringLiteral("(7,5) (3,-)"));
        QCOMPARE(f.w->backupWrites(), 0);
        QVERIFY(!f.w->Joueur1());
        QCOMPARE(f.w->Feuille->recNo(), 2);
    }

    void keys_changeTheSheet_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("writes"); // backup rewrites caused by the keys
        QTest::addColumn<bool>("joueur1");
        QTest::newRow("player 1 validates 7") << "7\n" << "(7,-)" << 1 << false;
        QTest::newRow("player 2 validates nothing") << "7\n\n" << "(7,0) (-,-)" << 3 << true;
        QTest::newRow("undo after player 1") << "7\n\b" << "(-,-)" << 2 << true;
        QTest::newRow("undo at the start of inning 2") << "7\n5\n\b" << "(7,-)" << 5 << false;
        QTest::newRow("undo on a fresh sheet does nothing") << "\b" << "(-,-)" << 0 << true;
        QTest::newRow("undos walk back to the fresh sheet") << "7\n5\n3\n\b\b\b" << "(-,-)" << 8 << true;
        QTest::newRow("backspace drops a digit first") << "57\b\n" << "(5,-)" << 1 << false;
        QTest::newRow("zero is an ordinary run") << "0\n0\n" << "(0,0) (-,-)" << 3 << true;
    }
    void keys_changeTheSheet()
    {
        QFETCH(QString, keys);
        QFETCH(QString, sheet);
        QFETCH(int, writes);
        QFETCH(bool, joueur1);
        WindowFixture f;
        f.start();
        const int before = f.w->backupWrites();
        f.type(keys);
        QCOMPARE(f.sheet(), sheet);
        QCOMPARE(f.savedSheet(), sheet);
        QCOMPARE(f.w->backupWrites() - before, writes);
        QCOMPARE(f.w->Joueur1(), joueur1);
        QCOMPARE(f.w->Feuille->recNo(), f.w->Feuille->recordCount());
    }

    void turnDisplay_followsThePlayer()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        QCOMPARE(w.Rectangle1->fill(), 0xFFF4EDEDu);
        QVERIFY(w.Rectangle1->strokeSolid());
        QCOMPARE(w.Rectangle2->fill(), 0xFF23221Du);
        QVERIFY(!w.Rectangle2->strokeSolid());
        QCOMPARE(w.Nom1Lbl->fontColor(), 0xFF000000u);
        QCOMPARE(w.Nom2Lbl->fontColor(), 0xFFE5E54Fu);
        f.play({4});
        QCOMPARE(w.Rectangle1->fill(), 0xFF23221Du);
        QVERIFY(!w.Rectangle1->strokeSolid());
        QCOMPARE(w.Rectangle2->fill(), 0xFFE5E54Fu);
        QCOMPARE(w.RectangleSerieLbl->fill(), 0xFFE5E54Fu);
        QCOMPARE(w.Total1Lbl->fontColor(), 0xFFF4EDEDu);
        QCOMPARE(w.Chrono2Lbl->fontColor(), 0xFF000000u);
        QCOMPARE(w.Moyenne1Lbl->fontColor(), 0xFFF4EDEDu);
        QCOMPARE(w.Serie2Lbl->fontColor(), 0xFFE5E54Fu);
    }

    void newMatch_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("answered No") << false;
        QTest::newRow("answered Yes") << true;
    }
    void newMatch()
    {
        QFETCH(bool, yes);
        WindowFixture f;
        TMainFrm &w = f.start();
        f.play({7, 5});
        w.setChrono1(12000);
        f.type(QStringLiteral("3"));
        f.dialogs.answers = {yes ? DlgButton::Yes : DlgButton::No};
        f.key(Qt::Key_F2);
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("Effacer les données actuelles ?"));
        QCOMPARE(f.dialogs.last()->kind, DlgKind::Information);
        QCOMPARE(f.dialogs.last()->buttons, (std::vector<DlgButton>{DlgButton::Yes, DlgButton::No}));
        QVERIFY(f.dialogs.last()->defaultButton == DlgButton::No); // Enter out of habit keeps the sheet
        const QString history = f.path(QStringLiteral("FeuilleMatch.txt"));
        if (!yes) {
            QCOMPARE(f.sheet(), QStringLiteral("(7,5) (-,-)"));
            QCOMPARE(w.lblSerie->text(), QStringLiteral("3"));
            QVERIFY(!QFile::exists(history));
            return;
        }
        QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
        QCOMPARE(f.savedSheet(), QStringLiteral("(-,-)"));
        QCOMPARE(w.lblSerie->text(), QStringLiteral("--"));
        QCOMPARE(w.Chrono1(), 0);
        QCOMPARE(w.Chrono1Lbl->text(), QStringLiteral("00:00"));
        QCOMPARE(w.Chrono2Lbl->text(), QStringLiteral("00:00"));
        QVERIFY(w.Joueur1());
        QFile h(history);
        QVERIFY(h.open(QIODevice::ReadOnly));
        QCOMPARE(h.readAll(), QByteArray("Joueur 1\tJoueur 2\t05/03/2016 14:05\r\r\n7\t5\r\r\n\t\r\r\n"));
    }

    void newMatch_failingHistory_keepsTheSheet()
    {
        WindowFixture f;
        f.start();
        f.play({7});
        // A folder where the history file should be: it can be neither read nor written.
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("FeuilleMatch.txt")));
        f.dialogs.answers = {DlgButton::Yes};
        f.key(Qt::Key_F2);
        QCOMPARE(f.dialogs.count(), 2);
        QCOMPARE(f.dialogs.last()->kind, DlgKind::Error);
        QVERIFY2(f.dialogs.last()->text.startsWith(QStringLiteral("Impossible d'ouvrir le fichier")),
                 qPrintable(f.dialogs.last()->text));
        QCOMPARE(f.sheet(), QStringLiteral("(7,-)"));
        QVERIFY(!f.w->Joueur1());
    }

    void deleteInning_asksWithItsNumber()
    {
        WindowFixture f;
        f.start();
        f.play({1, 2, 3, 4, 5, 6, 7});
        toUtilities(f);
        QCOMPARE(f.w->Feuille->recNo(), 1);
        selectRow(f, 2);
        QCOMPARE(f.w->Feuille->recNo(), 3);
        f.dialogs.answers = {DlgButton::No, DlgButton::Yes};
        QTest::mouseClick(f.w->btnDel, Qt::LeftButton);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("Supprimer la reprise 3 ?"));
        QVERIFY(f.dialogs.last()->defaultButton == DlgButton::No);
        QCOMPARE(f.sheet(), QStringLiteral("(1,2) (3,4) (5,6) (7,-)"));
        QTest::mouseClick(f.w->btnDel, Qt::LeftButton);
        QCOMPARE(f.sheet(), QStringLiteral("(1,2) (3,4) (7,-)"));
        QCOMPARE(f.savedSheet(), QStringLiteral("(1,2) (3,4) (7,-)"));
    }

    void deleteLastInning_thenScoreboard_derivesPlayer2()
    {
        WindowFixture f;
        f.start();
        f.play({7, 5, 3});
        toUtilities(f);
        selectRow(f, 1);
        f.dialogs.answers = {DlgButton::Yes};
        QTest::mouseClick(f.w->btnDel, Qt::LeftButton);
        QCOMPARE(f.sheet(), QStringLiteral("(7,5)"));
        QVERIFY(!f.w->Joueur1()); // unchanged until the scoreboard shows again
        toScoreboard(f);
        QVERIFY(!f.w->Joueur1());
        f.play({4});
        QCOMPARE(f.sheet(), QStringLiteral("(7,4) (-,-)"));
        QVERIFY(f.w->Joueur1());
    }

    void deleteOnlyRow_thenValidation_createsTheRow()
    {
        WindowFixture f;
        f.start();
        toUtilities(f);
        f.dialogs.answers = {DlgButton::Yes};
        QTest::mouseClick(f.w->btnDel, Qt::LeftButton);
        QCOMPARE(f.w->Feuille->recordCount(), 0);
        const int shown = f.dialogs.count();
        QTest::mouseClick(f.w->btnDel, Qt::LeftButton); // nothing to ask on an empty sheet
        QCOMPARE(f.dialogs.count(), shown);
        toScoreboard(f);
        QVERIFY(f.w->Joueur1());
        f.play({6});
        QCOMPARE(f.sheet(), QStringLiteral("(6,-)"));
        QCOMPARE(f.savedSheet(), QStringLiteral("(6,-)"));
    }

    void nameDialog_acceptsAnEmptyName()
    {
        WindowFixture f;
        f.start();
        f.dialogs.inputAnswers = {{true, {QString()}}, {false, {QStringLiteral("Ignoré")}}};
        QTest::mouseClick(f.w->Nom2Lbl, Qt::LeftButton);
        QVERIFY(f.dialogs.last()->isInput);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("Saisir le nom du joueur"));
        QCOMPARE(f.dialogs.last()->prompts, QStringList{QStringLiteral("Nom :")});
        QCOMPARE(f.dialogs.last()->values, QStringList{QStringLiteral("Joueur 2")});
        QCOMPARE(f.w->Nom2Lbl->text(), QString());
        QTest::mouseClick(f.w->Nom1Lbl, Qt::LeftButton);
        QCOMPARE(f.w->Nom1Lbl->text(), QStringLiteral("Joueur 1"));
    }

    void f3_swapsNamesOnlyInTheFirstInning_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("swapped");
        QTest::newRow("fresh sheet") << "" << true;
        QTest::newRow("player 1 has played") << "8\n" << true;
        QTest::newRow("second inning") << "8\n2\n" << false;
    }
    void f3_swapsNamesOnlyInTheFirstInning()
    {
        QFETCH(QString, keys);
        QFETCH(bool, swapped);
        WindowFixture f;
        f.start();
        f.type(keys);
        const QString sheet = f.sheet();
        f.key(Qt::Key_F3);
        QCOMPARE(f.w->Nom1Lbl->text(), swapped ? QStringLiteral("Joueur 2") : QStringLiteral("Joueur 1"));
        QCOMPARE(f.w->Nom2Lbl->text(), swapped ? QStringLiteral("Joueur 1") : QStringLiteral("Joueur 2"));
        QCOMPARE(f.sheet(), sheet);
    }

    void unreadableBackup_isKeptAsideAndAFreshSheetOpens_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("foreign file") << QByteArray("Joueur 1\tJoueur 2\r\n7\t5\r\n");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated backup") << QByteArray("ZVFM\x00\x01", 6);
    }
    void unreadableBackup_isKeptAsideAndAFreshSheetOpens()
    {
        QFETCH(QByteArray, bytes);
        WindowFixture f;
        {
            QFile b(f.backup());
            QVERIFY(b.open(QIODevice::WriteOnly));
            b.write(bytes);
        }
        f.start();
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->kind, DlgKind::Error);
        QVERIFY(f.dialogs.last()->text.contains(QStringLiteral("ne peut pas être relue")));
        const QStringList aside = QDir(f.dir.path()).entryList({QStringLiteral("FeuilleMatch.bin.illisible-*")});
        QCOMPARE(aside.size(), 1);
        QFile kept(f.path(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        QVERIFY(f.dialogs.last()->text.contains(aside.first()));
        QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
        QCOMPARE(f.savedSheet(), QStringLiteral("(-,-)"));
    }

    void failedSave_keepsTheChange_andTheNextSaveWritesAll()
    {
        WindowFixture f;
        f.start();
        f.play({7, 5});
        // The backup's place is taken by a folder: the save fails, as in a read-only folder.
        QVERIFY(QFile::remove(f.backup()));
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("FeuilleMatch.bin")));
        f.play({9});
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->kind, DlgKind::Error);
        QVERIFY(f.dialogs.last()->text.contains(f.backup()));
        QCOMPARE(f.sheet(), QStringLiteral("(7,5) (9,-)"));
        QVERIFY(!f.w->Joueur1()); // the failed save ended nothing but itself: the turn passed
        QCOMPARE(f.w->Total1Lbl->text(), QStringLiteral("16"));
        QVERIFY(QDir(f.dir.path()).rmdir(QStringLiteral("FeuilleMatch.bin")));
        f.play({4});
        QCOMPARE(f.sheet(), QStringLiteral("(7,5) (9,4) (-,-)"));
        QCOMPARE(f.savedSheet(), QStringLiteral("(7,5) (9,4) (-,-)"));
    }
};

QTEST_MAIN(tst_window_flow)
#include "tst_window_flow.moc"
