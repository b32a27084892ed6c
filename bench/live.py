#!/usr/bin/env python3
"""Live view benchmark: what following a walked volume costs and how soon a change shows.

Runs `quarnel-scan --follow` on the walker benchmark's tree (built by make-tree.py when missing)
with each way of following, and reports:
  - memory: peak RSS while following against a plain walk's, per entry of the tree;
  - idle: CPU taken over --idle seconds with nothing changing, as a share of one core;
  - latency: from the end of a change to the line that reports it, for a 1 GB file written, a
    10,000-file folder removed and a folder moved within the volume (--reps each; p95 and max);
  - churn: CPU taken while another process makes --rate files a second for 10 s, in a tree of
    10,000 files in memory (--churn-tree), which makes them as fast as asked;
  - exactness: the churn test's long run (100,000 operations from four processes, with fanotify
    and with inotify, as root and as an ordinary user) against a fresh walk, folder by folder.
Changes are made in a scratch folder inside the tree, removed at the end. Run as root for the
fanotify rows. Progress goes to stderr, the report to stdout.
"""

import argparse
import os
import pathlib
import queue
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time

HERE = pathlib.Path(__file__).resolve().parent


def log(message):
    print(message, file=sys.stderr, flush=True)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def status_kib(pid, key):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


class Follower:
    """quarnel-scan --follow, its lines read as they come, each with when it came."""

    def __init__(self, scan, root, way):
        self.root = root
        self.process = subprocess.Popen(
            [scan, f"--follow={way}", root], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            text=True, bufsize=1)
        self.lines = queue.Queue()
        self.ready = threading.Event()
        self.failed = None
        threading.Thread(target=self._read_out, daemon=True).start()
        threading.Thread(target=self._read_err, daemon=True).start()
        if not self.ready.wait(600) or self.failed:
            raise RuntimeError(self.failed or "quarnel-scan did not start following")

    def _read_out(self):
        for line in self.process.stdout:
            path, old, new = line.rstrip("\n").split("\t")
            self.lines.put((time.monotonic(), path, int(old), int(new)))

    def _read_err(self):
        for line in self.process.stderr:
            if "following" in line and "ended" not in line:
                self.ready.set()
            elif "cannot follow" in line:
                self.failed = line.strip()
                self.ready.set()

    def drain(self):
        while not self.lines.empty():
            self.lines.get_nowait()

    def wait_for(self, path, test, timeout=30):
        """When the first line for `path` whose new total passes `test` came."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                at, seen, _, new = self.lines.get(timeout=left)
            except queue.Empty:
                return None
            if seen == path and test(new):
                return at

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        self.process.wait(30)


def write_file(path, size):
    chunk = b"\1" * (64 << 20)
    with open(path, "wb") as out:
        left = size
        while left > 0:
            out.write(chunk[: min(left, len(chunk))])
            left -= len(chunk)


def latencies(follower, scratch, reps):
    rel = os.path.relpath(scratch, follower.root)
    results = {"1 GB file written": [], "10,000-file folder removed": [],
               "folder moved within the volume": []}
    for rep in range(reps):
        big = scratch / "big.bin"
        follower.drain()
        write_file(big, 1 << 30)
        done = time.monotonic()
        at = follower.wait_for(rel, lambda new: new >= 1 << 30)
        results["1 GB file written"].append(at - done if at else None)
        big.unlink()
        follower.wait_for(rel, lambda new: new < 1 << 30)

        many = scratch / "many"
        many.mkdir()
        for i in range(10000):
            (many / f"f{i}").write_bytes(b"x" * 100)
        follower.wait_for(f"{rel}/many", lambda new: new == 1000000)
        follower.drain()
        shutil.rmtree(many)
        done = time.monotonic()
        at = follower.wait_for(f"{rel}/many", lambda new: new == 0)
        results["10,000-file folder removed"].append(at - done if at else None)

        moving = scratch / "a" / "moving"
        moving.mkdir(parents=True)
        (moving / "payload").write_bytes(b"y" * 4321)
        (scratch / "b").mkdir(exist_ok=True)
        follower.wait_for(f"{rel}/a/moving", lambda new: new == 4321)
        follower.drain()
        os.rename(moving, scratch / "b" / "moving")
        done = time.monotonic()
        at = follower.wait_for(f"{rel}/b/moving", lambda new: new == 4321)
        results["folder moved within the volume"].append(at - done if at else None)
        shutil.rmtree(scratch / "b" / "moving")
        log(f"  latency round {rep + 1}/{reps}")
    return results


def churn_cpu(follower, scratch, rate, seconds=10):
    target = scratch / "churn"
    target.mkdir()
    cpu0 = cpu_seconds(follower.process.pid)
    wall0 = time.monotonic()
    made = 0
    payload = b"z" * 4000
    while time.monotonic() - wall0 < seconds:
        due = int((time.monotonic() - wall0) * rate)
        while made < due:
            fd = os.open(target / f"c{made}", os.O_WRONLY | os.O_CREAT, 0o644)
            os.write(fd, payload[: made % 4000])
            os.close(fd)
            made += 1
        time.sleep(0.002)
    wall = time.monotonic() - wall0
    time.sleep(1)  # the last burst listed
    cpu = cpu_seconds(follower.process.pid) - cpu0
    shutil.rmtree(target)
    return made / wall, cpu / (wall + 1)


def p95(values):
    values = sorted(v for v in values if v is not None)
    if not values:
        return None
    return values[min(len(values) - 1, int(round(0.95 * (len(values) - 1))))]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tree", default="/var/tmp/quarnel-bench/tree")
    parser.add_argument("--quarnel-scan", default=str(HERE.parent / "build/quarnel-scan"))
    parser.add_argument("--follow-test", default=str(HERE.parent / "build/tests/live/tst_follow"))
    parser.add_argument("--reps", type=int, default=10)
    parser.add_argument("--idle", type=float, default=20)
    parser.add_argument("--rate", type=int, default=10000)
    parser.add_argument("--churn-tree", default="/dev/shm/quarnel-live-churn")
    parser.add_argument("--ways", default="fanotify,inotify")
    parser.add_argument("--no-churn-test", action="store_true")
    args = parser.parse_args()

    tree = pathlib.Path(args.tree)
    if not tree.is_dir():
        log(f"building {tree} ...")
        subprocess.run([sys.executable, str(HERE / "make-tree.py"), str(tree)], check=True)
    entries = None
    manifest = pathlib.Path(str(tree) + ".manifest.json")
    if manifest.exists():
        import json
        counts = json.loads(manifest.read_text())
        entries = counts.get("entries")
    scratch = tree / ".live-scratch"
    shutil.rmtree(scratch, ignore_errors=True)

    plain = subprocess.run(["/usr/bin/time", "-f", "%M", args.quarnel_scan, str(tree)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    plain_kib = int(plain.stderr.strip().splitlines()[-1])
    print(f"tree {tree}: {entries or '?'} entries; plain walk peak RSS {plain_kib / 1024:.1f} MiB")

    for way in args.ways.split(","):
        log(f"{way}: walking and following ...")
        try:
            follower = Follower(args.quarnel_scan, str(tree), way)
        except RuntimeError as error:
            print(f"\n{way}: {error}")
            continue
        try:
            pid = follower.process.pid
            time.sleep(2)
            kib = status_kib(pid, "VmHWM")
            cpu0 = cpu_seconds(pid)
            time.sleep(args.idle)
            idle = (cpu_seconds(pid) - cpu0) / args.idle
            scratch.mkdir()
            follower.wait_for("", lambda new: True, timeout=3)
            results = latencies(follower, scratch, args.reps)
        finally:
            follower.stop()
            shutil.rmtree(scratch, ignore_errors=True)
        # The churn runs on a tree in memory, whose files are made as fast as asked: this
        # machine's disk makes a few thousand a second at best, and slows after big writes.
        churn_tree = pathlib.Path(args.churn_tree)
        shutil.rmtree(churn_tree, ignore_errors=True)
        for folder in range(100):
            (churn_tree / f"d{folder}").mkdir(parents=True)
            for file in range(100):
                (churn_tree / f"d{folder}" / f"f{file}").write_bytes(b"w" * file)
        try:
            churner = Follower(args.quarnel_scan, str(churn_tree), way)
            try:
                rate, churn = churn_cpu(churner, churn_tree, args.rate)
            finally:
                churner.stop()
        finally:
            shutil.rmtree(churn_tree, ignore_errors=True)
        print(f"\n{way}")
        extra = (kib - plain_kib) * 1024
        per_entry = f", {extra / entries:.1f} B/entry" if entries else ""
        print(f"  memory: peak RSS {kib / 1024:.1f} MiB, {extra / 1048576:+.1f} MiB on the plain "
              f"walk{per_entry} (target <= 8)")
        print(f"  idle: {idle * 100:.2f} % of a core over {args.idle:.0f} s (target < 0.5 %)")
        for name, values in results.items():
            missed = sum(v is None for v in values)
            shown = [v for v in values if v is not None]
            print(f"  {name}: p95 {p95(values) or float('nan'):.3f} s, max "
                  f"{max(shown, default=float('nan')):.3f} s, median "
                  f"{statistics.median(shown) if shown else float('nan'):.3f} s over "
                  f"{len(values)}{f', {missed} never shown' if missed else ''} (target p95 <= 1 s)")
        print(f"  churn: {rate:.0f} files made a second in {churn_tree}, quarnel-scan "
              f"{churn * 100:.1f} % of a core (target < 30 %)")

    if not args.no_churn_test and pathlib.Path(args.follow_test).exists():
        log("the churn test's long run ...")
        env = dict(os.environ, QUARNEL_CHURN_OPERATIONS="100000", QT_QPA_PLATFORM="offscreen")
        run = subprocess.run([args.follow_test, "churn"], env=env, capture_output=True, text=True)
        print("\nexactness after 100,000 operations from four processes:")
        for line in run.stdout.splitlines():
            if line.startswith(("PASS", "FAIL", "SKIP")) and "churn" in line:
                print("  " + line)
        if run.returncode != 0:
            print(run.stdout[-3000:])
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
