#!/usr/bin/env python3
"""Synthesises the new-mail chime, unread.wav: two soft bell-like notes a fifth apart.

    make-sound.py OUT.wav

16-bit PCM mono at 22050 Hz, about half a second, peak at -6 dBFS. Only the standard
library is needed, and the output is the same on every run.
"""

import math
import struct
import sys
import wave

RATE = 22050
LENGTH = 0.55  # seconds
PEAK = 10 ** (-6 / 20)  # -6 dBFS
ATTACK = 0.006  # seconds; a short rise instead of a click at each note's start
FADE = 0.03  # seconds of fade to silence at the very end

# (start in seconds, frequency in Hz, loudness, decay time constant in seconds)
NOTES = (
    (0.00, 880.00, 0.8, 0.10),  # A5
    (0.12, 1318.51, 1.0, 0.16),  # E6
)
# Overtones as (multiple of the fundamental, loudness, how much faster they fade): a little
# of the octave and the twelfth makes a sine sound like a small bell.
OVERTONES = ((1, 1.0, 1.0), (2, 0.22, 1.8), (3, 0.06, 2.6))


def sample(t):
    value = 0.0
    for start, freq, loudness, decay in NOTES:
        u = t - start
        if u < 0:
            continue
        rise = 0.5 - 0.5 * math.cos(math.pi * min(1.0, u / ATTACK))
        for multiple, level, speed in OVERTONES:
            value += (loudness * level * rise * math.exp(-u * speed / decay) *
                      math.sin(2 * math.pi * freq * multiple * u))
    end = LENGTH - t
    if end < FADE:
        value *= max(0.0, end / FADE)
    return value


def main():
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} OUT.wav")
    count = int(RATE * LENGTH)
    samples = [sample(n / RATE) for n in range(count)]
    scale = PEAK * 32767 / max(abs(s) for s in samples)
    frames = b"".join(struct.pack("<h", round(s * scale)) for s in samples)
    with wave.open(sys.argv[1], "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


if __name__ == "__main__":
    main()
