#!/usr/bin/python3
# Measures a recording of the alignment tone (raw 16-bit little-endian mono at 48000 Hz), with
# numpy's FFT: prints "key value" lines for tests/sound/tone.sh.
#   pitch      the strongest frequency in Hz over the middle of the sounding part, refined between
#              FFT bins by a parabola through the peak and its neighbours
#   sounding   the share of 10 ms frames louder than -30 dB of full scale
#   held       that share between the first and the last such frame: a tone that, once begun,
#              sounds until it ends (the program's start-up before it, however slow, does not count)
#   bursts     runs of such frames, and the longest in ms
#   jump       the largest second difference between samples, against what a pure tone of the
#              loudest amplitude heard at 1 kHz could give (above 1: a click)
import sys

import numpy as np

rate = 48000
frame = rate // 100
x = np.fromfile(sys.argv[1], dtype="<i2").astype(float)
frames = x[: len(x) // frame * frame].reshape(-1, frame)
loud = np.sqrt((frames**2).mean(axis=1)) > 32767 * 10 ** (-30 / 20)

runs, run = [], 0
for f in loud:
    if f:
        run += 1
    elif run:
        runs.append(run)
        run = 0
if run:
    runs.append(run)

pitch = 0.0
sounding = np.flatnonzero(loud)
if len(sounding) > 50:
    first, last = sounding[0] * frame, (sounding[-1] + 1) * frame
    middle = x[first + (last - first) // 4 : last - (last - first) // 4]
    spectrum = np.abs(np.fft.rfft(middle * np.hanning(len(middle))))
    k = int(np.argmax(spectrum[1:-1])) + 1
    a, b, c = np.log(spectrum[k - 1 : k + 2] + 1e-9)
    pitch = (k + 0.5 * (a - c) / (a - 2 * b + c)) * rate / len(middle)

amplitude = np.abs(x).max() if len(x) else 0.0
second = np.abs(np.diff(x, 2)).max() if len(x) > 2 else 0.0
pure = amplitude * (2 * np.pi * 1000 / rate) ** 2 + 4  # and a few steps of rounding

print(f"pitch {pitch:.2f}")
print(f"sounding {loud.mean() if len(loud) else 0:.3f}")
print(f"held {loud[sounding[0] : sounding[-1] + 1].mean() if len(sounding) else 0:.3f}")
print(f"bursts {len(runs)}")
print(f"longest_ms {max(runs, default=0) * 10}")
print(f"jump {second / pure:.3f}")
