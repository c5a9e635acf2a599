#include "KeyTranslate.h"

#include <QKeyEvent>
#include <QtTest>

class TstKeyTranslate : public QObject {
    Q_OBJECT
private slots:
    void translateKey_data();
    void translateKey();
    void virtualKeyCode_data();
    void virtualKeyCode();
};

void TstKeyTranslate::translateKey_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("keyChar"); // empty: KeyChar 0

    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers pad = Qt::KeypadModifier;

    // Characters: Key 0, KeyChar the text.
    QTest::newRow("digit 0") << int(Qt::Key_0) << none << "0" << 0 << "0";
    QTest::newRow("digit 7") << int(Qt::Key_7) << none << "7" << 0 << "7";
    QTest::newRow("keypad 5 with NumLock") << int(Qt::Key_5) << pad << "5" << 0 << "5";
    QTest::newRow("keypad 0 with NumLock") << int(Qt::Key_0) << pad << "0" << 0 << "0";
    QTest::newRow("plus") << int(Qt::Key_Plus) << none << "+" << 0 << "+";
    QTest::newRow("keypad plus") << int(Qt::Key_Plus) << pad << "+" << 0 << "+";
    QTest::newRow("minus") << int(Qt::Key_Minus) << none << "-" << 0 << "-";
    QTest::newRow("keypad minus") << int(Qt::Key_Minus) << pad << "-" << 0 << "-";
    QTest::newRow("keypad asterisk") << int(Qt::Key_Asterisk) << pad << "*" << 0 << "*";
    QTest::newRow("shifted asterisk") << int(Qt::Key_Asterisk) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "*" << 0 << "*";
    QTest::newRow("space") << int(Qt::Key_Space) << none << " " << 0 << " ";
    QTest::newRow("letter a") << int(Qt::Key_A) << none << "a" << 0 << "a";
    QTest::newRow("shift A") << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "A" << 0 << "A";
    QTest::newRow("accented e") << int(Qt::Key_Eacute) << none << QString::fromUtf8("é") << 0 << QString::fromUtf8("é");
    QTest::newRow("AltGr euro (group switch)") << int(Qt::Key_E) << Qt::KeyboardModifiers(Qt::GroupSwitchModifier)
                                               << QString::fromUtf8("€") << 0 << QString::fromUtf8("€");
    QTest::newRow("AltGr euro (Ctrl+Alt)") << int(Qt::Key_E) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)
                                           << QString::fromUtf8("€") << 0 << QString::fromUtf8("€");

    // Keys without a printable character: KeyChar 0, Key the virtual-key code.
    QTest::newRow("Return") << int(Qt::Key_Return) << none << "\r" << 13 << "";
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << pad << "\r" << 13 << "";
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << "\b" << 8 << "";
    QTest::newRow("Tab") << int(Qt::Key_Tab) << none << "\t" << 9 << "";
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << QString(QChar(27)) << 27 << "";
    QTest::newRow("Delete (text DEL)") << int(Qt::Key_Delete) << none << QString(QChar(127)) << 46 << "";
    QTest::newRow("F2") << int(Qt::Key_F2) << none << "" << 113 << "";
    QTest::newRow("F3") << int(Qt::Key_F3) << none << "" << 114 << "";
    QTest::newRow("left") << int(Qt::Key_Left) << none << "" << 37 << "";
    QTest::newRow("up") << int(Qt::Key_Up) << none << "" << 38 << "";
    QTest::newRow("right") << int(Qt::Key_Right) << none << "" << 39 << "";
    QTest::newRow("down") << int(Qt::Key_Down) << none << "" << 40 << "";
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << none << "" << 33 << "";
    QTest::newRow("PageDown") << int(Qt::Key_PageDown) << none << "" << 34 << "";
    QTest::newRow("keypad 8 without NumLock") << int(Qt::Key_Up) << pad << "" << 38 << "";
    QTest::newRow("keypad 3 without NumLock") << int(Qt::Key_PageDown) << pad << "" << 34 << "";
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::ControlModifier) << QString(QChar(1)) << 65 << "";
    QTest::newRow("Ctrl+A without text") << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::ControlModifier) << "" << 65 << "";
    QTest::newRow("Alt+5") << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::AltModifier) << "5" << 0x35 << "";
    QTest::newRow("Meta+5") << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::MetaModifier) << "5" << 0x35 << "";
    QTest::newRow("Ctrl+keypad 5") << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::KeypadModifier) << "5" << 0x65 << "";
    QTest::newRow("Ctrl+keypad plus") << int(Qt::Key_Plus) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::KeypadModifier) << "+" << 0x6B << "";
    QTest::newRow("two characters") << int(Qt::Key_unknown) << none << "ab" << 0 << "";
    QTest::newRow("no text, no code") << int(Qt::Key_unknown) << none << "" << 0 << "";
    QTest::newRow("Shift alone") << int(Qt::Key_Shift) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "" << 16 << "";
}

void TstKeyTranslate::translateKey()
{
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(QString, keyChar);

    const QKeyEvent event(QEvent::KeyPress, qtKey, mods, text);
    const VkKey vk = ::translateKey(event);
    QCOMPARE(int(vk.key), key);
    const QChar expectedChar = keyChar.isEmpty() ? QChar(0) : keyChar.at(0);
    QCOMPARE(vk.keyChar, expectedChar);
}

void TstKeyTranslate::virtualKeyCode_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<int>("code");

    QTest::newRow("Backtab") << int(Qt::Key_Backtab) << false << 9;
    QTest::newRow("End") << int(Qt::Key_End) << false << 35;
    QTest::newRow("Home") << int(Qt::Key_Home) << false << 36;
    QTest::newRow("keypad Home") << int(Qt::Key_Home) << true << 36;
    QTest::newRow("Insert") << int(Qt::Key_Insert) << false << 45;
    QTest::newRow("keypad Delete") << int(Qt::Key_Delete) << true << 46;
    QTest::newRow("digit 9") << int(Qt::Key_9) << false << 0x39;
    QTest::newRow("keypad 9") << int(Qt::Key_9) << true << 0x69;
    QTest::newRow("letter Z") << int(Qt::Key_Z) << false << 0x5A;
    QTest::newRow("keypad asterisk") << int(Qt::Key_Asterisk) << true << 0x6A;
    QTest::newRow("keypad minus") << int(Qt::Key_Minus) << true << 0x6D;
    QTest::newRow("keypad decimal") << int(Qt::Key_Period) << true << 0x6E;
    QTest::newRow("keypad decimal comma") << int(Qt::Key_Comma) << true << 0x6E;
    QTest::newRow("keypad slash") << int(Qt::Key_Slash) << true << 0x6F;
    QTest::newRow("F1") << int(Qt::Key_F1) << false << 112;
    QTest::newRow("F12") << int(Qt::Key_F12) << false << 123;
    QTest::newRow("F24") << int(Qt::Key_F24) << false << 135;
    QTest::newRow("Control") << int(Qt::Key_Control) << false << 17;
    QTest::newRow("Alt") << int(Qt::Key_Alt) << false << 18;
    QTest::newRow("Pause") << int(Qt::Key_Pause) << false << 19;
    QTest::newRow("CapsLock") << int(Qt::Key_CapsLock) << false << 20;
    QTest::newRow("Menu") << int(Qt::Key_Menu) << false << 93;
    QTest::newRow("semicolon") << int(Qt::Key_Semicolon) << false << 0xBA;
    QTest::newRow("equal") << int(Qt::Key_Equal) << false << 0xBB;
    QTest::newRow("plus off keypad") << int(Qt::Key_Plus) << false << 0xBB;
    QTest::newRow("comma") << int(Qt::Key_Comma) << false << 0xBC;
    QTest::newRow("minus off keypad") << int(Qt::Key_Minus) << false << 0xBD;
    QTest::newRow("period") << int(Qt::Key_Period) << false << 0xBE;
    QTest::newRow("slash") << int(Qt::Key_Slash) << false << 0xBF;
    QTest::newRow("backquote") << int(Qt::Key_QuoteLeft) << false << 0xC0;
    QTest::newRow("bracket left") << int(Qt::Key_BracketLeft) << false << 0xDB;
    QTest::newRow("backslash") << int(Qt::Key_Backslash) << false << 0xDC;
    QTest::newRow("bracket right") << int(Qt::Key_BracketRight) << false << 0xDD;
    QTest::newRow("apostrophe") << int(Qt::Key_Apostrophe) << false << 0xDE;
    QTest::newRow("media play/pause") << int(Qt::Key_MediaTogglePlayPause) << false << 0xB3;
    QTest::newRow("unknown") << int(Qt::Key_unknown) << false << 0;
    QTest::newRow("dead key") << int(Qt::Key_Dead_Circumflex) << false << 0;
}

void TstKeyTranslate::virtualKeyCode()
{
    QFETCH(int, qtKey);
    QFETCH(bool, keypad);
    QTEST(int(::virtualKeyCode(qtKey, keypad)), "code");
}

QTEST_GUILESS_MAIN(TstKeyTranslate)
#include "tst_keytranslate.moc"
