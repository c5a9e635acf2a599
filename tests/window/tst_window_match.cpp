// The match on the real window: the points still needed and the refused run, the end and
// its banner, the refused validation and the undo that reopens, the shot clock on a fake
// clock with its sounds and extensions, the "Match :" section and the files it writes.
#include "IniFile.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>

namespace {

struct MatchFixture : WindowFixture {
    QStringList sounds;

    void writeIni(const QByteArray &text)
    {
        QFile f(path(QStringLiteral("FeuilleMatch.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    TMainFrm &startMatch(const QByteArray &matchSection)
    {
        if (!matchSection.isEmpty())
            writeIni("[MATCH]\r\n" + matchSection);
        TMainFrmEnv e = env();
        e.playSound = [this](const QString &s) { sounds << s; };
        w = std::make_unique<TMainFrm>(e);
        w->setLocaleForTexts(QLocale::c());
        w->resize(1280, 800);
        return *w;
    }
    QLabel *lbl(const char *name) const { return w->findChild<QLabel *>(QLatin1String(name)); }
    TLabel *tlbl(const char *name) const { return w->findChild<TLabel *>(QLatin1String(name)); }
    bool shown(const char *name) const
    {
        QLabel *l = lbl(name);
        return l && !l->isHidden();
    }
    QString iniText() const
    {
        QFile f(path(QStringLiteral("FeuilleMatch.ini")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    void timingOnRunning()
    {
        w->btnClock->click();
        type(QStringLiteral("*")); // the pause key resumes the lap
        QVERIFY(!w->Serie->PausedChrono());
    }
};

} // namespace

class TstWindowMatch : public QObject {
    Q_OBJECT
private slots:
    void noMatchSettings_nothingShownAndIniWithoutMatch();
    void remainingPoints_shownPerPlayer();
    void runPastDistance_refusedWithCue();
    void end_showsBanner_data();
    void end_showsBanner();
    void equalizingInning_showsNotice();
    void validationAfterEnd_refused();
    void undoAfterEnd_reopens_andSameRunEndsAgain();
    void newMatch_hidesBanner();
    void shotClock_countsDownWarnsAndExpires();
    void shotClock_restartsOnPointAndPauses();
    void extension_oncePerShot_survivesRestart();
    void matchSection_changesAppliedAndSaved();
    void prolongationKey_learned();
    void print_writesMatchFileBesideSheet();
};

void TstWindowMatch::noMatchSettings_nothingShownAndIniWithoutMatch()
{
    MatchFixture f;
    f.startMatch({});
    f.play({7, 5, 40});
    for (const char *n : {"lblReste1", "lblReste2", "lblMatchResult", "lblShotClock", "lblEgalisation"})
        QVERIFY2(!f.shown(n), n);
    QCOMPARE(int(f.w->matchState().phase), int(MatchPhase::Off));
    f.key(Qt::Key_F4); // nothing to extend
    f.w.reset();
    const QString ini = f.iniText();
    QVERIFY(ini.contains(QLatin1String("[REMOTE]")));
    QVERIFY(!ini.contains(QLatin1String("MATCH")));
    QVERIFY(!ini.contains(QLatin1String("KeyProlongation")));
}

void TstWindowMatch::remainingPoints_shownPerPlayer()
{
    MatchFixture f;
    f.startMatch("Distance1=20\r\nDistance2=0\r\n");
    f.play({7});
    QVERIFY(f.shown("lblReste1"));
    QCOMPARE(f.lbl("lblReste1")->text(), QStringLiteral("reste 13"));
    QCOMPARE(f.tlbl("lblReste1")->fontColor(), f.w->color1); // the panel of the player not to play
    QVERIFY(!f.shown("lblReste2")); // no distance for player 2
}

void TstWindowMatch::runPastDistance_refusedWithCue()
{
    MatchFixture f;
    f.startMatch("Distance1=5\r\nDistance2=5\r\n");
    f.type(QStringLiteral("6"));
    QCOMPARE(f.w->Serie->Points(), 0);
    QVERIFY(f.w->RectangleSerieLbl->fill() != f.w->color1); // the cue
    f.type(QStringLiteral("4+"));
    QCOMPARE(f.w->Serie->Points(), 5);
    f.type(QStringLiteral("+"));
    QCOMPARE(f.w->Serie->Points(), 5);
    f.type(QStringLiteral("0")); // 50
    QCOMPARE(f.w->Serie->Points(), 5);
}

void TstWindowMatch::end_showsBanner_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<std::vector<int>>("runs");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("points");
    QTest::newRow("handicap: player 2 makes the shorter distance")
        << QByteArray("Distance1=10\r\nDistance2=4\r\n") << std::vector<int>{3, 4} << "Victoire de Ana" << "0 – 2";
    QTest::newRow("equalizing run short: player 1 wins")
        << QByteArray("Distance1=5\r\nDistance2=5\r\n") << std::vector<int>{5, 2} << "Victoire de Zoé" << "2 – 0";
    QTest::newRow("equalizing run reaches: draw")
        << QByteArray("Distance1=5\r\nDistance2=5\r\n") << std::vector<int>{5, 5} << "Match nul" << "1 – 1";
    QTest::newRow("no equalizing: ends on player 1's run")
        << QByteArray("Distance1=5\r\nDistance2=5\r\nEgalisation=0\r\n") << std::vector<int>{5} << "Victoire de Zoé" << "2 – 0";
    QTest::newRow("limit: higher share wins")
        << QByteArray("Distance1=20\r\nDistance2=10\r\nLimiteReprises=1\r\n") << std::vector<int>{9, 5} << "Victoire de Ana" << "0 – 2";
}

void TstWindowMatch::end_showsBanner()
{
    QFETCH(QByteArray, settings);
    QFETCH(std::vector<int>, runs);
    QFETCH(QString, title);
    QFETCH(QString, points);
    MatchFixture f;
    f.writeIni("[JOUEURS]\r\njoueur1=Zo\xe9\r\njoueur2=Ana\r\n[MATCH]\r\n" + settings);
    f.startMatch({});
    f.play(runs);
    QVERIFY(f.w->matchState().finished());
    QVERIFY(f.shown("lblMatchResult"));
    QString text = f.lbl("lblMatchResult")->text();
    text.replace(QLatin1String("<br>"), QLatin1String(" ")).remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    QVERIFY2(text.contains(title), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Points de match : ") + points), qPrintable(text));
    QVERIFY(text.contains(QLatin1String("Moyennes : ")));
}

void TstWindowMatch::equalizingInning_showsNotice()
{
    MatchFixture f;
    f.startMatch("Distance1=5\r\nDistance2=5\r\n");
    f.play({3, 1});
    QVERIFY(!f.shown("lblEgalisation"));
    f.play({2});
    QVERIFY(f.shown("lblEgalisation"));
    QCOMPARE(f.lbl("lblEgalisation")->text(), QStringLiteral("Reprise d'égalisation"));
    QCOMPARE(f.lbl("lblReste2")->text(), QStringLiteral("reste 4"));
    f.play({1});
    QVERIFY(!f.shown("lblEgalisation"));
    QVERIFY(f.shown("lblMatchResult"));
}

void TstWindowMatch::validationAfterEnd_refused()
{
    MatchFixture f;
    f.startMatch("Distance1=5\r\nDistance2=3\r\n");
    f.play({2, 3});
    const QString sheet = f.sheet();
    QCOMPARE(sheet, QStringLiteral("(2,3) (-,-)")); // the shape the sheet always has
    const int writes = f.w->backupWrites();
    f.key(Qt::Key_Return);
    f.w->btnSetSerie->click();
    f.type(QStringLiteral("1+"));
    QCOMPARE(f.w->Serie->Points(), 0);
    f.key(Qt::Key_Up); // the remote's OK key
    QCOMPARE(f.sheet(), sheet);
    QCOMPARE(f.w->backupWrites(), writes);
    QVERIFY(f.shown("lblMatchNotice"));
    QCOMPARE(f.lbl("lblMatchNotice")->text(), QStringLiteral("Match terminé"));
    QVERIFY(f.shown("lblMatchResult"));
}

void TstWindowMatch::undoAfterEnd_reopens_andSameRunEndsAgain()
{
    MatchFixture f;
    f.startMatch("Distance1=5\r\nDistance2=3\r\n");
    f.play({2, 3});
    f.type(QStringLiteral("\b"));
    QCOMPARE(f.sheet(), QStringLiteral("(2,-)"));
    QVERIFY(!f.shown("lblMatchResult"));
    QCOMPARE(int(f.w->matchState().phase), int(MatchPhase::InPlay));
    f.play({3});
    QVERIFY(f.shown("lblMatchResult"));
    QCOMPARE(f.savedSheet(), QStringLiteral("(2,3) (-,-)"));
    // A restart finds the match over from the backup alone.
    f.w.reset();
    f.startMatch({});
    QVERIFY(f.w->matchState().finished());
    QVERIFY(f.shown("lblMatchResult"));
}

void TstWindowMatch::newMatch_hidesBanner()
{
    MatchFixture f;
    f.startMatch("Distance1=5\r\nDistance2=3\r\n");
    f.play({2, 3});
    f.dialogs.answers = {DlgButton::Yes};
    f.key(Qt::Key_F2);
    QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
    QVERIFY(!f.shown("lblMatchResult"));
    QCOMPARE(f.lbl("lblReste1")->text(), QStringLiteral("reste 5"));
    f.play({4});
    QCOMPARE(f.sheet(), QStringLiteral("(4,-)"));
}

void TstWindowMatch::shotClock_countsDownWarnsAndExpires()
{
    MatchFixture f;
    f.startMatch("Discipline=3 bandes\r\nTempsCoup=30\r\nAlerteCoup=10\r\nProlongations=3\r\n");
    QVERIFY(!f.shown("lblShotClock")); // run timing is off
    f.timingOnRunning();
    QVERIFY(f.shown("lblShotClock"));
    TLabel *shot = f.tlbl("lblShotClock");
    QCOMPARE(shot->text(), QStringLiteral("30"));
    const QRgb normal = shot->fontColor();
    f.clockMs += 19500;
    f.w->ShotClockTick();
    QCOMPARE(shot->text(), QStringLiteral("11"));
    QVERIFY(f.sounds.isEmpty());
    f.clockMs += 600;
    f.w->ShotClockTick();
    QCOMPARE(shot->text(), QStringLiteral("10"));
    QVERIFY(shot->fontColor() != normal);
    QCOMPARE(f.sounds, QStringList{QStringLiteral("warning")});
    f.w->ShotClockTick();
    QCOMPARE(f.sounds.size(), 1); // once
    f.clockMs += 15000;
    f.w->ShotClockTick();
    f.w->ShotClockTick();
    QCOMPARE(shot->text(), QStringLiteral("0"));
    QCOMPARE(f.sounds, (QStringList{QStringLiteral("warning"), QStringLiteral("expired")}));
    QCOMPARE(f.sheet(), QStringLiteral("(-,-)")); // the inning is never ended by the clock
    QVERIFY(f.w->Joueur1());
    QVERIFY(f.w->matchView().shotExpired);
    f.key(Qt::Key_Return); // the validation is the next shot
    QCOMPARE(shot->text(), QStringLiteral("30"));
    QCOMPARE(shot->fontColor(), normal);
}

void TstWindowMatch::shotClock_restartsOnPointAndPauses()
{
    MatchFixture f;
    f.startMatch("TempsCoup=20\r\nSon=0\r\n");
    f.timingOnRunning();
    TLabel *shot = f.tlbl("lblShotClock");
    f.clockMs += 12000;
    f.w->ShotClockTick();
    QCOMPARE(shot->text(), QStringLiteral("8"));
    f.type(QStringLiteral("+"));
    QCOMPARE(shot->text(), QStringLiteral("20"));
    f.clockMs += 5000;
    f.type(QStringLiteral("*")); // pause
    f.clockMs += 60000;
    f.w->ShotClockTick();
    QCOMPARE(shot->text(), QStringLiteral("15"));
    f.type(QStringLiteral("*"));
    f.clockMs += 16000;
    f.w->ShotClockTick();
    QCOMPARE(shot->text(), QStringLiteral("0"));
    QVERIFY(f.sounds.isEmpty()); // sounds switched off
}

void TstWindowMatch::extension_oncePerShot_survivesRestart()
{
    MatchFixture f;
    f.startMatch("TempsCoup=30\r\nProlongations=2\r\n");
    f.timingOnRunning();
    QVERIFY(f.shown("lblProlongations1"));
    QCOMPARE(f.lbl("lblProlongations1")->text(), QStringLiteral("prolongations : 2"));
    f.clockMs += 25000;
    f.key(Qt::Key_F4);
    f.w->ShotClockTick();
    QCOMPARE(f.lbl("lblShotClock")->text(), QStringLiteral("35"));
    QCOMPARE(f.lbl("lblProlongations1")->text(), QStringLiteral("prolongations : 1"));
    f.key(Qt::Key_F4); // once per shot
    QCOMPARE(f.lbl("lblProlongations1")->text(), QStringLiteral("prolongations : 1"));
    QCOMPARE(f.lbl("lblMatchNotice")->text(), QStringLiteral("Prolongation déjà accordée"));
    QVERIFY(f.iniText().contains(QLatin1String("ProlongationsUtilisees1=1")));
    f.play({4});          // player 2's turn: their own extensions
    f.key(Qt::Key_F4);
    QCOMPARE(f.lbl("lblProlongations2")->text(), QStringLiteral("prolongations : 1"));
    f.play({0});
    f.key(Qt::Key_F4);    // player 1's second and last
    QCOMPARE(f.lbl("lblProlongations1")->text(), QStringLiteral("prolongations : 0"));
    f.play({0, 0});
    f.key(Qt::Key_F4);
    QCOMPARE(f.lbl("lblMatchNotice")->text(), QStringLiteral("Plus de prolongation"));
    QCOMPARE(f.w->matchView().extensionsLeft[0], 0);
    // A crash loses nothing: the settings file was written at each extension. What the
    // disk holds now is put back after the shut-down, which would write it again.
    const QString ini = f.iniText();
    f.w.reset();
    f.writeIni(ini.toLatin1());
    f.startMatch({});
    QCOMPARE(f.w->matchView().extensionsLeft[0], 0);
    QCOMPARE(f.w->matchView().extensionsLeft[1], 1);
    f.dialogs.answers = {DlgButton::Yes};
    f.key(Qt::Key_F2);
    QCOMPARE(f.w->matchView().extensionsLeft[0], 2);
    QVERIFY(f.iniText().contains(QLatin1String("ProlongationsUtilisees1=0")));
}

void TstWindowMatch::matchSection_changesAppliedAndSaved()
{
    MatchFixture f;
    f.startMatch({});
    auto *layout = f.w->findChild<QWidget *>(QStringLiteral("LayoutMatch"));
    QVERIFY(layout);
    auto *combo = f.w->findChild<QComboBox *>(QStringLiteral("ComboDiscipline"));
    auto *d1 = f.w->findChild<QSpinBox *>(QStringLiteral("EditDistance1"));
    auto *temps = f.w->findChild<QSpinBox *>(QStringLiteral("EditTempsCoup"));
    auto *prolong = f.w->findChild<QSpinBox *>(QStringLiteral("EditProlongations"));
    QVERIFY(combo && d1 && temps && prolong);
    QCOMPARE(combo->currentText(), QStringLiteral("Libre"));
    emit combo->activated(combo->findText(QStringLiteral("3 bandes")));
    QCOMPARE(temps->value(), 30);
    QCOMPARE(prolong->value(), 3);
    d1->setValue(15);
    QCOMPARE(combo->currentText(), QStringLiteral("3 bandes")); // a distance is no preset field
    QCOMPARE(f.w->matchSettings().distance[0], 15);
    QCOMPARE(f.lbl("lblReste1")->text(), QStringLiteral("reste 15"));
    QVERIFY(f.iniText().contains(QLatin1String("Distance1=15")));
    temps->setValue(40);
    QCOMPARE(combo->currentText(), QStringLiteral("Personnalisé"));
    const QString ini = f.iniText();
    QVERIFY(ini.contains(QLatin1String("TempsCoup=40")));
    QVERIFY(ini.contains(QLatin1String("KeyProlongation=115")));
    f.w.reset();
    f.startMatch({});
    QCOMPARE(f.w->matchSettings().tempsCoup, 40);
    QCOMPARE(f.w->findChild<QComboBox *>(QStringLiteral("ComboDiscipline"))->currentText(), QStringLiteral("Personnalisé"));
}

void TstWindowMatch::prolongationKey_learned()
{
    MatchFixture f;
    f.startMatch("TempsCoup=30\r\nProlongations=1\r\n");
    f.w->btnAffichTabTools->click();
    QVERIFY(f.w->RadioProlongation);
    f.w->RadioProlongation->setChecked(true);
    f.w->RadioProlongation->setFocus();
    quint16 k = 34;
    QChar c;
    f.w->RadioPlusKeyDown(f.w->RadioProlongation, k, c);
    f.w->btnAffecteRemote->click();
    QCOMPARE(f.w->KeyProlongation(), quint16(34));
    QCOMPARE(f.w->RadioProlongation->text(), QStringLiteral("Prolongation (34)"));
    QVERIFY(f.iniText().contains(QLatin1String("KeyProlongation=34")));
    f.w->btnAffichTabFeuille->click();
    f.timingOnRunning();
    f.key(Qt::Key_PageDown); // VK 34
    QCOMPARE(f.w->matchView().extensionsLeft[0], 0);
}

void TstWindowMatch::print_writesMatchFileBesideSheet()
{
    MatchFixture f;
    f.startMatch("Discipline=Bande\r\nDistance1=5\r\nDistance2=3\r\n");
    f.play({2, 1, 1, 2});
    f.w->btnPrint->click();
    const IniFile ini(f.path(QStringLiteral("tmp.ini")));
    const QString m = QStringLiteral("MATCH");
    QCOMPARE(ini.readString(m, QStringLiteral("Discipline"), {}), QStringLiteral("Bande"));
    QCOMPARE(ini.readInteger(m, QStringLiteral("Distance2"), 0), 3);
    QCOMPARE(ini.readString(m, QStringLiteral("Resultat"), {}), QStringLiteral("Victoire de Joueur 2"));
    QCOMPARE(ini.readInteger(m, QStringLiteral("PointsMatch2"), 0), 2);
    QCOMPARE(ini.readString(m, QStringLiteral("MeilleuresSeries1"), {}), QStringLiteral("2 1"));
    QVERIFY(QFile::exists(f.path(QStringLiteral("tmp.txt"))));
    // Rules switched off: no stale rules reach the print program.
    MatchSettings none;
    f.w->setMatchSettings(none);
    f.w->btnPrint->click();
    QVERIFY(!QFile::exists(f.path(QStringLiteral("tmp.ini"))));
}

QTEST_MAIN(TstWindowMatch)
#include "tst_window_match.moc"
