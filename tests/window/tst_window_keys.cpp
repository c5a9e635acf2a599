// The keyboard and the remote control, through real key events sent to the window.
#include "WindowFixture.h"

#include <QRadioButton>
#include <QVariantAnimation>

namespace {
// A key event as the platform sends it.
struct K {
    QEvent::Type type;
    Qt::Key key;
    QString text;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
    bool autoRepeat = false;
};
K down(Qt::Key k, const QString &t = {}, Qt::KeyboardModifiers m = Qt::NoModifier) { return {QEvent::KeyPress, k, t, m}; }
K up(Qt::Key k, const QString &t = {}, Qt::KeyboardModifiers m = Qt::NoModifier) { return {QEvent::KeyRelease, k, t, m}; }
K repeatDown(Qt::Key k, const QString &t = {}) { return {QEvent::KeyPress, k, t, Qt::NoModifier, true}; }
K repeatUp(Qt::Key k, const QString &t = {}) { return {QEvent::KeyRelease, k, t, Qt::NoModifier, true}; }
QList<K> click(Qt::Key k, const QString &t = {}, Qt::KeyboardModifiers m = Qt::NoModifier) { return {down(k, t, m), up(k, t, m)}; }
}
Q_DECLARE_METATYPE(QList<K>)

class tst_window_keys : public QObject {
    Q_OBJECT

    static void send(WindowFixture &f, const QList<K> &events)
    {
        for (const K &e : events) {
            QKeyEvent ev(e.type, e.key, e.mods, e.text, e.autoRepeat);
            QApplication::sendEvent(f.w.get(), &ev);
        }
    }

private slots:
    void keys_data()
    {
        QTest::addColumn<QList<K>>("events");
        QTest::addColumn<QString>("run");   // the run label afterwards
        QTest::addColumn<QString>("sheet");
        const Qt::KeyboardModifiers kp = Qt::KeypadModifier;
        QTest::newRow("digits") << (click(Qt::Key_1, "1") + click(Qt::Key_2, "2")) << "12" << "(-,-)";
        QTest::newRow("keypad digits and keypad Enter")
            << (click(Qt::Key_4, "4", kp) + click(Qt::Key_2, "2", kp) + click(Qt::Key_Enter, "\r", kp)) << "--" << "(42,-)";
        QTest::newRow("plus, plus, minus") << (click(Qt::Key_Plus, "+") + click(Qt::Key_Plus, "+") + click(Qt::Key_Minus, "-"))
                                           << "1" << "(-,-)";
        QTest::newRow("keypad plus") << click(Qt::Key_Plus, "+", kp) << "1" << "(-,-)";
        QTest::newRow("minus at zero") << click(Qt::Key_Minus, "-") << "--" << "(-,-)";
        QTest::newRow("Enter validates") << (click(Qt::Key_5, "5") + click(Qt::Key_Return, "\r")) << "--" << "(5,-)";
        QTest::newRow("Backspace on 57 leaves 5")
            << (click(Qt::Key_5, "5") + click(Qt::Key_7, "7") + click(Qt::Key_Backspace, "\b")) << "5" << "(-,-)";
        QTest::newRow("Backspace on 5 leaves nothing")
            << (click(Qt::Key_5, "5") + click(Qt::Key_Backspace, "\b")) << "--" << "(-,-)";
        QTest::newRow("Backspace at 0 takes back the last entry")
            << (click(Qt::Key_5, "5") + click(Qt::Key_Return, "\r") + click(Qt::Key_Backspace, "\b")) << "--" << "(-,-)";
        QTest::newRow("a held key acts once")
            << QList<K>{down(Qt::Key_1, "1"), repeatUp(Qt::Key_1, "1"), repeatDown(Qt::Key_1, "1"),
                        repeatUp(Qt::Key_1, "1"), repeatDown(Qt::Key_1, "1"), up(Qt::Key_1, "1")}
            << "1" << "(-,-)";
        QTest::newRow("a held key acts once, no auto-repeat release")
            << QList<K>{down(Qt::Key_1, "1"), repeatDown(Qt::Key_1, "1"), repeatDown(Qt::Key_1, "1"), up(Qt::Key_1, "1"),
                        down(Qt::Key_1, "1"), up(Qt::Key_1, "1")}
            << "11" << "(-,-)";
        QTest::newRow("a second key while the first is held")
            << QList<K>{down(Qt::Key_1, "1"), down(Qt::Key_2, "2"), up(Qt::Key_2, "2"), up(Qt::Key_1, "1")} << "1"
            << "(-,-)";
        QTest::newRow("Shift then + on the main keys")
            << QList<K>{down(Qt::Key_Shift), down(Qt::Key_Plus, "+", Qt::ShiftModifier), up(Qt::Key_Plus, "+", Qt::ShiftModifier),
                        down(Qt::Key_3, "3", Qt::ShiftModifier), up(Qt::Key_3, "3", Qt::ShiftModifier), up(Qt::Key_Shift)}
            << "13" << "(-,-)";
        QTest::newRow("Shift released while a digit is held")
            << QList<K>{down(Qt::Key_4, "4"), down(Qt::Key_Shift), up(Qt::Key_Shift), repeatDown(Qt::Key_4, "4"),
                        up(Qt::Key_4, "4")}
            << "4" << "(-,-)";
        QTest::newRow("Ctrl+digit is no digit") << click(Qt::Key_3, "3", Qt::ControlModifier) << "--" << "(-,-)";
        QTest::newRow("other characters do nothing") << click(Qt::Key_A, "a") << "--" << "(-,-)";
        QTest::newRow("default plus key, left arrow") << click(Qt::Key_Left) << "1" << "(-,-)";
        QTest::newRow("default minus key, right arrow") << (click(Qt::Key_Left) + click(Qt::Key_Left) + click(Qt::Key_Right))
                                                        << "1" << "(-,-)";
    }
    void keys()
    {
        QFETCH(QList<K>, events);
        QFETCH(QString, run);
        QFETCH(QString, sheet);
        WindowFixture f;
        f.start();
        send(f, events);
        QCOMPARE(f.w->lblSerie->text(), run);
        QCOMPARE(f.sheet(), sheet);
        QVERIFY(!f.w->IsKeyDown);
    }

    void f2_asks_f3_swaps()
    {
        WindowFixture f;
        f.start();
        f.key(Qt::Key_F2);
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("Effacer les données actuelles ?"));
        f.key(Qt::Key_F3);
        QCOMPARE(f.w->Nom1Lbl->text(), QStringLiteral("Joueur 2"));
    }

    void utilitiesPage_ignoresKeys()
    {
        WindowFixture f;
        f.start();
        QTest::mouseClick(f.w->btnAffichTabTools, Qt::LeftButton);
        f.type(QStringLiteral("7\n"));
        f.key(Qt::Key_F2);
        QCOMPARE(f.dialogs.count(), 0);
        QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
        QCOMPARE(f.w->lblSerie->text(), QStringLiteral("--"));
        QVERIFY(!f.w->IsKeyDown);
    }

    // A key held for about a second as an X server without detectable auto-repeat sends
    // it: the press, then every 33 ms a release and a press with the same timestamp, which
    // Qt's xcb plugin marks as a repeat only now and then; then the real release. Times
    // are X server milliseconds; the OK key's time of day follows them.
    static QList<QKeyEvent *> heldAsX11(Qt::Key key, const QString &text, quint32 scanCode, quint64 start,
                                         Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QList<QKeyEvent *> events;
        auto make = [&](QEvent::Type type, quint64 time, bool marked) {
            auto *e = new QKeyEvent(type, key, mods, scanCode, 0, 0, text, marked);
            e->setTimestamp(time);
            events << e;
        };
        make(QEvent::KeyPress, start, false);
        quint64 t = start + 660;
        for (int i = 0; i < 12; ++i, t += 33) {
            const bool marked = i % 5 == 4; // one pair in five comes marked
            make(QEvent::KeyRelease, t, marked);
            make(QEvent::KeyPress, t, marked);
        }
        make(QEvent::KeyRelease, t + 10, false);
        return events;
    }

    void heldKey_x11Pairs_data()
    {
        QTest::addColumn<QString>("before"); // typed first, one press and release per key
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("scanCode");
        QTest::addColumn<int>("holds");      // held this many times, one after the other
        QTest::addColumn<QString>("run");
        QTest::addColumn<QString>("sheet");
        QTest::newRow("digit 5 held: 5") << "" << Qt::Key_5 << "5" << 14 << 1 << "5" << "(-,-)";
        QTest::newRow("digit 5 held twice: 55") << "" << Qt::Key_5 << "5" << 14 << 2 << "55" << "(-,-)";
        QTest::newRow("+ held: one point") << "" << Qt::Key_Plus << "+" << 21 << 1 << "1" << "(-,-)";
        QTest::newRow("Enter held: one validation") << "7" << Qt::Key_Return << "\r" << 36 << 1 << "--"
                                                    << "(7,-)";
        QTest::newRow("OK key held: one validation") << "7" << Qt::Key_Up << "" << 111 << 1 << "--" << "(7,-)";
        QTest::newRow("Backspace held on 57: one digit") << "57" << Qt::Key_Backspace << "\b" << 22 << 1 << "5"
                                                         << "(-,-)";
        QTest::newRow("Backspace held at 0: one entry back")
            << "5\n3\n" << Qt::Key_Backspace << "\b" << 22 << 1 << "--" << "(5,-)";
    }
    void heldKey_x11Pairs()
    {
        QFETCH(QString, before);
        QFETCH(Qt::Key, key);
        QFETCH(QString, text);
        QFETCH(int, scanCode);
        QFETCH(int, holds);
        WindowFixture f;
        f.start();
        f.type(before);
        for (int h = 0; h < holds; ++h) {
            const QList<QKeyEvent *> events = heldAsX11(key, text, quint32(scanCode), 100000 + 5000 * h);
            for (QKeyEvent *e : events) {
                f.timeOfDay = double(e->timestamp()) / 86400000.0;
                QApplication::sendEvent(f.w.get(), e);
            }
            qDeleteAll(events);
        }
        QTEST(f.w->lblSerie->text(), "run");
        QTEST(f.sheet(), "sheet");
        QVERIFY(!f.w->IsKeyDown);
    }

    // Timestamps pair a release only with a press of the same key.
    void sameTimestamp_otherKey_acts()
    {
        WindowFixture f;
        f.start();
        auto send = [&](QEvent::Type type, Qt::Key k, const QString &t, quint32 sc, quint64 time) {
            QKeyEvent e(type, k, Qt::NoModifier, sc, 0, 0, t);
            e.setTimestamp(time);
            QApplication::sendEvent(f.w.get(), &e);
        };
        send(QEvent::KeyPress, Qt::Key_5, "5", 14, 1000);
        send(QEvent::KeyRelease, Qt::Key_5, "5", 14, 1200);
        send(QEvent::KeyPress, Qt::Key_6, "6", 15, 1200);
        send(QEvent::KeyRelease, Qt::Key_6, "6", 15, 1300);
        send(QEvent::KeyPress, Qt::Key_6, "6", 15, 1301);
        send(QEvent::KeyRelease, Qt::Key_6, "6", 15, 1400);
        QCOMPARE(f.w->lblSerie->text(), QStringLiteral("566"));
    }

    // A question that closes on the press of Enter leaves Enter held: what it then repeats
    // on the scoreboard does nothing, and the next key after its release acts.
    void keyPressedInAnotherWindow_isHeldHere()
    {
        WindowFixture f;
        f.start();
        f.type(QStringLiteral("7"));
        QWidget question;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 36, 0, 0, QStringLiteral("\r"));
        press.setTimestamp(2000);
        QApplication::sendEvent(&question, &press);
        for (quint64 t = 2500; t < 3000; t += 33) { // repeats, with no release between them
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 36, 0, 0, QStringLiteral("\r"));
            repeat.setTimestamp(t);
            QApplication::sendEvent(f.w.get(), &repeat);
        }
        QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
        QCOMPARE(f.w->lblSerie->text(), QStringLiteral("7"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, 36, 0, 0, QStringLiteral("\r"));
        release.setTimestamp(3010);
        QApplication::sendEvent(f.w.get(), &release);
        f.key(Qt::Key_Return);
        QCOMPARE(f.sheet(), QStringLiteral("(7,-)"));
    }

    void okKey_interval_data()
    {
        QTest::addColumn<QList<double>>("times"); // seconds of the day of each OK press
        QTest::addColumn<int>("validations");
        QTest::newRow("first press after start-up") << QList<double>{43200} << 1;
        QTest::newRow("0.3 s apart: the second is refused") << QList<double>{43200, 43200.3} << 1;
        QTest::newRow("refused presses restart the interval") << QList<double>{43200, 43200.3, 43200.6} << 1;
        QTest::newRow("0.6 s apart: both") << QList<double>{43200, 43200.6} << 2;
        QTest::newRow("just after midnight is refused, then accepted")
            << QList<double>{86399.9, 0.1, 0.7} << 2;
    }
    void okKey_interval()
    {
        QFETCH(QList<double>, times);
        QFETCH(int, validations);
        WindowFixture f;
        f.start();
        for (double s : times) {
            f.timeOfDay = s / 86400.0;
            f.key(Qt::Key_Up); // the default OK code, 38
        }
        // Each validation writes one entry: count the entries of the sheet.
        int entries = 0;
        for (const InningRow &r : f.w->Feuille->rows())
            entries += (r.pts[0] ? 1 : 0) + (r.pts[1] ? 1 : 0);
        QCOMPARE(entries, validations);
    }

    void sharedCodes_data()
    {
        QTest::addColumn<int>("keyOK");
        QTest::addColumn<int>("keyPlus");
        QTest::addColumn<Qt::Key>("pressed");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("run");
        QTest::newRow("OK on Enter validates every press") << 13 << 37 << Qt::Key_Return << "(0,0) (0,-)" << "--";
        QTest::newRow("plus on Backspace adds points") << 38 << 8 << Qt::Key_Backspace << "(-,-)" << "3";
        QTest::newRow("OK and plus on one key: OK wins") << 34 << 34 << Qt::Key_PageDown << "(0,-)" << "--";
    }
    void sharedCodes()
    {
        QFETCH(int, keyOK);
        QFETCH(int, keyPlus);
        QFETCH(Qt::Key, pressed);
        QFETCH(QString, sheet);
        QFETCH(QString, run);
        WindowFixture f;
        f.start();
        f.w->setKeyOK(quint16(keyOK));
        f.w->setKeyPlus(quint16(keyPlus));
        for (int i = 0; i < 3; ++i)
            f.key(pressed); // all at the same time of day
        QCOMPARE(f.sheet(), sheet);
        QCOMPARE(f.w->lblSerie->text(), run);
    }

    void remote_captureAndAssign()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        w.RadioOK->setChecked(true);
        QTest::keyClick(w.RadioOK, Qt::Key_Up);
        QCOMPARE(w.lblKeyTest->text(), QStringLiteral("38"));
        QCOMPARE(w.lblKeyTest->tag(), 38);
        QCOMPARE(w.ColorAnimation1->state(), QAbstractAnimation::Running);
        QTRY_COMPARE(w.RectTestRemote->fill(), 0xFFF5DEB3u);
        w.ColorAnimation1->stop();
        QTest::keyClick(w.RadioOK, Qt::Key_A, Qt::NoModifier);
        QCOMPARE(w.lblKeyTest->text(), QStringLiteral("0"));
        QCOMPARE(w.ColorAnimation1->state(), QAbstractAnimation::Stopped);
        QVERIFY(w.RadioOK->isChecked());
        QTest::mouseClick(w.btnAffecteRemote, Qt::LeftButton);
        QCOMPARE(f.dialogs.last()->text,
                 QStringLiteral("Vous devez sélectionner une action et une touche de code non nul sur la télécommande"));
        QVERIFY(!QFile::exists(f.path(QStringLiteral("FeuilleMatch.ini"))));

        QTest::keyClick(w.RadioOK, Qt::Key_PageDown);
        QTest::mouseClick(w.btnAffecteRemote, Qt::LeftButton);
        QCOMPARE(w.KeyOK(), 34);
        QCOMPARE(w.RadioOK->text(), QStringLiteral("OK (34)"));
        QCOMPARE(w.lblKeyTest->tag(), 34); // kept for another action
        QFile ini(f.path(QStringLiteral("FeuilleMatch.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("KeyOK=34"));

        QTest::mouseClick(w.btnAffichTabFeuille, Qt::LeftButton);
        f.key(Qt::Key_Up);
        QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
        f.key(Qt::Key_PageDown);
        QCOMPARE(f.sheet(), QStringLiteral("(0,-)"));
    }

    void remote_onlyANetworkRadioChecked_isRefused()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        QTest::keyClick(w.RadioFeuillesArchive, Qt::Key_Down);
        QCOMPARE(w.lblKeyTest->tag(), 40);
        QVERIFY(w.RadioFeuilleEnCours->isChecked()); // the key was consumed
        QTest::mouseClick(w.btnAffecteRemote, Qt::LeftButton);
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(w.KeyChrono(), 40);
    }
};

QTEST_MAIN(tst_window_keys)
#include "tst_window_keys.moc"
