#!/usr/bin/env python3
"""Writes the shot clock's two sounds: a short beep for the warning, a longer tone when the
time is up. 16-bit mono PCM at 22050 Hz, with a short fade at both ends (no click)."""
import math
import os
import struct
import wave

RATE = 22050


def tone(path, parts):
    frames = bytearray()
    for freq, seconds, gap in parts:
        n = int(RATE * seconds)
        fade = int(RATE * 0.01)
        for i in range(n):
            env = min(1.0, i / fade, (n - 1 - i) / fade)
            frames += struct.pack('<h', int(0.6 * 32767 * env * math.sin(2 * math.pi * freq * i / RATE)))
        frames += b'\0\0' * int(RATE * gap)
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


here = os.path.dirname(os.path.abspath(__file__))
tone(os.path.join(here, 'warning.wav'), [(1320, 0.12, 0.0)])
tone(os.path.join(here, 'expired.wav'), [(880, 0.25, 0.08), (660, 0.7, 0.0)])
