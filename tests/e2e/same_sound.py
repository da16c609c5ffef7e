#!/usr/bin/env python3
"""same_sound.py PLAYED.raw RUNNER.wav: whether a game's sound as a sound
device received it (16-bit samples, as SDL's disk driver writes them) is
the runner's --wav of the same tape. The device may hear silence between
frames (it was read faster than the game played) and miss a few whole frames
(the game caught up after a late frame and the queue was full), so the
frames' samples that are not 0 are matched in order, skipping at most
one frame in 10 (a loaded machine shows late frames in bursts); the last frames may be played in part or not at all."""
import array
import sys

FRAME = 800


def sounding(samples):
    return [s for s in samples if s != 0]


def main():
    played = array.array('h', open(sys.argv[1], 'rb').read())
    runner = array.array('h', open(sys.argv[2], 'rb').read()[44:])
    heard = sounding(played)
    at, missed, matched = 0, [], 0
    for k in range(0, len(runner), FRAME):
        frame = sounding(runner[k:k + FRAME])
        if not frame or at >= len(heard):
            continue
        # The game may quit while the device is halfway through a frame.
        if heard[at:at + len(frame)] == frame or frame[:len(heard) - at] == heard[at:]:
            at = min(at + len(frame), len(heard))
            matched = k // FRAME + 1
        else:
            missed.append(k // FRAME + 1)
    missed = [f for f in missed if f < matched]
    if at != len(heard) or len(missed) > 1 + matched // 10 or matched < len(runner) // FRAME - 3:
        print('the sound differs from the runner\'s: %d of %d sounding samples match, up to frame %d of %d, '
              'frames %s missed' % (at, len(heard), matched, len(runner) // FRAME, missed[:10]))
        return 1
    print('the sound is the runner\'s up to frame %d%s' % (matched, ', missing frames %s' % missed if missed else ''))
    return 0


if __name__ == '__main__':
    sys.exit(main())
