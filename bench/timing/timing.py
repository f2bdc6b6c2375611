#!/usr/bin/env python3
"""Timing harness: runs the real tapwell under its own Xvfb against a receiving X
window that stamps every event with the monotonic clock, runs xdotool on the
same work in the same run as the reference, and prints a table of
figure, target, measured (median, min, max of the runs) and reference.

Standard library only. Usage:
    timing.py --build build/default [--runs 5] [--idle-seconds 60] [--quick]
              [--only-text]
"""

import argparse
import json
import os
import random
import shutil
import signal
import statistics
import string
import subprocess
import sys
import tempfile
import threading
import time


def now_ns():
    return time.monotonic_ns()


class Xvfb:
    """A private X server on a free display number."""

    def __init__(self, width=1024, height=768):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-noreset", "-nolisten", "tcp",
             "-screen", "0", "%dx%dx24" % (width, height)],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                c = pipe.read(1)
                if not c:
                    break
                number += c
        if not number.strip():
            raise RuntimeError("Xvfb did not report a display number")
        self.display = ":" + number.decode().strip()
        self.home = tempfile.mkdtemp(prefix="tapwell-bench-")

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env["HOME"] = self.home
        env["XDG_CONFIG_HOME"] = os.path.join(self.home, "config")
        env["XDG_RUNTIME_DIR"] = self.home
        # The tray icon docks in the X11 tray host here, not over a session bus.
        for name in ("DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        return env

    def close(self):
        self.proc.terminate()
        self.proc.wait()
        shutil.rmtree(self.home, ignore_errors=True)


class Receiver:
    """bench_receiver: its lines, read by a thread as they come."""

    def __init__(self, exe, mode, env):
        self.proc = subprocess.Popen([exe, mode], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     env=env, text=True, bufsize=1)
        self.lines = []
        self.cond = threading.Condition()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        if not self.wait_for(lambda line: line.startswith("ready"), 10):
            raise RuntimeError("the receiver did not get ready")

    def _read(self):
        for line in self.proc.stdout:
            with self.cond:
                self.lines.append(line.rstrip("\n"))
                self.cond.notify_all()
        with self.cond:
            self.lines.append("eof")
            self.cond.notify_all()

    def wait_for(self, pred, timeout, start=0):
        deadline = time.monotonic() + timeout
        with self.cond:
            seen = start
            while True:
                while seen < len(self.lines):
                    if pred(self.lines[seen]):
                        return self.lines[seen]
                    seen += 1
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.cond.wait(left)

    def mark(self):
        with self.cond:
            return len(self.lines)

    def keys_since(self, start):
        """(kind, keysym, ns) of the key events after the mark."""
        out = []
        with self.cond:
            for line in self.lines[start:]:
                parts = line.split()
                if len(parts) == 3 and parts[0] in ("press", "release"):
                    out.append((parts[0], parts[1], int(parts[2])))
        return out

    def wait_keys(self, start, count, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if len(self.keys_since(start)) >= count:
                break
            time.sleep(0.02)
        # Anything late or extra still arrives.
        time.sleep(0.2)
        return self.keys_since(start)

    def close(self):
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def percentile(values, p):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    k = (len(ordered) - 1) * p / 100.0
    lo = int(k)
    hi = min(lo + 1, len(ordered) - 1)
    return ordered[lo] + (ordered[hi] - ordered[lo]) * (k - lo)


def presses(events):
    return [e for e in events if e[0] == "press"]


class KeyBench:
    """The key figures on one X server: tapwell --run and xdotool on the same work."""

    def __init__(self, args, server, receiver):
        self.args = args
        self.server = server
        self.receiver = receiver

    def tapwell(self, script, timeout):
        r = subprocess.run([self.args.tapwell, "--run", script], env=self.server.env(),
                           capture_output=True, text=True, timeout=timeout)
        if r.returncode != 0:
            raise RuntimeError("tapwell --run failed (%d): %s" % (r.returncode, r.stderr))

    def xdotool(self, argv, timeout):
        subprocess.run(["xdotool"] + argv, env=self.server.env(), check=True, timeout=timeout,
                       stdout=subprocess.DEVNULL)

    def _collect(self, run, count, timeout):
        start = self.receiver.mark()
        run()
        return self.receiver.wait_keys(start, count, timeout)

    def strokes(self, n, reference):
        """Commands per second: n strokes, one command each; and for tapwell the
        lateness (ms) of each press against its deadline, the first press plus
        1 ms per step, as the dry run schedules them."""
        if reference:
            events = self._collect(lambda: self.xdotool(["key", "--delay", "0"] + ["a"] * n, 120),
                                   2 * n, 30)
        else:
            events = self._collect(lambda: self.tapwell("_a" * n, 120), 2 * n, 30)
        p = presses(events)
        if len(p) != n:
            raise RuntimeError("%d of %d strokes arrived" % (len(p), n))
        late = [] if reference else [(e[2] - p[0][2]) / 1e6 - i for i, e in enumerate(p)]
        return (n - 1) / ((p[-1][2] - p[0][2]) / 1e9), late

    def waits(self, seconds, count, reference):
        """Lateness (ms) of each wait against its requested time, from the release
        of the stroke before it to the press of the stroke after it."""
        if reference:
            argv = ["key", "a"]
            for _ in range(count):
                argv += ["sleep", repr(seconds), "key", "a"]
            events = self._collect(lambda: self.xdotool(argv, 60 + count * seconds * 2),
                                   2 * (count + 1), 30 + count * seconds * 2)
            # xdotool's sleep is the whole gap it asks for.
            requested = seconds * 1000.0
        else:
            script = "_a" + ("!%s_a" % repr(seconds)) * count
            events = self._collect(lambda: self.tapwell(script, 60 + count * seconds * 2),
                                   2 * (count + 1), 30 + count * seconds * 2)
            # The wait command takes one 1 ms tick, the wait, then one 1 ms interval
            # before the next command.
            requested = seconds * 1000.0 + 2.0
        late = []
        for before, after in zip(events, events[1:]):
            if before[0] == "release" and after[0] == "press":
                late.append((after[2] - before[2]) / 1e6 - requested)
        if len(late) != count:
            raise RuntimeError("%d of %d waits seen" % (len(late), count))
        return late

    def literal(self, n, reference):
        """Key events per second of an n-character literal typed in one step, and
        whether every character arrived in order."""
        rng = random.Random(n)
        text = "".join(rng.choice(string.ascii_lowercase + string.digits) for _ in range(n))
        if reference:
            events = self._collect(lambda: self.xdotool(["type", "--delay", "0", text], 300), 2 * n, 300)
        else:
            events = self._collect(lambda: self.tapwell('"%s"' % text, 120), 2 * n, 60)
        typed = "".join(e[1] for e in presses(events))
        complete = typed == text and len(events) == 2 * n
        rate = (len(events) - 1) / ((events[-1][2] - events[0][2]) / 1e9) if len(events) > 1 else 0.0
        return rate, complete


    def exact_text(self, n, reference):
        """Characters per second of an n-character exact text of kanji that no
        layout key carries, from the first to the last press, and whether every
        character arrived as itself and in order."""
        rng = random.Random(n)
        text = "".join(chr(rng.randrange(0x4E00, 0x9FA6)) for _ in range(n))
        if reference:
            events = self._collect(lambda: self.xdotool(["type", text], 300), 2 * n, 120)
        else:
            events = self._collect(lambda: self.tapwell("'%s'" % text, 120), 2 * n, 120)
        chars = [e for e in presses(events) if e[1].startswith("U") or e[1] == "NoSymbol"]
        typed = "".join(chr(int(e[1][1:], 16)) if e[1] != "NoSymbol" else "?" for e in chars)
        rate = (len(chars) - 1) / ((chars[-1][2] - chars[0][2]) / 1e9) if len(chars) > 1 else 0.0
        return rate, typed == text


def exact_text_only(args):
    """The exact-text figure alone, tapwell and xdotool on the same server."""
    raw = ([], [])
    wrong = [0, 0]
    for run in range(args.runs):
        print("run %d of %d: exact text" % (run + 1, args.runs), file=sys.stderr, flush=True)
        server = Xvfb()
        try:
            receiver = Receiver(args.receiver, "keys", server.env())
            try:
                bench = KeyBench(args, server, receiver)
                for ref in (0, 1):
                    rate, correct = bench.exact_text(300, ref == 1)
                    raw[ref].append(rate)
                    wrong[ref] += 0 if correct else 1
            finally:
                receiver.close()
        finally:
            server.close()
    return exact_text_row(args, raw, wrong)


def exact_text_row(args, raw, wrong):
    return ("Exact text, 300 kanji not on the keymap, characters/s", ">= 300/s, all correct",
            "%s; wrong in %d of %d runs" % (fmt(raw[0], "/s", 0), wrong[0], args.runs),
            "xdotool type (default delay): %s; wrong in %d runs" % (fmt(raw[1], "/s", 0), wrong[1]))


def engine_ratio(args):
    """Cost of one step with 1 MB behind it against 100 bytes behind it, per
    repetition of the engine benchmark."""
    exe = os.path.join(args.build, "bench", "engine_bench")
    r = subprocess.run([exe, "--benchmark_filter=BM_StepCost", "--benchmark_repetitions=%d" % args.runs,
                        "--benchmark_format=json"], capture_output=True, text=True, check=True)
    data = json.loads(r.stdout)
    small = [b["real_time"] for b in data["benchmarks"]
             if b.get("run_type") == "iteration" and b["name"].startswith("BM_StepCost/100")]
    large = [b["real_time"] for b in data["benchmarks"]
             if b.get("run_type") == "iteration" and b["name"].startswith("BM_StepCost/1048576")]
    return [l / s for s, l in zip(small, large)], small, large


def reservation_days(args):
    """A simulated day of drifting clock ticks per run (bench/reservation_day):
    the p99 lateness of each second's check after its boundary, and the seconds
    missed or checked twice."""
    exe = os.path.join(args.build, "bench", "reservation_day")
    p99, worst, faults = [], [], 0
    for seed in range(1, args.runs + 1):
        r = subprocess.run([exe, str(seed)], capture_output=True, text=True)
        fields = {}
        for line in r.stdout.splitlines():
            words = line.split()
            fields.update({words[0] + ":" + words[i]: words[i + 1] for i in range(1, len(words) - 1, 2)})
        p99.append(float(fields["own_tick_late_ms:p99"]))
        worst.append(float(fields["late_ms:max"]))
        faults += int(fields["day:missed"]) + int(fields["day:twice"])
    return p99, worst, faults


def proc_cpu_ns(pid):
    """CPU time of all threads in nanoseconds (schedstat: finer than the 10 ms
    ticks of /proc/<pid>/stat, which would make 0.083 % the smallest step of a
    12 s window)."""
    total = 0
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, tid)) as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass
    return total


def proc_rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def proc_switches(pid):
    """Voluntary and involuntary context switches of all threads: every wake-up."""
    total = 0
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                for line in f:
                    if "ctxt_switches" in line:
                        total += int(line.split()[1])
        except FileNotFoundError:
            pass
    return total


class Gui:
    """The full program on a server with a tray host, and a watcher of top-level
    windows that stamps their mapping."""

    def __init__(self, args, server, hidden=False):
        self.server = server
        # The watcher first, so that it sees the tray host's panel appear.
        self.watch = Receiver(args.receiver, "maps", server.env())
        self.tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                      "--height", "24"], env=server.env(), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        if not self.watch.wait_for(lambda l: l.startswith("map ") and l.endswith(" panel"), 10):
            self.tray.terminate()
            self.tray.wait()
            self.watch.close()
            raise RuntimeError("the tray host did not appear")
        self.started = now_ns()
        self.proc = subprocess.Popen([args.tapwell] + (["--tray"] if hidden else []), env=server.env(),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def mapped(self, name, timeout):
        line = self.watch.wait_for(lambda l: l.startswith("map ") and l.split(" ", 7)[-1] == name, timeout)
        return int(line.split()[6]) if line else None

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.watch.close()
        self.tray.terminate()
        self.tray.wait()


def startup_once(args):
    server = Xvfb()
    try:
        gui = Gui(args, server)
        try:
            splash = gui.mapped("startup", 15)
            main = gui.mapped("Tapwell", 15)
            if splash is None or main is None:
                raise RuntimeError("the splash or the main window did not appear")
            return (splash - gui.started) / 1e6, (main - splash) / 1e6, (main - gui.started) / 1e6
        finally:
            gui.close()
    finally:
        server.close()


def idle(args, hidden):
    """CPU share and wake-ups per second of the idle program in windows of
    idle_seconds / runs each, and its resident memory."""
    server = Xvfb()
    try:
        gui = Gui(args, server, hidden)
        try:
            if hidden:
                # Started to the tray: the splash hands over to the hidden state.
                gui.mapped("startup", 15)
                time.sleep(3)
            elif gui.mapped("Tapwell", 15) is None:
                raise RuntimeError("the main window did not appear")
            time.sleep(2)
            pid = gui.proc.pid
            window = args.idle_seconds / args.runs
            cpu, wakeups, rss = [], [], []
            for _ in range(args.runs):
                c0, w0, t0 = proc_cpu_ns(pid), proc_switches(pid), time.monotonic()
                time.sleep(window)
                c1, w1, t1 = proc_cpu_ns(pid), proc_switches(pid), time.monotonic()
                cpu.append(100.0 * (c1 - c0) / 1e9 / (t1 - t0))
                wakeups.append((w1 - w0) / (t1 - t0))
                rss.append(proc_rss_kb(pid) / 1024.0)
            return cpu, wakeups, rss
        finally:
            gui.close()
    finally:
        server.close()


def fmt(values, unit="", digits=1):
    if not values:
        return "-"
    f = "%%.%df" % digits
    return "%s%s (%s to %s)" % (f % statistics.median(values), unit, f % min(values), f % max(values))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--quick", action="store_true", help="fewer and shorter waits, 10 s idle")
    parser.add_argument("--json", help="also write the raw figures to this file")
    parser.add_argument("--only-text", action="store_true", help="only the exact-text figure")
    parser.add_argument("--keys-only", action="store_true", help="only the key figures (strokes, waits, literal, exact text)")
    args = parser.parse_args()
    args.tapwell = os.path.join(args.build, "src", "app", "tapwell")
    args.receiver = os.path.join(args.build, "bench", "bench_receiver")
    if args.quick:
        args.idle_seconds = min(args.idle_seconds, 10.0)
    for tool in ("Xvfb", "xdotool", "trayer"):
        if shutil.which(tool) is None:
            sys.exit("timing.py: %s is not installed (scripts/install-deps.sh)" % tool)

    if args.only_text:
        row = exact_text_only(args)
        print()
        print("| Figure | Target | Measured: median (min to max) | Reference |")
        print("|---|---|---|---|")
        print("| %s |" % " | ".join(row))
        return

    waits = [(0.03, 50), (1.0, 3 if args.quick else 5), (10.0, 1)]
    raw = {"strokes": ([], []), "step lateness": ([], []), "literal": ([], []), "lost": ([], []),
           "text": ([], [])}
    text_wrong = [0, 0]
    for seconds, _ in waits:
        raw["wait %s" % seconds] = ([], [])

    for run in range(args.runs):
        print("run %d of %d: keys" % (run + 1, args.runs), file=sys.stderr, flush=True)
        server = Xvfb()
        try:
            receiver = Receiver(args.receiver, "keys", server.env())
            try:
                bench = KeyBench(args, server, receiver)
                for ref in (0, 1):
                    rate, late = bench.strokes(5000, ref == 1)
                    raw["strokes"][ref].append(rate)
                    raw["step lateness"][ref].extend(late)
                    for seconds, count in waits:
                        raw["wait %s" % seconds][ref].extend(bench.waits(seconds, count, ref == 1))
                    rate, complete = bench.literal(10000, ref == 1)
                    raw["literal"][ref].append(rate)
                    raw["lost"][ref].append(0 if complete else 1)
                    rate, correct = bench.exact_text(300, ref == 1)
                    raw["text"][ref].append(rate)
                    text_wrong[ref] += 0 if correct else 1
            finally:
                receiver.close()
        finally:
            server.close()

    def p99(key, ref):
        return percentile(raw[key][ref], 99)

    rows = [
        ("Commands/s, 5,000 strokes (--run)", ">= 990/s", fmt(raw["strokes"][0], "/s", 0),
         "xdotool key --delay 0: " + fmt(raw["strokes"][1], "/s", 0)),
        ("Step lateness against its deadline, 5,000 strokes (--run), p99 of %d steps"
         % len(raw["step lateness"][0]), "p99 <= 2 ms",
         "p99 %.2f ms; p50 %.2f ms" % (p99("step lateness", 0), percentile(raw["step lateness"][0], 50)), "-"),
    ]
    for seconds, count in waits:
        key = "wait %s" % seconds
        rows.append(("Lateness of !%s, p99 of %d waits" % (("%g" % seconds), len(raw[key][0])), "p99 <= 2 ms",
                     "p99 %.2f ms; p50 %.2f ms (%.2f to %.2f)" % (
                         p99(key, 0), percentile(raw[key][0], 50), min(raw[key][0]), max(raw[key][0])),
                     "xdotool sleep: p99 %.2f ms; median %s" % (p99(key, 1), fmt(raw[key][1], " ms", 2))))
    rows += [
        ("10,000-character literal, key events/s", ">= 100,000/s, none lost",
         "%s; lost in %d of %d runs" % (fmt(raw["literal"][0], "/s", 0), sum(raw["lost"][0]), args.runs),
         "xdotool type --delay 0: %s; lost in %d runs" % (fmt(raw["literal"][1], "/s", 0), sum(raw["lost"][1]))),
        exact_text_row(args, raw["text"], text_wrong),
    ]

    def table(rows):
        print()
        print("| Figure | Target | Measured: median (min to max) | Reference |")
        print("|---|---|---|---|")
        for row in rows:
            print("| %s |" % " | ".join(row))

    if args.keys_only:
        table(rows)
        if args.json:
            with open(args.json, "w") as f:
                json.dump({"raw": raw}, f, indent=1)
        return

    print("engine step cost", file=sys.stderr, flush=True)
    ratios, small, large = engine_ratio(args)

    print("reservation, simulated days", file=sys.stderr, flush=True)
    res_p99, res_worst, res_faults = reservation_days(args)

    print("start-up", file=sys.stderr, flush=True)
    splash_ms, handover_ms, start_main_ms = [], [], []
    for _ in range(args.runs):
        s, h, m = startup_once(args)
        splash_ms.append(s)
        handover_ms.append(h)
        start_main_ms.append(m)

    print("idle, shown and hidden (%.0f s each)" % args.idle_seconds, file=sys.stderr, flush=True)
    cpu_shown, wake_shown, rss_shown = idle(args, False)
    cpu_hidden, wake_hidden, rss_hidden = idle(args, True)

    rows += [
        ("Step cost, 1 MB vs 100 B behind it", "ratio <= 1.2", fmt(ratios, "", 2),
         "%.0f ns vs %.0f ns (medians)" % (statistics.median(large), statistics.median(small))),
        ("Reservation: check after its second boundary, simulated day of drifting ticks",
         "<= 10 ms late, none missed", "p99 %s; missed or twice: %d" % (fmt(res_p99, " ms", 1), res_faults),
         "worst, after a stall of the loop: %s" % fmt(res_worst, " ms", 0)),
        ("Idle CPU, shown (%d windows of %.0f s)" % (args.runs, args.idle_seconds / args.runs), "<= 0.1 %",
         fmt(cpu_shown, " %", 3), "-"),
        ("Idle CPU, hidden (%d windows of %.0f s)" % (args.runs, args.idle_seconds / args.runs), "<= 0.1 %",
         fmt(cpu_hidden, " %", 3), "-"),
        ("Idle wake-ups/s of the process, shown", "stepper: 0", fmt(wake_shown, "/s", 1),
         "a running stepper: ~1,000/s"),
        ("Idle wake-ups/s of the process, hidden", "stepper: 0", fmt(wake_hidden, "/s", 1),
         "a running stepper: ~1,000/s"),
        ("Resident memory, idle, shown", "<= 40 MB", fmt(rss_shown, " MB", 1), "-"),
        ("Resident memory, idle, hidden", "<= 40 MB", fmt(rss_hidden, " MB", 1), "-"),
        ("Start to splash shown", "<= 300 ms", fmt(splash_ms, " ms", 0), "-"),
        ("Splash shown to main window shown (creation is before the showing)", "2,000 ms + <= 50 ms",
         fmt(handover_ms, " ms", 0), "-"),
        ("Start to main window shown (creation is after the start)", "2,000 ms + <= 50 ms + start to creation",
         fmt(start_main_ms, " ms", 0), "-"),
    ]
    table(rows)
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"raw": raw, "ratios": ratios, "splash_ms": splash_ms, "handover_ms": handover_ms,
                       "start_main_ms": start_main_ms,
                       "cpu_shown": cpu_shown, "cpu_hidden": cpu_hidden, "wake_shown": wake_shown,
                       "wake_hidden": wake_hidden, "rss_shown": rss_shown, "rss_hidden": rss_hidden}, f,
                      indent=1)


if __name__ == "__main__":
    main()
