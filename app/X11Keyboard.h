#pragma once
// On an X server, asks for detectable auto-repeat: a held key then sends repeated presses
// and a single release, as on Windows, instead of a release/press pair per repeat. Returns
// true when the server granted it; false elsewhere (Wayland, Windows, offscreen) and on a
// server without the XKB extension, where the key handler tells the pairs apart itself.
bool requestDetectableAutoRepeat();
