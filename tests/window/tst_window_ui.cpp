// The window's composition, adaptive layout, pages, innings grid and time controls.
#include "WindowFixture.h"
#include "ScoreLayout.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>

class tst_window_ui : public QObject {
    Q_OBJECT

    static void showAt(TMainFrm &w, QSize size)
    {
        w.resize(size);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(w.RectangleFondTab->height(), size.height() - 48);
    }

private slots:
    void everyDocumentedControlIsThere()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        const char *names[] = {"HeaderToolBar", "btnStart", "btnAffichTabTools", "btnAffichTabFeuille", "btnClock",
                               "btnClockSum", "btnPrint", "TabControl1", "TabAffichage", "TabUtils",
                               "RectangleFondTab", "LayoutGauche", "Rectangle1", "Nom1Lbl", "Total1Lbl", "Chrono1Lbl",
                               "Moyenne1Lbl", "Serie1Lbl", "AutresStatsLbl", "LayoutDroite", "Rectangle2", "Nom2Lbl",
                               "Total2Lbl", "Chrono2Lbl", "Moyenne2Lbl", "Serie2Lbl", "LayoutCentre", "LayoutChrono",
                               "LayoutImgChrono", "imgPauseChrono", "ImgPlayChrono", "lblChronoPoint", "ReprisesLbl",
                               "LayoutSerieLbl", "RectangleSerieLbl", "lblSerie", "btnDec", "btnAdd", "btnSetSerie",
                               "LayoutGrid", "StringGrid1", "btnDel", "Splitter1", "ScrollBox1", "LayoutTelecommande",
                               "LayoutWifi", "Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7",
                               "RadioPlus", "RadioMoins", "RadioOK", "RadioChrono", "RectTestRemote", "lblKeyTest",
                               "btnAffecteRemote", "EditHost", "EditPort", "RadioFeuilleEnCours",
                               "RadioFeuillesArchive", "btnprintFeuille"};
        for (const char *n : names)
            QVERIFY2(w.findChild<QObject *>(QString::fromLatin1(n)), n);
        QCOMPARE(w.windowTitle(), QStringLiteral("Zelvano"));
        QCOMPARE(w.btnStart->text(), QStringLiteral("Nouveau match"));
        QCOMPARE(w.btnDel->text(), QStringLiteral("supprimer reprise"));
        QCOMPARE(w.Label1->text(), QStringLiteral("Backup : ") + QDir::toNativeSeparators(f.backup()));
        QVERIFY(w.TabControl1->tabBar()->isHidden());
        QVERIFY(w.btnAffichTabFeuille->isChecked());
        QCOMPARE(w.RadioPlus->text(), QStringLiteral("Plus 1 (37)"));
        QCOMPARE(w.RadioChrono->text(), QStringLiteral("Chrono (40)"));
        QVERIFY(w.RadioFeuilleEnCours->isChecked());
    }

    // The header bar: "Nouveau match" at a fixed place on the left, the icon buttons from
    // the right edge, whatever the width.
    void headerBar_placesItsButtons_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::newRow("design size") << QSize(793, 546);
        QTest::newRow("1280 x 720") << QSize(1280, 720);
    }
    void headerBar_placesItsButtons()
    {
        QFETCH(QSize, window);
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, window);
        const int W = window.width();
        QCOMPARE(w.btnStart->geometry(), QRect(9, 8, 129, 30));
        QCOMPARE(w.btnAffichTabTools->geometry(), QRect(W - 80, 0, 80, 48));
        QCOMPARE(w.btnAffichTabFeuille->geometry(), QRect(W - 160, 0, 80, 48));
        QCOMPARE(w.btnClock->geometry(), QRect(W - 320, 0, 80, 48));
        QCOMPARE(w.btnClockSum->geometry(), QRect(W - 400, 0, 80, 48));
        QCOMPARE(w.btnPrint->geometry(), QRect(W - 560, 0, 80, 48));
    }

    void layout_followsTheWindowSize_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QList<int>>("sizes"); // A B C D E F
        QTest::addColumn<QRect>("panel");      // run panel, in the background's coordinates
        QTest::addColumn<QList<QPoint>>("buttons"); // dec, add, set relative to the panel
        QTest::newRow("design size") << QSize(793, 546) << QList<int>{317, 249, 124, 62, 99, 50}
                                     << QRect(293, 350, 207, 124)
                                     << QList<QPoint>{{-90, 62}, {249, 62}, {386, 62}};
        QTest::newRow("full HD") << QSize(1920, 1080) << QList<int>{768, 516, 258, 129, 206, 103}
                                 << QRect(711, 750, 499, 258)
                                 << QList<QPoint>{{-218, 129}, {669, 129}, {934, 129}};
    }
    void layout_followsTheWindowSize()
    {
        QFETCH(QSize, window);
        QFETCH(QList<int>, sizes);
        QFETCH(QRect, panel);
        QFETCH(QList<QPoint>, buttons);
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, window);
        QCOMPARE(w.LayoutGauche->width(), sizes[0]);
        QCOMPARE(w.LayoutDroite->width(), sizes[0]);
        QCOMPARE(w.Rectangle1->height(), sizes[1]);
        QCOMPARE(w.Rectangle2->height(), sizes[1]);
        QCOMPARE(w.RectangleSerieLbl->height(), sizes[2]);
        for (QWidget *l : {static_cast<QWidget *>(w.Nom1Lbl), static_cast<QWidget *>(w.Moyenne2Lbl),
                           static_cast<QWidget *>(w.AutresStatsLbl), static_cast<QWidget *>(w.lblChronoPoint)}) {
            QCOMPARE(l->height(), sizes[3]);
            QCOMPARE(l->font().pixelSize(), sizes[5]);
        }
        QCOMPARE(w.Total1Lbl->font().pixelSize(), sizes[4]);
        QCOMPARE(w.ReprisesLbl->font().pixelSize(), sizes[4]);
        QCOMPARE(w.lblSerie->font().pixelSize(), qRound(sizes[4] * 0.8));
        QCOMPARE(w.RectangleSerieLbl->geometry(), panel);
        QCOMPARE(w.btnDec->pos() - w.RectangleSerieLbl->pos(), buttons[0]);
        QCOMPARE(w.btnAdd->pos() - w.RectangleSerieLbl->pos(), buttons[1]);
        QCOMPARE(w.btnSetSerie->pos() - w.RectangleSerieLbl->pos(), buttons[2]);
        // Nothing of the scoreboard falls off the window.
        const QRect fond = w.RectangleFondTab->rect();
        for (QWidget *c : {static_cast<QWidget *>(w.RectangleSerieLbl), static_cast<QWidget *>(w.btnDec),
                           static_cast<QWidget *>(w.btnSetSerie), static_cast<QWidget *>(w.ReprisesLbl)})
            QVERIFY2(fond.contains(QRect(c->mapTo(w.RectangleFondTab, QPoint(0, 0)), c->size())),
                     qPrintable(c->objectName()));
    }

    void runButtons_areClickableOutsideThePanel()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, QSize(793, 546));
        for (QToolButton *b : {w.btnDec, w.btnAdd, w.btnSetSerie}) {
            const QPoint centre = b->mapTo(&w, b->rect().center());
            QVERIFY(!w.RectangleSerieLbl->geometry().contains(b->geometry().center()) || b == w.btnAdd);
            QCOMPARE(w.childAt(centre), static_cast<QWidget *>(b));
        }
        QTest::mouseClick(w.btnAdd, Qt::LeftButton);
        QTest::mouseClick(w.btnAdd, Qt::LeftButton);
        QTest::mouseClick(w.btnDec, Qt::LeftButton);
        QCOMPARE(w.lblSerie->text(), QStringLiteral("1"));
        QTest::mouseClick(w.btnSetSerie, Qt::LeftButton);
        QCOMPARE(f.sheet(), QStringLiteral("(1,-)"));
    }

    void pages_utilitiesSelectsTheFirstRow_andBackDerivesTheTurn()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        f.play({3, 4, 5});
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        QCOMPARE(w.TabControl1->currentWidget(), w.TabUtils);
        QVERIFY(!w.btnAffichTabFeuille->isChecked());
        QCOMPARE(w.Feuille->recNo(), 1);
        QCOMPARE(w.StringGrid1->currentIndex().row(), 0);
        w.RadioPlus->setChecked(true);
        w.lblKeyTest->setTag(38);
        w.lblKeyTest->setText(QStringLiteral("38"));
        w.setJoueur1(true); // wrong on purpose: the page change derives it again
        QTest::mouseClick(w.btnAffichTabFeuille, Qt::LeftButton);
        QCOMPARE(w.TabControl1->currentWidget(), w.TabAffichage);
        QVERIFY(!w.Joueur1());
        QCOMPARE(w.Feuille->recNo(), 2);
        QVERIFY(!w.RadioPlus->isChecked());
        QCOMPARE(w.lblKeyTest->tag(), 0);
        QCOMPARE(w.lblKeyTest->text(), QStringLiteral("0"));
        // RadioChrono keeps its state across page changes.
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        w.RadioChrono->setChecked(true);
        QTest::mouseClick(w.btnAffichTabFeuille, Qt::LeftButton);
        QVERIFY(w.RadioChrono->isChecked());
    }

    void pages_clickingThePressedButtonChangesNothing()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        w.setJoueur1(false); // not what the sheet says: a page change would correct it
        QTest::mouseClick(w.btnAffichTabFeuille, Qt::LeftButton);
        QVERIFY(w.btnAffichTabFeuille->isChecked());
        QCOMPARE(w.TabControl1->currentWidget(), w.TabAffichage);
        QVERIFY(!w.Joueur1());
    }

    void grid_showsInningNumbers()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        f.play({9, 9, 0, 0, 4});
        QAbstractItemModel *m = w.StringGrid1->model();
        QCOMPARE(m->rowCount(), 3);
        for (int r = 0; r < 3; ++r)
            QCOMPARE(m->index(r, 0).data().toString(), QString::number(r + 1));
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Reprise"));
        QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Pts1"));
        QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Pts2"));
    }

    void grid_cellEdit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("message");
        QTest::newRow("a number") << "12" << "(3,12) (5,-)" << "";
        QTest::newRow("empty clears") << "" << "(3,-) (5,-)" << "";
        QTest::newRow("not an integer") << "1O" << "(3,4) (5,-)" << "'1O' n'est pas une valeur entière correcte";
    }
    void grid_cellEdit()
    {
        QFETCH(QString, text);
        QFETCH(QString, sheet);
        QFETCH(QString, message);
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, QSize(793, 546));
        f.play({3, 4, 5});
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        const int writes = w.backupWrites();
        const QModelIndex cell = w.StringGrid1->model()->index(0, 2);
        w.StringGrid1->setCurrentIndex(cell);
        w.StringGrid1->edit(cell);
        auto *editor = w.StringGrid1->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(text);
        QPointer<QLineEdit> open = editor;
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(open.isNull()); // the view commits and closes the editor from its event queue
        QCOMPARE(f.sheet(), sheet);
        QCOMPARE(f.savedSheet(), sheet);
        if (message.isEmpty()) {
            QCOMPARE(w.backupWrites(), writes + 1);
            QCOMPARE(w.Total2Lbl->text(), text.isEmpty() ? QString() : text);
            QCOMPARE(f.dialogs.count(), 0);
        } else {
            QCOMPARE(w.backupWrites(), writes);
            QCOMPARE(f.dialogs.count(), 1);
            QCOMPARE(f.dialogs.last()->text, message);
        }
    }

    void grid_editOpenAtClose_isPosted()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, QSize(793, 546));
        f.play({3, 4});
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        const QModelIndex cell = w.StringGrid1->model()->index(0, 1);
        w.StringGrid1->setCurrentIndex(cell);
        w.StringGrid1->edit(cell);
        auto *editor = w.StringGrid1->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("15"));
        w.close();
        QCOMPARE(f.savedSheet(), QStringLiteral("(15,4) (-,-)"));
        f.w.reset(); // and destroying the window afterwards neither crashes nor saves again
        QCOMPARE(f.savedSheet(), QStringLiteral("(15,4) (-,-)"));
    }

    void gridEditOpenAtDestruction_isDropped()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, QSize(793, 546));
        f.play({3, 4});
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        const QModelIndex cell = w.StringGrid1->model()->index(0, 2);
        w.StringGrid1->setCurrentIndex(cell);
        w.StringGrid1->edit(cell);
        auto *editor = w.StringGrid1->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("8"));
        f.w.reset();
        QCOMPARE(f.savedSheet(), QStringLiteral("(3,4) (-,-)"));
    }

    void clockButtons_setTheTimingMode()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        auto state = [&w] {
            return QStringLiteral("%1%2 on=%3 lap=%4 sums=%5")
                .arg(w.btnClock->isChecked() ? "C" : "-", w.btnClockSum->isChecked() ? "S" : "-")
                .arg(w.Serie->EnabledChrono())
                .arg(!w.lblChronoPoint->isHidden() && !w.LayoutImgChrono->isHidden())
                .arg(!w.Chrono1Lbl->isHidden() && !w.Chrono2Lbl->isHidden());
        };
        QCOMPARE(state(), QStringLiteral("-- on=0 lap=0 sums=0"));
        QTest::mouseClick(w.btnClock, Qt::LeftButton);
        QCOMPARE(state(), QStringLiteral("C- on=1 lap=1 sums=0"));
        QCOMPARE(w.lblChronoPoint->text(), QStringLiteral("00:00"));
        QTest::mouseClick(w.ImgPlayChrono, Qt::LeftButton); // running
        QVERIFY(!w.Serie->PausedChrono());
        QVERIFY(w.ImgPlayChrono->isHidden());
        QVERIFY(!w.imgPauseChrono->isHidden());
        QTest::mouseClick(w.btnClockSum, Qt::LeftButton);
        QCOMPARE(state(), QStringLiteral("-S on=1 lap=1 sums=1"));
        QVERIFY(w.Serie->PausedChrono()); // every switch restarts the lap, paused
        QVERIFY(!w.ImgPlayChrono->isHidden());
        QVERIFY(w.imgPauseChrono->isHidden());
        QTest::mouseClick(w.btnClockSum, Qt::LeftButton);
        QCOMPARE(state(), QStringLiteral("-- on=0 lap=0 sums=0"));
    }

    void timing_creditsTheRunToThePlayer()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        QTest::mouseClick(w.btnClockSum, Qt::LeftButton);
        f.key(Qt::Key_Asterisk, Qt::NoModifier, QStringLiteral("*")); // resume
        QVERIFY(!w.Serie->PausedChrono());
        f.clockMs += 12000;
        f.type(QStringLiteral("3"));
        f.clockMs += 8000;
        f.type(QStringLiteral("1"));
        f.clockMs += 11000;
        f.key(Qt::Key_Return);
        QCOMPARE(w.Chrono1(), 20000);
        QCOMPARE(w.Chrono1Lbl->text(), QStringLiteral("00:20"));
        f.clockMs += 9000;
        f.key(Qt::Key_Return); // no point: the lap is credited
        QCOMPARE(w.Chrono2(), 9000);
        f.key(Qt::Key_Asterisk, Qt::NoModifier, QStringLiteral("*"));
        QVERIFY(w.Serie->PausedChrono());
    }

    void lapLabel_asksBeforeRestarting()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        QTest::mouseClick(w.lblChronoPoint, Qt::LeftButton); // timing off: nothing
        QCOMPARE(f.dialogs.count(), 0);
        QTest::mouseClick(w.btnClock, Qt::LeftButton);
        f.key(Qt::Key_Asterisk, Qt::NoModifier, QStringLiteral("*"));
        f.clockMs += 5000;
        w.Serie->ShowChrono();
        QCOMPARE(w.lblChronoPoint->text(), QStringLiteral("00:05"));
        f.dialogs.answers = {DlgButton::Cancel, DlgButton::Ok};
        QTest::mouseClick(w.lblChronoPoint, Qt::LeftButton);
        QCOMPARE(f.dialogs.last()->kind, DlgKind::Confirmation);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("Remettre à zéro le chrono en cours"));
        QCOMPARE(w.lblChronoPoint->text(), QStringLiteral("00:05"));
        QTest::mouseClick(w.lblChronoPoint, Qt::LeftButton);
        QCOMPARE(w.lblChronoPoint->text(), QStringLiteral("00:00"));
        QVERIFY(!w.Serie->PausedChrono());
    }

    void durationDialog_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QStringList>("proposed");
        QTest::addColumn<QStringList>("entered");
        QTest::addColumn<qint64>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("unchanged drops the milliseconds")
            << qint64(3725400) << QStringList{"62", "5"} << QStringList{"62", "5"} << qint64(3725000) << "";
        QTest::newRow("seconds past 59") << qint64(0) << QStringList{"0", "0"} << QStringList{"0", "90"} << qint64(90000) << "";
        QTest::newRow("negative") << qint64(0) << QStringList{"0", "0"} << QStringList{"-1", "-5"} << qint64(-65000) << "";
        QTest::newRow("beyond 32 bits")
            << qint64(0) << QStringList{"0", "0"} << QStringList{"40000", "0"} << qint64(2400000000) << "";
        QTest::newRow("empty field") << qint64(61000) << QStringList{"1", "1"} << QStringList{"", "3"} << qint64(61000)
                                     << "'' n'est pas une valeur entière correcte";
    }
    void durationDialog()
    {
        QFETCH(qint64, start);
        QFETCH(QStringList, proposed);
        QFETCH(QStringList, entered);
        QFETCH(qint64, result);
        QFETCH(QString, message);
        WindowFixture f;
        TMainFrm &w = f.start();
        w.setChrono2(start);
        QTest::mouseClick(w.Chrono2Lbl, Qt::LeftButton); // timing off: nothing
        QCOMPARE(f.dialogs.count(), 0);
        QTest::mouseClick(w.btnClockSum, Qt::LeftButton);
        f.dialogs.inputAnswers = {{true, entered}};
        QTest::mouseClick(w.Chrono2Lbl, Qt::LeftButton);
        const auto &shown = f.dialogs.shown.front();
        QCOMPARE(shown.text, QStringLiteral("Modifier la durée"));
        QCOMPARE(shown.prompts, (QStringList{QStringLiteral("minutes"), QStringLiteral("secondes")}));
        QCOMPARE(shown.values, proposed);
        QCOMPARE(w.Chrono2(), result);
        QCOMPARE(w.Chrono2Lbl->text(), TSerie::msToStrMs(result));
        QCOMPARE(w.Chrono1(), 0);
        QCOMPARE(f.dialogs.count(), message.isEmpty() ? 1 : 2);
        if (!message.isEmpty())
            QCOMPARE(f.dialogs.last()->text, message);
    }
};

QTEST_MAIN(tst_window_ui)
#include "tst_window_ui.moc"
