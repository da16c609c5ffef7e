#!/usr/bin/env python3
"""Checks a desktop session against its headless replay, and screenshots of
its status line against the line the desktop draws for a text.

The window's screenshots must be the 320x240 frame scaled by a whole number
with square pixels, and each must be a frame the session's trace lists on the
expected screen; the headless replay of the session's tape must have shown
exactly the frames the window showed (the same trace lines, hash and state).
Writes matches.txt: "<shot name> <frame number>" per screenshot.
"""
import argparse
import json
import sys

WIDTH, HEIGHT = 320, 240


def fnv1a64(data):
    h = 0xCBF29CE484222325
    for b in data:
        h = ((h ^ b) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def frame_from_screenshot(path, scale, height=HEIGHT):
    """The RGB565 frame (low byte first, as the trace hashes it) behind a
    screenshot of the window, or an error text."""
    data = open(path, "rb").read()
    row_bytes = WIDTH * scale * 3
    if len(data) != row_bytes * height * scale:
        return None, "%s: %d bytes, expected a %dx%d picture" % (path, len(data), WIDTH * scale, height * scale)
    out = bytearray(WIDTH * height * 2)
    for y in range(height):
        top = data[y * scale * row_bytes:(y * scale + 1) * row_bytes]
        for k in range(1, scale):
            if data[(y * scale + k) * row_bytes:(y * scale + k + 1) * row_bytes] != top:
                return None, "%s: rows %d and %d differ: not a whole-number scale" % (path, y * scale, y * scale + k)
        step = 3 * scale
        r, g, b = top[0::step], top[1::step], top[2::step]
        expanded = bytearray(row_bytes)
        for k in range(scale):
            expanded[3 * k::step], expanded[3 * k + 1::step], expanded[3 * k + 2::step] = r, g, b
        if expanded != top:
            return None, "%s: row %d is not made of %d-pixel-wide squares" % (path, y * scale, scale)
        for x in range(WIDTH):
            # The top bits of each channel are the RGB565 value, however the
            # renderer widened it to 8 bits.
            p = ((r[x] >> 3) << 11) | ((g[x] >> 2) << 5) | (b[x] >> 3)
            out[2 * (y * WIDTH + x)] = p & 0xFF
            out[2 * (y * WIDTH + x) + 1] = p >> 8
    return bytes(out), None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scale", type=int, default=3)
    ap.add_argument("--trace", help="the desktop session's trace")
    ap.add_argument("--replayed", help="burrowrotor-headless's trace of the recorded tape")
    ap.add_argument("--shot", action="append", default=[], help="SCREEN:FILE.rgb, a screenshot of the window")
    ap.add_argument("--strip", action="append", default=[],
                    help="SHOT.rgb:EXPECTED, a screenshot of the status line and burrow-status-strip's output")
    args = ap.parse_args()

    failures = []
    for strip in args.strip:
        shot, expected = strip.split(":", 1)
        pixels, error = frame_from_screenshot(shot, args.scale, 16)
        if error or pixels != open(expected, "rb").read():
            failures.append(error or "%s: the status line is not the one drawn in %s" % (shot, expected))
    if not args.trace:
        for message in failures:
            print("FAIL: " + message)
        return 1 if failures else 0

    desktop = open(args.trace).read().splitlines()
    replayed = open(args.replayed).read().splitlines()
    if not desktop:
        failures.append("the desktop trace is empty")
    for i, (a, b) in enumerate(zip(desktop, replayed)):
        if a != b:
            failures.append("frame %d differs between the window and the replay:\n  desktop:  %s\n  headless: %s"
                            % (i + 1, a, b))
            break
    if len(desktop) != len(replayed):
        failures.append("the window showed %d frames, the replay %d" % (len(desktop), len(replayed)))
    frames = [json.loads(line) for line in desktop]
    screens = {}
    for f in frames:
        screens[f["screen"]] = screens.get(f["screen"], 0) + 1
    print("frames shown: %d (%s)" % (len(frames), ", ".join("%s %d" % kv for kv in sorted(screens.items()))))
    if "game" not in screens:
        failures.append("no game frame was shown: the key presses did not start a game")

    matches = []
    for shot in args.shot:
        screen, path = shot.split(":", 1)
        pixels, error = frame_from_screenshot(path, args.scale)
        if error:
            failures.append(error)
            continue
        digest = "%016x" % fnv1a64(pixels)
        found = [f for f in frames if f["hash"] == digest]
        if not found:
            failures.append("%s: the window showed no frame of the trace (hash %s)" % (path, digest))
            continue
        on_screen = [f for f in found if f["screen"] == screen]
        if not on_screen:
            failures.append("%s: frame %d is on the %s screen, expected %s"
                            % (path, found[0]["frame"], found[0]["screen"], screen))
            continue
        print("%s: frame %d (%s screen, hash %s)" % (path, on_screen[0]["frame"], screen, digest))
        matches.append("%s %d" % (screen, on_screen[0]["frame"]))
    with open("matches.txt", "w") as f:
        f.write("".join(m + "\n" for m in matches))
    for message in failures:
        print("FAIL: " + message)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
