#!/usr/bin/env python3
"""Runs the table of bad input, tests/data/bad_input.table (its head says how
to read it): every mistake ends the program with the status and the one line
the table gives, and no file the program was given is changed."""
import argparse
import os
import re
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


class Case:
    def __init__(self, line, folder):
        self.folder, self.line = folder, line
        prog, args, status, self.message = [c.strip() for c in line.split("|", 3)]
        self.program, *self.mods = prog.split("+")
        self.status = status
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


def run(case, programs, disk):
    if case.program in ("same", "lines", "exists"):
        a = case.args
        ok = {"same": lambda: open(a[0], "rb").read() == open(a[1], "rb").read(),
              "lines": lambda: len(open(a[0], "rb").read().splitlines()) == int(a[1]),
              "exists": lambda: all(os.path.exists(p) for p in a)}[case.program]()
        return ("0" if ok else "1"), b"", ""
    argv = [programs[case.program]] + case.args
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    if "offscreen" in case.mods:
        # The libraries below SDL keep allocations until exit (see the Makefile's SAN_DESKTOP).
        env["SDL_VIDEODRIVER"] = "offscreen"
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    if "nobody" in case.mods:
        argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"] + argv
    if "disk" in case.mods or "full" in case.mods:
        env["FILL"] = "1" if "full" in case.mods else "0"
        argv = ["unshare", "-m", "sh", "-c", DISK, "sh", disk] + argv
    p = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    if "kill" in case.mods:
        # Killed once it is recording (its temporary file is there), and a second later.
        for _ in range(300):
            if any(os.path.exists(a + ".part") for a in case.args) or p.poll() is not None:
                break
            time.sleep(0.1)
        time.sleep(1)
        p.send_signal(signal.SIGKILL)
    err = p.communicate(timeout=300)[1]
    status = "killed" if p.returncode == -signal.SIGKILL else str(p.returncode)
    return status, err, case.pattern()


def skip_reason(case, programs):
    if case.program not in programs and case.program not in ("same", "lines", "exists"):
        return f"no {case.program} in this build"
    if ("nobody" in case.mods or "disk" in case.mods or "full" in case.mods) and os.geteuid() != 0:
        return "needs root (permissions, a private tmpfs)"
    if "disk" in case.mods or "full" in case.mods:
        probe = subprocess.run(["unshare", "-m", "true"], capture_output=True)
        return "unshare -m refused here" if probe.returncode != 0 else None
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("table")
    for name in ("headless", "desktop", "emulator", "tools"):
        ap.add_argument("--" + name)
    a = ap.parse_args()
    programs = {k: v for k, v in (("headless", a.headless), ("desktop", a.desktop), ("emulator", a.emulator)) if v}
    if a.tools:
        programs.update({t: os.path.join(a.tools, t) for t in ("make_font", "make_picture", "make_title")})
    failures, passed, skipped = [], 0, 0
    folder = tempfile.mkdtemp(prefix="burrow-bad-input-")
    disk = os.path.join(folder, "disk")
    try:
        os.chmod(folder, 0o755)
        os.makedirs(disk)
        os.mkdir(os.path.join(folder, "locked"), 0o555)
        open(os.path.join(folder, "secret.tape"), "wb").write(b"12 ACTION\n")
        os.chmod(os.path.join(folder, "secret.tape"), 0)
        for line in open(a.table, encoding="utf-8"):
            if not line.strip() or line.startswith("#"):
                continue
            case = Case(line.rstrip("\n"), folder)
            why = skip_reason(case, programs)
            if why:
                skipped += 1
                print(f"skipped ({why}): {case.line}")
                continue
            before = snapshot(folder)
            status, err, pattern = run(case, programs, disk)
            text = err.decode("utf-8", "replace")
            prefix = os.path.basename(programs.get(case.program, "")) + ": "
            lines = text.split("\n")[:-1]
            wrong = []
            if status != case.status:
                wrong.append(f"status {status}, expected {case.status}")
            if case.status != "killed" and pattern and not (
                    len(lines) == 1 and lines[0].startswith(prefix) and re.fullmatch(pattern, lines[0][len(prefix):])):
                wrong.append(f"stderr {text!r} does not match {prefix}{pattern}")
            if case.status != "killed" and not pattern and text:
                wrong.append(f"unexpected stderr {text!r}")
            after = snapshot(folder)
            if status != "0":
                wrong += [f"{p} changed" for p, data in before.items() if after.get(p) != data]
            parts = [p for p in after if p.endswith(".part") and p not in before]
            wrong += [f"{p} left behind" for p in parts if case.status != "killed" and p not in text]
            for p in parts if case.status != "killed" else []:
                os.remove(p)
            if wrong:
                failures.append(f"{case.line}\n    " + "\n    ".join(wrong))
            else:
                passed += 1
    finally:
        for root, dirs, _ in os.walk(folder):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(folder, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    print(f"bad_input: {passed} cases passed, {len(failures)} failed, {skipped} skipped")
    return 1 if failures else 77 if passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
