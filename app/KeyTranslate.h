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
