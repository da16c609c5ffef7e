#!/usr/bin/env python3
"""Runs the table of bad input, tests/data/bad_input.table (its head says how
to read it): every mistake ends the program with the status and the one line
the table gives, and no file the program was given is changed."""
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# Mounts a small tmpfs on $1 (full when FILL=1), runs the program and then
# complains on stderr about any file on it that is not a complete frame: a
# cut-short PNG or raw frame, a ".part" file, a trace after a failed run.
DISK = r"""mount -t tmpfs -o size=200k burrow-disk "$1" || exit 77
d=$1; shift
[ "$FILL" = 1 ] && cat /dev/zero > "$d/fill" 2>/dev/null
"$@"; s=$?
for f in "$d"/*; do [ -e "$f" ] || continue; case $f in
  */fill) ;;
  *.png) tail -c 8 "$f" | od -An -tx1 | tr -d ' \n' | grep -q '^49454e44ae426082$' || echo "cut short: $f" ;;
  *.raw) [ "$(stat -c %s "$f")" = 153600 ] || echo "cut short: $f" ;;
  *) echo "left behind: $f" ;;
esac >&2; done
umount "$d"; exit $s"""

# The driver's own checks of files the cases before them wrote.
CHECKS = {
    "same": lambda a, b: open(a, "rb").read() == open(b, "rb").read(),
    "lines": lambda path, n: len(open(path, "rb").read().splitlines()) == int(n),
    "exists": lambda *paths: all(os.path.exists(p) for p in paths),
}


class Case:
    def __init__(self, line, folder):
        self.folder, self.line = folder, line
        prog, args, self.status, self.message = [c.strip() for c in line.split("|", 3)]
        self.program, *mods = prog.split("+")
        self.mods = set(mods)
        self.args = [self.token(t) for t in re.findall(r"(?:\{[^{}]*\}|'[^']*'|[^\s'{])+", args)]

    def path(self, name):
        return os.path.join(self.folder, name) if name else self.folder

    def place(self, what):
        """{NAME}, {NAME=bytes}, {NAME->TARGET} (symbolic link), {NAME=>TARGET} (hard link), {:text}."""
        if what.startswith(":"):
            return eval(what[1:])
        for sep, make in (("->", os.symlink), ("=>", os.link)):
            if sep in what:
                name, target = what.split(sep)
                make(self.path(target), self.path(name))
                return self.path(name)
        if "=" in what:
            name, expr = what.split("=", 1)
            with open(self.path(name), "wb") as f:
                f.write(eval(expr))
            return self.path(name)
        return self.path(what)

    def token(self, text):
        text = re.sub(r"'([^']*)'", r"\1", text)
        return re.sub(r"\{([^{}]*)\}", lambda m: self.place(m.group(1)), text)

    def pattern(self):
        return re.sub(r"\{(|[^{}\d][^{}]*)\}", lambda m: re.escape(self.path(m.group(1))), self.message)


def snapshot(folder):
    """Each file's inode, size and time, and its bytes when it is small."""
    files = {}
    for root, _, names in os.walk(folder):
        for n in names:
            p = os.path.join(root, n)
            st = os.lstat(p)
            small = st.st_size < 65536 and not os.path.islink(p)
            files[p] = (st.st_ino, st.st_size, st.st_mtime_ns, open(p, "rb").read() if small else None)
    return files


def skip_reason(case, programs):
    if case.program not in programs and case.program not in CHECKS:
        return f"no {case.program} in this build"
    if case.mods & {"nobody", "disk", "full"} and os.geteuid() != 0:
        return "needs root (permissions, a private tmpfs)"
    if case.mods & {"disk", "full"} and subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode:
        return "unshare -m refused here"
    return None


def run(case, programs, disk):
    """The case's exit status ("killed" after SIGKILL) and what it said on stderr."""
    if case.program in CHECKS:
        return ("0" if CHECKS[case.program](*case.args) else "1"), ""
    argv = [programs[case.program]] + case.args
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    if "offscreen" in case.mods:
        # The libraries below SDL keep allocations until exit (see the Makefile's SAN_DESKTOP).
        env["SDL_VIDEODRIVER"] = "offscreen"
        env["SDL_AUDIODRIVER"] = "dummy"  # a sound device on any machine: no "no sound" line
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    if "nobody" in case.mods:
        argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"] + argv
    if case.mods & {"disk", "full"}:
        env["FILL"] = "1" if "full" in case.mods else "0"
        argv = ["unshare", "-m", "sh", "-c", DISK, "sh", disk] + argv
    # +fsize: no file may grow past 30 bytes (a tape's first line fits, its first button line does not); a write beyond fails instead of killing the program.
    limit = lambda: (signal.signal(signal.SIGXFSZ, signal.SIG_IGN), resource.setrlimit(resource.RLIMIT_FSIZE, (30, 30)))
    limit = limit if "fsize" in case.mods else None
    p = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env, preexec_fn=limit)
    if "kill" in case.mods:
        # Killed once it is recording (its temporary file is there), and a second later.
        for _ in range(300):
            if any(os.path.exists(a + ".part") for a in case.args) or p.poll() is not None:
                break
            time.sleep(0.1)
        time.sleep(1)
        p.send_signal(signal.SIGKILL)
    err = p.communicate(timeout=300)[1].decode("utf-8", "replace")
    return ("killed" if p.returncode == -signal.SIGKILL else str(p.returncode)), err


def wrong_in(case, programs, disk):
    """What the case did against its promises, as a list of texts."""
    before = snapshot(case.folder)
    status, err = run(case, programs, disk)
    after = snapshot(case.folder)
    wrong = [] if status == case.status else [f"status {status}, expected {case.status}"]
    prefix, pattern = os.path.basename(programs.get(case.program, "")) + ": ", case.pattern()
    one_line = err.startswith(prefix) and err.endswith("\n") and err.count("\n") == 1
    if case.status != "killed" and pattern and not (one_line and re.fullmatch(pattern, err[len(prefix):-1])):
        wrong.append(f"stderr {err!r} does not match {prefix}{pattern}")
    if case.status != "killed" and not pattern and err:
        wrong.append(f"unexpected stderr {err!r}")
    if status != "0":
        wrong += [f"{p} changed" for p, data in before.items() if after.get(p) != data]
    # A recording the message says "is in X.part" must be there.
    wrong += [f"{p} is named but gone" for p in re.findall(r"is in (\S+?\.part)\b", err) if not os.path.exists(p)]
    # A killed run's ".part" stays for the cases after it; others may leave one only where they name it.
    for p in [p for p in after if p.endswith(".part") and p not in before and case.status != "killed"]:
        if p not in err:
            wrong.append(f"{p} left behind")
        os.remove(p)
    return wrong


def main():
    # bad_input_test.py TABLE NAME=PATH...: the programs the table names
    # (headless, desktop, emulator, make_font, ...); cases of others are skipped.
    table, programs = sys.argv[1], dict(a.split("=", 1) for a in sys.argv[2:])
    failures, passed, skipped = [], 0, 0
    folder = tempfile.mkdtemp(prefix="burrow-bad-input-")
    disk = os.path.join(folder, "disk")
    try:
        os.chmod(folder, 0o755)
        os.makedirs(disk)
        os.mkdir(os.path.join(folder, "locked"), 0o555)
        open(os.path.join(folder, "secret.tape"), "wb").write(b"12 ACTION\n")
        os.chmod(os.path.join(folder, "secret.tape"), 0)
        for line in open(table, encoding="utf-8"):
            if not line.strip() or line.startswith("#"):
                continue
            case = Case(line.rstrip("\n"), folder)
            why = skip_reason(case, programs)
            if why:
                skipped += 1
                print(f"skipped ({why}): {case.line}")
                continue
            wrong = wrong_in(case, programs, disk)
            if wrong:
                failures.append(f"{case.line}\n    " + "\n    ".join(wrong))
            else:
                passed += 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    print(f"bad_input: {passed} cases passed, {len(failures)} failed, {skipped} skipped")
    return 1 if failures else 77 if passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
