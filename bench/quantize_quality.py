#!/usr/bin/python3
"""Compares 8-bit versions of one prepared recording with its 16-bit master (same rate, same
level): signal-to-noise ratio, the mean error (offset) in steps, the noise in quiet stretches,
and, for a tone, the strongest spectral line other than the tone (tonal distortion, dBc) and
the median noise floor of a Welch spectrum.

usage: quantize_quality.py MASTER16.wav [--tone HZ] NAME=FILE8.wav ...
The name "truncation" needs no file: it is the high byte of the master, as the image build
makes it from 16-bit parts."""
import math
import struct
import sys
import wave

import numpy


def samples(path):
    with wave.open(path, "rb") as w:
        bits = w.getsampwidth() * 8
        data = w.readframes(w.getnframes())
    if bits == 16:
        return [v / 256.0 for v in struct.unpack("<%dh" % (len(data) // 2), data)], 16
    return [b - 128.0 for b in data], 8


def welch(x, size=1024):
    """Welch power spectrum: Hann windows of `size` samples, half overlapping (numpy's FFT)."""
    x = numpy.asarray(x, dtype=float)
    hann = numpy.hanning(size + 1)[:size]
    power = numpy.zeros(size // 2)
    for at in range(0, len(x) - size + 1, size // 2):
        power += numpy.abs(numpy.fft.rfft(x[at:at + size] * hann)[: size // 2]) ** 2
    return list(power)


def db(v):
    return 10 * math.log10(v) if v > 0 else float("-inf")


def main():
    master, _ = samples(sys.argv[1])
    tone = None
    named = []
    args = sys.argv[2:]
    while args:
        a = args.pop(0)
        if a == "--tone":
            tone = float(args.pop(0))
        else:
            name, _, path = a.partition("=")
            named.append((name, path))
    rate = 13021
    signal = sum(v * v for v in master)
    # Quiet stretches: 50 ms windows of the master whose peak stays below 2 steps.
    quiet = []
    win = rate // 20
    for at in range(0, len(master) - win, win):
        if max(abs(v) for v in master[at:at + win]) < 2.0:
            quiet.extend(range(at, at + win))
    print("%-11s %8s %9s %11s %11s" % ("", "SNR dB", "offset", "quiet dB", "changing"), end="")
    print(" %10s %10s" % ("spur dBc", "floor dB") if tone else "")
    for name, path in named:
        if name == "truncation":
            out = [math.floor(v) for v in master]  # the high byte, 128 added back
        else:
            out, bits = samples(path)
            if bits != 8 or len(out) != len(master):
                sys.exit("%s: not an 8-bit file of the master's length" % path)
        err = [o - m for o, m in zip(out, master)]
        noise = sum(e * e for e in err)
        offset = sum(err) / len(err)
        qnoise = sum(out[i] ** 2 for i in quiet) / len(quiet) if quiet else 0.0
        moving = sum(1 for i in quiet[1:] if out[i] != out[i - 1]) if quiet else 0
        line = "%-11s %8.1f %9.3f %11s %11s" % (
            name, db(signal / noise), offset,
            "%.1f" % (db(qnoise / 128.0 ** 2)) if quiet else "-",
            "%d/%d" % (moving, len(quiet)) if quiet else "-")
        if tone:
            power = welch(out)
            bin_hz = rate / 1024
            tone_bin = round(tone / bin_hz)
            others = [p for k, p in enumerate(power) if k > 2 and abs(k - tone_bin) > 3]
            floor = sorted(others)[len(others) // 2]
            line += " %10.1f %10.1f" % (db(max(others) / power[tone_bin]), db(floor / power[tone_bin]))
        print(line)


main()
