#!/usr/bin/env python3
"""Every way a user can get the programs' input wrong, and what we promise.

A mistake in a command line, a tape or a path ends the program with status 2
and exactly one line on stderr, "PROGRAM: what is wrong", naming the file (and
the line of a tape) where there is one. Nothing written is left half-finished
under its final name, and no temporary ".part" file is left behind.

Decisions this table pins down:
  * a tape with CRLF line ends is accepted and plays exactly like the same
    tape with LF line ends;
  * an empty tape is accepted: no button is ever held;
  * a comment line may be of any length; any other line longer than 256
    characters is refused.
"""
import argparse
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

FAILURES = []
PASSED = 0


def check(name, ok, detail=""):
    global PASSED
    if ok:
        PASSED += 1
    else:
        FAILURES.append(f"{name}: {detail}")


def run(argv, as_nobody=False, timeout=120, cwd=None):
    if as_nobody:
        argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"] + argv
    return subprocess.run(argv, capture_output=True, timeout=timeout, cwd=cwd)


def expect_refusal(name, program, argv, message, as_nobody=False, absent=()):
    """Status 2 and exactly the one line 'program: message' (message may be a
    compiled regular expression); none of the paths in `absent` exist."""
    r = run(argv, as_nobody=as_nobody)
    err = r.stderr.decode("utf-8", "replace")
    lines = err.split("\n")
    one_line = len(lines) == 2 and lines[1] == ""
    check(name, r.returncode == 2, f"status {r.returncode}, stderr {err!r}")
    check(name, one_line, f"not exactly one line on stderr: {err!r}")
    prefix = program + ": "
    got = lines[0][len(prefix):] if lines[0].startswith(prefix) else None
    if isinstance(message, str):
        check(name, got == message, f"message {lines[0]!r}, expected {prefix + message!r}")
    else:
        check(name, got is not None and message.fullmatch(got) is not None,
              f"message {lines[0]!r} does not match {prefix}{message.pattern}")
    for path in absent:
        check(name, not os.path.exists(path), f"{path} was left behind")
    return r


def no_part_files(name, folder):
    left = [f for f in os.listdir(folder) if f.endswith(".part")]
    check(name, not left, f"temporary files left in {folder}: {left}")


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def headless_table(runner, tmp):
    prog = "burrowrotor-headless"
    tape = write(os.path.join(tmp, "ok.tape"), b"12 ACTION\n")
    usage = r.stdout.decode() if (r := run([runner, "--help"])).returncode == 0 else ""
    check("--help", usage.startswith("usage: burrowrotor-headless"), f"status {r.returncode}")

    number = "needs a whole number from 1 to 10^12, got '{}'"
    cases = [
        ("no arguments", [], "--frames N is required (see --help)"),
        ("unknown flag", ["--frames", "5", "--bogus"], "unknown option '--bogus' (see --help)"),
        ("unknown short flag", ["-f", "5"], "unknown option '-f' (see --help)"),
        ("stray word", ["--frames", "5", "tape.txt"], "unknown option 'tape.txt' (see --help)"),
        ("control bytes are shown, not sent", ["--fr\names\x1b[2J"],
         "unknown option '--fr\\x0Aames\\x1B[2J' (see --help)"),
        ("--input and --poll-tape", ["--frames", "5", "--input", tape, "--poll-tape", tape],
         "--input and --poll-tape cannot be used together"),
    ]
    for flag in ["--frames", "--from", "--every"]:
        base = [] if flag == "--frames" else ["--frames", "5"]
        cases += [
            (f"{flag} missing value", base + [flag], f"{flag} needs a value"),
            (f"{flag} empty", base + [flag, ""], f"{flag} needs a whole number, got an empty value"),
            (f"{flag} not a number", base + [flag, "ten"], f"{flag} " + number.format("ten")),
            (f"{flag} zero", base + [flag, "0"], f"{flag} " + number.format("0")),
            (f"{flag} negative", base + [flag, "-3"], f"{flag} " + number.format("-3")),
            (f"{flag} fraction", base + [flag, "2.5"], f"{flag} " + number.format("2.5")),
            (f"{flag} exponent", base + [flag, "1e3"], f"{flag} " + number.format("1e3")),
            (f"{flag} too large", base + [flag, "1000000000001"], f"{flag} " + number.format("1000000000001")),
            (f"{flag} far too large", base + [flag, "9" * 30], f"{flag} " + number.format("9" * 30)),
            (f"{flag} with a space", base + [flag, " 5"], f"{flag} " + number.format(" 5")),
        ]
    for flag in ["--input", "--poll-tape", "--trace", "--png", "--raw"]:
        cases += [
            (f"{flag} missing value", ["--frames", "5", flag], f"{flag} needs a value"),
            (f"{flag} empty", ["--frames", "5", flag, ""], f"{flag} needs a path, got an empty value"),
            (f"{flag} twice", ["--frames", "5", flag, tape, flag, tape], f"{flag} given twice"),
        ]
    for name, args, message in cases:
        expect_refusal(f"headless {name}", prog, [runner] + args, message)

    # Tape lines: the file and the line are named.
    def tape_case(name, data, line, why):
        path = write(os.path.join(tmp, "bad.tape"), data)
        expect_refusal(f"tape {name}", prog, [runner, "--frames", "20", "--input", path], f"{path}:{line}: {why}")

    tape_case("bad frame number", b"12x ACTION\n", 1, "bad frame number '12x ACTION'")
    tape_case("no frame number", b"# start\nACTION\n", 2, "expected a frame number, found 'ACTION'")
    tape_case("negative frame", b"-4 UP\n", 1, "expected a frame number, found '-4 UP'")
    tape_case("frame zero", b"0 ACTION\n", 1, "frame numbers start at 1")
    tape_case("huge frame", b"99999999999999999999 UP\n", 1, "frame number is too large")
    tape_case("decreasing", b"5 UP\n3 DOWN\n", 2, "frame 3 does not come after frame 5")
    tape_case("repeated frame", b"5 UP\n\n5 DOWN\n", 3, "frame 5 does not come after frame 5")
    tape_case("unknown button", b"4 JUMP\n", 1, "unknown button 'JUMP' (use UP, LEFT, DOWN, RIGHT, ACTION, - or 0x...)")
    tape_case("lower-case button", b"4 action\n", 1,
              "unknown button 'action' (use UP, LEFT, DOWN, RIGHT, ACTION, - or 0x...)")
    tape_case("empty name in a list", b"4 UP,,DOWN\n", 1, "empty button name in 'UP,,DOWN'")
    tape_case("junk after the word", b"4 ACTION now\n", 1, "unexpected 'now' after the buttons")
    tape_case("no buttons", b"4\n", 1, "frame 4 has no buttons (use - for none)")
    tape_case("bad hex word", b"4 0x1G\n", 1, "bad hex digit in button word '0x1G'")
    tape_case("long hex word", b"4 0x123456789\n", 1, "button word '0x123456789' has more than 8 hex digits")
    tape_case("control byte in a word", b"4 UP\x1b[31m\n", 1,
              "unknown button 'UP\\x1B[31m' (use UP, LEFT, DOWN, RIGHT, ACTION, - or 0x...)")
    tape_case("10 MB line", b"1 -\n2 " + b"A" * 10_000_000 + b"\n", 2, "line is too long (10000002 characters)")

    # Accepted tapes: CRLF plays like LF, an empty tape like no tape, and a
    # comment of any length is a comment.
    def trace_of(name, extra):
        out = os.path.join(tmp, f"{name}.jsonl")
        r = run([runner, "--frames", "60"] + extra + ["--trace", out])
        check(f"tape {name}", r.returncode == 0 and r.stderr == b"", f"status {r.returncode}, {r.stderr!r}")
        return open(out, "rb").read() if os.path.exists(out) else None

    lf = write(os.path.join(tmp, "lf.tape"), b"# menu\n11 ACTION\n13 -\n20 ACTION\n")
    crlf = write(os.path.join(tmp, "crlf.tape"), b"# menu\r\n11 ACTION\r\n13 -\r\n20 ACTION\r\n")
    empty = write(os.path.join(tmp, "empty.tape"), b"")
    comment = write(os.path.join(tmp, "comment.tape"), b"#" + b"c" * 10_000_000 + b"\n11 ACTION\n13 -\n20 ACTION\n")
    plain = trace_of("none", [])
    check("tape CRLF accepted", trace_of("lf", ["--input", lf]) == trace_of("crlf", ["--input", crlf]),
          "CRLF tape plays differently")
    check("tape empty accepted", trace_of("empty", ["--input", empty]) == plain, "empty tape plays differently")
    check("tape long comment accepted", trace_of("comment", ["--input", comment]) == trace_of("lf2", ["--input", lf]),
          "a long comment changes the tape")
    check("empty poll tape accepted", trace_of("empty-polls", ["--poll-tape", empty]) == plain,
          "empty poll tape plays differently")

    # Paths that cannot be read or written.
    missing = os.path.join(tmp, "no-such-folder", "x")
    for flag in ["--input", "--poll-tape"]:
        expect_refusal(f"{flag} missing file", prog, [runner, "--frames", "5", flag, missing],
                       f"{missing}: No such file or directory")
        expect_refusal(f"{flag} folder", prog, [runner, "--frames", "5", flag, tmp], f"{tmp}: Is a directory")
    for flag in ["--png", "--raw"]:
        expect_refusal(f"{flag} missing folder", prog, [runner, "--frames", "5", flag, missing],
                       f"{missing}: No such file or directory")
    trace = os.path.join(tmp, "no-such-folder", "t.jsonl")
    expect_refusal("--trace in a missing folder", prog, [runner, "--frames", "5", "--trace", trace],
                   f"{trace}: No such file or directory", absent=[trace, trace + ".part"])
    expect_refusal("--trace onto a folder", prog, [runner, "--frames", "5", "--trace", tmp],
                   f"{tmp}: Is a directory")

    # Permissions mean nothing to root: those cases run as nobody.
    if os.geteuid() == 0 and shutil.which("setpriv") is None:
        print("bad_input: SKIP unreadable and unwritable paths: running as root without setpriv")
        return
    as_nobody = os.geteuid() == 0
    locked = os.path.join(tmp, "locked")
    os.mkdir(locked)
    secret = write(os.path.join(tmp, "secret.tape"), b"12 ACTION\n")
    os.chmod(secret, 0)
    os.chmod(locked, stat.S_IRUSR | stat.S_IXUSR | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)
    os.chmod(tmp, 0o755)
    for flag in ["--input", "--poll-tape"]:
        expect_refusal(f"{flag} unreadable", prog, [runner, "--frames", "5", flag, secret],
                       f"{secret}: Permission denied", as_nobody=as_nobody)
    for flag in ["--png", "--raw"]:
        expect_refusal(f"{flag} unwritable folder", prog, [runner, "--frames", "5", flag, locked],
                       f"{locked}: Permission denied", as_nobody=as_nobody)
    t = os.path.join(locked, "t.jsonl")
    expect_refusal("--trace in an unwritable folder", prog, [runner, "--frames", "5", "--trace", t],
                   f"{t}: Permission denied", as_nobody=as_nobody, absent=[t, t + ".part"])


FULL_DISK_SCRIPT = r"""
set -u
mount -t tmpfs -o size=200k burrow-full "$1" || exit 77
shift
dir=$1; shift
"$@" 2>"$dir/../stderr"; status=$?
ls -l "$dir" > "$dir/../listing"
for f in "$dir"/*.png; do [ -e "$f" ] && tail -c 8 "$f" | od -An -tx1 | tr -d ' \n' && echo " $f"; done > "$dir/../tails"
umount "$dir"
exit $status
"""


def full_disk_table(runner, tmp):
    """A disk that fills up under --png, --raw and --trace: status 2, the file
    named, every file under a final name complete, no .part left."""
    prog = "burrowrotor-headless"
    if os.geteuid() != 0 or shutil.which("unshare") is None:
        print("bad_input: SKIP full disk: needs root and unshare to mount a small tmpfs")
        return
    probe = subprocess.run(["unshare", "-m", "true"], capture_output=True)
    if probe.returncode != 0:
        print(f"bad_input: SKIP full disk: unshare -m refused here ({probe.stderr.decode().strip()})")
        return
    for kind, frames in [("png", 400), ("raw", 5), ("trace", 3000)]:
        work = os.path.join(tmp, f"full-{kind}")
        disk = os.path.join(work, "disk")
        os.makedirs(disk)
        out = ["--trace", os.path.join(disk, "t.jsonl")] if kind == "trace" else [f"--{kind}", disk]
        r = subprocess.run(["unshare", "-m", "sh", "-c", FULL_DISK_SCRIPT, "sh", disk, disk, runner,
                            "--frames", str(frames)] + out, capture_output=True, timeout=300)
        if r.returncode == 77:
            print(f"bad_input: SKIP full disk: cannot mount a tmpfs here ({r.stderr.decode().strip()})")
            return
        err = open(os.path.join(work, "stderr"), "rb").read().decode("utf-8", "replace")
        listing = open(os.path.join(work, "listing")).read()
        name = f"full disk --{kind}"
        check(name, r.returncode == 2, f"status {r.returncode}, stderr {err!r}")
        lines = err.split("\n")
        check(name, len(lines) == 2 and lines[1] == "", f"not one line: {err!r}")
        if kind == "trace":
            want = re.escape(f"{prog}: {disk}/t.jsonl: No space left on device")
        else:
            want = re.escape(f"{prog}: {disk}/frame-") + r"\d{6}" + re.escape(f".{kind}: No space left on device")
        check(name, re.fullmatch(want, lines[0]) is not None, f"message {lines[0]!r}")
        check(name, ".part" not in listing, f"temporary file left: {listing}")
        if kind == "trace":
            check(name, "t.jsonl" not in listing, f"a half-written trace under its final name: {listing}")
        else:
            m = re.search(r"frame-(\d{6})\." + kind, lines[0])
            failed = m.group(0) if m else "?"
            check(name, failed not in listing, f"{failed} exists after its write failed")
            sizes = [int(l.split()[4]) for l in listing.splitlines() if l.startswith("-")]
            check(name, len(sizes) > 0, "no frame was written before the disk filled")
            if kind == "raw":
                check(name, all(s == 153600 for s in sizes), f"a raw frame of the wrong size: {sizes}")
            else:
                tails = open(os.path.join(work, "tails")).read().splitlines()
                # Every PNG ends with its IEND chunk: 49454e44 ae426082.
                check(name, tails and all(t.startswith("49454e44ae426082") for t in tails),
                      f"a PNG under its final name is cut short: {tails[:3]}")


def desktop_table(program, tmp):
    """burrowrotor: the same promises as the headless runner, before any window opens."""
    prog = "burrowrotor"
    tape = write(os.path.join(tmp, "ok.tape"), b"12 ACTION\n")
    r = run([program, "--help"])
    check("desktop --help", r.returncode == 0 and r.stdout.decode().startswith("usage: burrowrotor"),
          f"status {r.returncode}")
    r = run([program, "--version"])
    check("desktop --version", r.returncode == 0 and r.stdout.strip() != b"", f"status {r.returncode}")
    number = re.compile(r"--(scale|frames|from|every) needs a whole number.*")
    cases = [
        ("unknown flag", ["--bogus"], "unknown option '--bogus' (see --help)"),
        ("stray word", ["play"], "unknown option 'play' (see --help)"),
        ("record and replay the same file", ["--record", tape, "--replay", tape],
         "--record and --replay name the same file"),
    ]
    for flag in ["--scale", "--frames", "--from", "--every"]:
        cases += [
            (f"{flag} missing value", [flag], f"{flag} needs a value"),
            (f"{flag} not a number", [flag, "big"], number),
            (f"{flag} zero", [flag, "0"], number),
            (f"{flag} negative", [flag, "-2"], number),
        ]
    cases.append(("--scale too large", ["--scale", "17"], number))
    for flag in ["--record", "--replay", "--trace", "--png"]:
        cases += [
            (f"{flag} missing value", [flag], f"{flag} needs a value"),
            (f"{flag} empty", [flag, ""], f"{flag} needs a path, got an empty value"),
            (f"{flag} twice", [flag, tape, flag, tape], f"{flag} given twice"),
        ]
    for name, args, message in cases:
        expect_refusal(f"desktop {name}", prog, [program] + args, message)
    bad = write(os.path.join(tmp, "bad-desktop.tape"), b"5 UP\n3 DOWN\n")
    expect_refusal("desktop --replay bad tape", prog, [program, "--replay", bad],
                   f"{bad}:2: frame 3 does not come after frame 5")
    missing = os.path.join(tmp, "no-such-folder", "x")
    expect_refusal("desktop --replay missing file", prog, [program, "--replay", missing],
                   f"{missing}: No such file or directory")
    expect_refusal("desktop --record in a missing folder", prog, [program, "--record", missing, "--frames", "1"],
                   f"{missing}: No such file or directory", absent=[missing])
    expect_refusal("desktop --png missing folder", prog, [program, "--png", missing, "--frames", "1"],
                   f"{missing}: No such file or directory")


def emulator_table(program, tmp):
    """burrowrotor-handheld-emu, the developer's emulated handheld."""
    prog = "burrowrotor-handheld-emu"
    for name, args in [("unknown flag", ["--bogus", "true"]), ("no command", []),
                       ("--frames zero", ["--frames", "0", "true"]), ("--frames missing", ["--frames"]),
                       ("--missing unknown device", ["--missing", "fb7", "true"]),
                       ("--tape missing file", ["--tape", os.path.join(tmp, "nope"), "true"])]:
        expect_refusal(f"emulator {name}", prog, [program] + args, re.compile(r".+"))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--headless", required=True)
    ap.add_argument("--desktop")
    ap.add_argument("--handheld")
    ap.add_argument("--handheld-emu")
    a = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="burrow-bad-input-")
    os.chmod(tmp, 0o755)
    try:
        headless_table(a.headless, tmp)
        full_disk_table(a.headless, tmp)
        if a.desktop:
            desktop_table(a.desktop, tmp)
        else:
            print("bad_input: no desktop program in this build")
        if a.handheld_emu:
            emulator_table(a.handheld_emu, tmp)
    finally:
        for root, dirs, files in os.walk(tmp):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(tmp, ignore_errors=True)
    for f in FAILURES:
        print("FAIL", f)
    print(f"bad_input: {PASSED} checks passed, {len(FAILURES)} failed")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
