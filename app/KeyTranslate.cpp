#include "KeyTranslate.h"

#include <QKeyEvent>

namespace {

// Keys whose code does not depend on the keypad. With NumLock off the keypad sends its
// navigation keys (Home, arrows, PgUp, Ins, Del ...) and keeps those codes; its 5 sends
// Clear.
quint16 navigationCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Clear: return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Print: return 44;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Super_L: return 0x5B;
    case Qt::Key_Super_R: return 0x5C;
    case Qt::Key_Menu: return 93;
    case Qt::Key_NumLock: return 0x90;
    case Qt::Key_ScrollLock: return 0x91;
    // Browser and media keys: remote controls often send these.
    case Qt::Key_Back: return 0xA6;
    case Qt::Key_Forward: return 0xA7;
    case Qt::Key_Refresh: return 0xA8;
    case Qt::Key_Stop: return 0xA9;
    case Qt::Key_Search: return 0xAA;
    case Qt::Key_Favorites: return 0xAB;
    case Qt::Key_HomePage: return 0xAC;
    case Qt::Key_VolumeMute: return 0xAD;
    case Qt::Key_VolumeDown: return 0xAE;
    case Qt::Key_VolumeUp: return 0xAF;
    case Qt::Key_MediaNext: return 0xB0;
    case Qt::Key_MediaPrevious: return 0xB1;
    case Qt::Key_MediaStop: return 0xB2;
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaPause:
    case Qt::Key_MediaTogglePlayPause: return 0xB3;
    default: return 0;
    }
}

// The keypad's operator keys.
quint16 keypadOperatorCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Asterisk: return 0x6A;
    case Qt::Key_Plus: return 0x6B;
    case Qt::Key_Minus: return 0x6D;
    case Qt::Key_Period:
    case Qt::Key_Comma: return 0x6E; // the decimal key, whatever separator it types
    case Qt::Key_Slash: return 0x6F;
    default: return 0;
    }
}

// Punctuation and shifted digits, as Windows codes them on a US layout: a key keeps its
// code whether or not Shift is held, while Qt names the symbol typed.
quint16 punctuationCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_ParenRight: return 0x30;
    case Qt::Key_Exclam: return 0x31;
    case Qt::Key_At: return 0x32;
    case Qt::Key_NumberSign: return 0x33;
    case Qt::Key_Dollar: return 0x34;
    case Qt::Key_Percent: return 0x35;
    case Qt::Key_AsciiCircum: return 0x36;
    case Qt::Key_Ampersand: return 0x37;
    case Qt::Key_Asterisk: return 0x38;
    case Qt::Key_ParenLeft: return 0x39;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period:
    case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash:
    case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return 0xDE;
    default: return 0;
    }
}

} // namespace

quint16 virtualKeyCode(int qtKey, bool keypad)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return quint16((keypad ? 0x60 : 0x30) + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return quint16(qtKey); // Qt's letter codes are the uppercase ASCII codes, as Windows'
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return quint16(112 + (qtKey - Qt::Key_F1));
    if (const quint16 code = navigationCode(qtKey))
        return code;
    if (keypad) {
        if (const quint16 code = keypadOperatorCode(qtKey))
            return code;
    }
    return punctuationCode(qtKey);
}

VkKey translateKey(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers mods = event.modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool alt = mods.testFlag(Qt::AltModifier);
    const bool meta = mods.testFlag(Qt::MetaModifier);
    // AltGr arrives as the group switch, or on Windows as Ctrl and Alt together; the
    // character it types is a character like any other.
    const bool altGr = mods.testFlag(Qt::GroupSwitchModifier) || (ctrl && alt);
    const bool chord = meta || (!altGr && (ctrl || alt));

    VkKey result;
    const QString text = event.text();
    if (!chord && text.size() == 1) {
        const ushort u = text.at(0).unicode();
        if (u >= 32 && u != 127 && !text.at(0).isSurrogate()) {
            result.keyChar = text.at(0);
            return result;
        }
    }
    result.key = virtualKeyCode(event.key(), mods.testFlag(Qt::KeypadModifier));
    return result;
}

bool KeyRepeatDetector::isRealRelease(const QKeyEvent &release)
{
    if (release.isAutoRepeat())
        return false;
    m_haveRelease = true;
    m_key = release.key();
    m_scanCode = release.nativeScanCode();
    m_timestamp = release.timestamp();
    return true;
}

bool KeyRepeatDetector::isRepeatPress(const QKeyEvent &press) const
{
    if (press.isAutoRepeat())
        return true;
    // Events made up by a program (tests, accessibility tools) may carry no time at all:
    // only a real timestamp can pair a press with a release.
    return m_haveRelease && m_timestamp != 0 && press.timestamp() == m_timestamp
        && press.key() == m_key && press.nativeScanCode() == m_scanCode;
}
