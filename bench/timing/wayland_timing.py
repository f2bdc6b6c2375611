#!/usr/bin/env python3
"""Wayland timing harness: runs the real tapwell on a private headless sway
against a native Qt window (tests/wayland/receiver, --bulk) that stamps the
first key press and Enter with the monotonic clock, runs wtype on the same work
in the same run as the reference, and prints the Wayland rows of BENCHMARKS.md:
commands, a literal, and an exact text of kanji that no key of the layout types.

Standard library only. Usage:
    wayland_timing.py --build build/default [--runs 3]
"""

import argparse
import grp
import os
import pwd
import random
import shutil
import statistics
import string
import subprocess
import sys
import tempfile
import threading
import time


class Sway:
    """A headless sway; as root it runs as nobody with its own runtime folder."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tapwell-wlbench-")
        os.chmod(self.dir, 0o711)
        self.run = os.path.join(self.dir, "run")
        os.mkdir(self.run, 0o700)
        ids = None
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            ids = (nobody.pw_uid, grp.getgrnam("nogroup").gr_gid)
            os.chown(self.run, *ids)
        config = os.path.join(self.dir, "config")
        with open(config, "w") as f:
            f.write("default_border none\n"
                    "exec sh -c 'echo \"$WAYLAND_DISPLAY\" > \"$XDG_RUNTIME_DIR/name.new\" && "
                    "mv \"$XDG_RUNTIME_DIR/name.new\" \"$XDG_RUNTIME_DIR/name\"'\n")
        os.chmod(config, 0o644)

        def drop():
            if ids:
                os.setgroups([])
                os.setgid(ids[1])
                os.setuid(ids[0])

        env = {"PATH": "/usr/bin:/bin", "HOME": self.run, "XDG_RUNTIME_DIR": self.run,
               "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"}
        self.proc = subprocess.Popen(["sway", "-c", config], env=env, preexec_fn=drop,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        name = os.path.join(self.run, "name")
        deadline = time.monotonic() + 15
        while not os.path.exists(name):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise RuntimeError("sway did not start")
            time.sleep(0.01)
        with open(name) as f:
            self.socket = f.read().strip()

    def env(self):
        env = dict(os.environ)
        env["WAYLAND_DISPLAY"] = self.socket
        env["XDG_RUNTIME_DIR"] = self.run
        for name in ("DISPLAY", "TAPWELL_BACKEND", "XKB_DEFAULT_LAYOUT"):
            env.pop(name, None)
        return env

    def close(self):
        self.proc.terminate()
        self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


class Lines:
    """A process whose output lines (stdout or stderr) a thread collects."""

    def __init__(self, argv, env, stream):
        self.proc = subprocess.Popen(argv, env=env, text=True, bufsize=1, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE if stream == "out" else subprocess.DEVNULL,
                                     stderr=subprocess.PIPE if stream == "err" else subprocess.DEVNULL)
        self.pipe = self.proc.stdout if stream == "out" else self.proc.stderr
        self.lines = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.pipe:
            with self.cond:
                self.lines.append(line.rstrip("\n"))
                self.cond.notify_all()

    def wait_for(self, pred, timeout):
        with self.cond:
            return self.cond.wait_for(lambda: any(pred(l) for l in self.lines), timeout)

    def close(self):
        self.proc.kill()
        self.proc.wait()


def measure(build, sway, argv, expected):
    """Runs argv against a fresh receiver; (seconds from the first press to Enter, text intact)."""
    env = sway.env()
    receiver = Lines([os.path.join(build, "tests/wayland/wl_receiver"), "--bulk"],
                     dict(env, QT_QPA_PLATFORM="wayland"), "out")
    try:
        if not receiver.wait_for(lambda l: l == "ready", 10):
            raise RuntimeError("the receiver did not get the focus")
        subprocess.run(argv, env=env, check=True, stdout=subprocess.DEVNULL, timeout=300)
        if not receiver.wait_for(lambda l: l.startswith("text "), 120):
            raise RuntimeError("the receiver got no Enter: " + " ".join(argv[:2]))
        span = next(int(l.split()[1]) for l in receiver.lines if l.startswith("span-us "))
        text = next(l[5:] for l in receiver.lines if l.startswith("text "))
        return span / 1e6, text == expected
    finally:
        receiver.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    tapwell = os.path.join(args.build, "src/app/tapwell")
    rng = random.Random(7)
    rows = {k: [] for k in ("cmd", "cmd_ref", "lit", "lit_ref", "text", "text_ref")}
    intact = {"lit": True, "lit_ref": True}
    wrong = {"text": 0, "text_ref": 0}
    for _ in range(args.runs):
        sway = Sway()
        # A keyboard on the seat before each receiver starts: clients pick a new
        # keyboard up asynchronously.
        presence = Lines([tapwell, "--trace", "--run", "!3600"], sway.env(), "err")
        try:
            if not presence.wait_for(lambda l: " wait " in l, 10):
                raise RuntimeError("the keyboard on the seat did not start")
            n = 5000
            span, _ = measure(args.build, sway, [tapwell, "--run", "_a" * n + "_enter"], "a" * n)
            rows["cmd"].append(n / span)
            span, _ = measure(args.build, sway, ["wtype"] + ["-k", "a"] * n + ["-k", "Return"], "a" * n)
            rows["cmd_ref"].append(n / span)
            text = "".join(rng.choice(string.ascii_lowercase + string.digits) for _ in range(10000))
            span, ok = measure(args.build, sway, [tapwell, "--run", '"' + text + '"_enter'], text)
            rows["lit"].append(2 * len(text) / span)
            intact["lit"] &= ok
            span, ok = measure(args.build, sway, ["wtype", text, "-k", "Return"], text)
            rows["lit_ref"].append(2 * len(text) / span)
            intact["lit_ref"] &= ok
            # 300 random kanji: each goes on a free keycode of an uploaded keymap.
            kanji = "".join(chr(rng.randint(0x4E00, 0x9FA5)) for _ in range(300))
            span, ok = measure(args.build, sway, [tapwell, "--run", "'" + kanji + "'_enter"], kanji)
            rows["text"].append(len(kanji) / span)
            wrong["text"] += not ok
            span, ok = measure(args.build, sway, ["wtype", kanji, "-k", "Return"], kanji)
            rows["text_ref"].append(len(kanji) / span)
            wrong["text_ref"] += not ok
        finally:
            presence.close()
            sway.close()

    def fig(values):
        return "%.0f (%.0f to %.0f)" % (statistics.median(values), min(values), max(values))

    print("| Figure | Tapwell, median (min to max) of %d runs | wtype |" % args.runs)
    print("|---|---|---|")
    print("| Commands/s (`_a` x 5,000) | %s | %s |" % (fig(rows["cmd"]), fig(rows["cmd_ref"])))
    print("| Literal of 10,000 characters, key events/s as received | %s, %s | %s, %s |" % (
        fig(rows["lit"]), "all intact" if intact["lit"] else "CHARACTERS LOST",
        fig(rows["lit_ref"]), "all intact" if intact["lit_ref"] else "CHARACTERS LOST"))
    print("| Exact text, 300 kanji not on the keymap, characters/s | %s; wrong in %d of %d runs | %s; wrong in %d |" % (
        fig(rows["text"]), wrong["text"], args.runs, fig(rows["text_ref"]), wrong["text_ref"]))
    return 0 if intact["lit"] and wrong["text"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
