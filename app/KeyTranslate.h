#pragma once
// Qt key events into the Windows virtual-key code and character the key handlers expect:
// a key that types one printable character (code >= 32) with neither Ctrl, Alt nor Meta
// held arrives as Key 0 and KeyChar that character (AltGr counts as neither); every other
// key arrives as KeyChar 0 and Key its virtual-key code (0 when we have none for it).
#include <QChar>
#include <QtGlobal>

class QKeyEvent;

struct VkKey {
    quint16 key = 0;
    QChar keyChar = QChar(0);
};

VkKey translateKey(const QKeyEvent &event);
// The virtual-key code of a Qt key (with the keypad modifier telling keypad keys apart).
quint16 virtualKeyCode(int qtKey, bool keypad);

// Tells the auto-repeat of a held key from real presses and releases, whatever the platform
// marks. Windows repeats presses with no release between them; Wayland and X11 with
// detectable auto-repeat mark their repeats; plain X11 sends a release/press pair per
// repeat that Qt's xcb plugin marks only when the press is already queued when it reads
// the release. Both events of such a pair carry the same timestamp, which no human
// release and press of one key ever share: that is what marks them here.
class KeyRepeatDetector {
public:
    // A release that is not part of a repeat (the key may really be up). Records it for
    // the press that may follow; calling it again for the same event changes nothing.
    bool isRealRelease(const QKeyEvent &release);
    // A press that is a repeat of a held key: marked so, or the second half of a pair.
    // Reads no more than the last release, so it may be asked again for the same event.
    bool isRepeatPress(const QKeyEvent &press) const;

private:
    bool m_haveRelease = false;
    int m_key = 0;
    quint32 m_scanCode = 0;
    quint64 m_timestamp = 0;
};
