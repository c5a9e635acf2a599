#pragma once
#include <optional>

// On an X server, asks for detectable auto-repeat: a held key then sends repeated presses
// and a single release, as on Windows, instead of a release/press pair per repeat. Returns
// true when the server granted it; false elsewhere (Wayland, Windows, offscreen) and on a
// server without the XKB extension, where the key handler tells the pairs apart itself.
bool requestDetectableAutoRepeat();

// On an X server, whether a key other than a modifier is down right now, as the server
// knows it; nothing elsewhere. A key released while a question held the window blocked
// never reaches the window (Qt drops key events of blocked windows): this tells, once
// the question has closed, whether the key is still held.
std::optional<bool> x11KeyHeld();
