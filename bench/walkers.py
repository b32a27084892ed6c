#!/usr/bin/env python3
"""Time quarnel-scan against du, ncdu, gdu and a bare two-thread walk on one large tree.

    bench/walkers.py [--tree DIR] [--runs 5] [--quarnel-scan PATH] [--other-scan PATH]
                     [--peers du,ncdu,gdu] [--threads N] [--cold]

The report goes to stdout, progress to stderr; see bench/README.md for how to read it.
Exits 1 when quarnel-scan's totals disagree with the tree's manifest or a run of it fails.
"""

import argparse
import datetime
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
DEFAULT_TREE = "/var/tmp/quarnel-bench/tree"
DEFAULT_SCAN = os.path.join(REPO, "build", "quarnel-scan")
PEERS = ("du", "ncdu", "gdu")
QS = "quarnel-scan"
QS_OTHER = "quarnel-scan, other"
BARE = "bare walk (2 threads)"


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def manifest_path(tree):
    return os.path.join(os.path.dirname(tree), os.path.basename(tree) + ".manifest.json")


def ensure_tree(tree, files, folders, seed):
    """Build the tree unless a finished one is there.  Explicit sizes rebuild a tree built
    with other ones; without them any finished tree is taken as it is."""
    mpath = manifest_path(tree)
    manifest = None
    if os.path.exists(mpath):
        with open(mpath, encoding="utf-8") as f:
            manifest = json.load(f)
    explicit = files is not None or folders is not None or seed is not None
    if manifest and manifest.get("complete") and os.path.isdir(tree) and not explicit:
        return manifest
    cmd = [sys.executable, os.path.join(HERE, "make-tree.py"), tree]
    for flag, value in (("--files", files), ("--folders", folders), ("--seed", seed)):
        if value is not None:
            cmd += [flag, str(value)]
    log("make-tree: " + " ".join(cmd))
    if subprocess.run(cmd).returncode != 0:
        sys.exit("could not build the tree")
    with open(mpath, encoding="utf-8") as f:
        return json.load(f)


def first_line(cmd):
    try:
        out = subprocess.run(cmd, capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return ""
    return out.strip().splitlines()[0].strip() if out.strip() else ""


def machine(tree):
    cpu = "?"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mem = "?"
    try:
        with open("/proc/meminfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("MemTotal:"):
                    mem = f"{int(line.split()[1]) / 1024 / 1024:.0f} GiB RAM"
                    break
    except OSError:
        pass
    distro = ""
    try:
        with open("/etc/os-release", encoding="utf-8") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    distro = line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    return {
        "nproc": len(os.sched_getaffinity(0)),
        "cpu": cpu,
        "kernel": os.uname().release,
        "distro": distro,
        "mem": mem,
        "fs": first_line(["stat", "-f", "-c", "%T", tree]) or "?",
    }


def versions(scan):
    v = {
        "du": first_line(["du", "--version"]),
        "ncdu": first_line(["ncdu", "-v"]),
        # gdu prints "Version:\t 5.22.0-1+b1".
        "gdu": "gdu " + first_line(["gdu", "-v"]).replace("Version:", "").strip(),
    }
    head = first_line(["git", "-C", REPO, "rev-parse", "--short", "HEAD"])
    if head:
        dirty = first_line(["git", "-C", REPO, "status", "--porcelain", "--untracked-files=no"])
        v[QS] = f"quarnel-scan at {head}{' + local changes' if dirty else ''}"
    else:
        v[QS] = "quarnel-scan"
    v[BARE] = "bench/bare-walk.c"
    v[QS_OTHER] = "the other quarnel-scan"
    return v


class Runner:
    """Starts a command with stdout to /dev/null and returns wall s, CPU s, peak RSS KiB."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.cc = shutil.which("cc") or shutil.which("gcc")
        self.helper = self.compile("run-measured")
        if not self.helper:
            log("no C compiler: measuring from Python, whose own peak RSS (~14 MiB) then "
                "hides any smaller footprint")

    def compile(self, name, flags=()):
        """bench/NAME.c built into the work folder; None without a C compiler or on failure."""
        if not self.cc:
            return None
        exe = os.path.join(self.workdir, name)
        r = subprocess.run([self.cc, "-O2", *flags, "-o", exe, os.path.join(HERE, name + ".c")],
                           capture_output=True, text=True)
        if r.returncode != 0:
            log(r.stderr)
            return None
        return exe

    def run(self, argv):
        result = os.path.join(self.workdir, "result")
        err = os.path.join(self.workdir, "stderr")
        with open(os.devnull, "wb") as out, open(err, "wb") as errf:
            if self.helper:
                subprocess.run([self.helper, result] + argv, stdin=subprocess.DEVNULL,
                               stdout=out, stderr=errf, check=True)
                with open(result) as f:
                    wall_ns, cpu_us, rss, status = (int(x) for x in f.read().split())
                wall = wall_ns / 1e9
                cpu = cpu_us / 1e6
            else:
                t0 = time.perf_counter()
                pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=[
                    (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
                    (os.POSIX_SPAWN_DUP2, out.fileno(), 1),
                    (os.POSIX_SPAWN_DUP2, errf.fileno(), 2)])
                _, status, ru = os.wait4(pid, 0)
                wall = time.perf_counter() - t0
                cpu = ru.ru_utime + ru.ru_stime
                rss = ru.ru_maxrss
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            with open(err, errors="replace") as f:
                tail = f.read()[-400:].strip()
            return None, f"exit {code}: {tail}"
        return (wall, cpu, rss), None


def busy_cpu_seconds():
    """CPU time the whole machine has spent outside idle and iowait since boot."""
    with open("/proc/stat") as f:
        fields = [int(x) for x in f.readline().split()[1:9]]
    user, nice, system, _idle, _iowait, irq, softirq, steal = fields
    return (user + nice + system + irq + softirq + steal) / os.sysconf("SC_CLK_TCK")


def drop_caches():
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def check_scan(scan_argv, tree, manifest, workdir):
    """Runs quarnel-scan once and compares its figures with the manifest.
    Returns (lines of report, passed)."""
    out_path = os.path.join(workdir, "scan.out")
    with open(out_path, "wb") as out:
        r = subprocess.run(scan_argv, stdout=out, stderr=subprocess.PIPE)
    if r.returncode != 0:
        msg = r.stderr.decode(errors="replace").strip()[-400:]
        return [f"FAIL  quarnel-scan exited {r.returncode}: {msg}"], False

    lines = 0
    root = None
    subfolders = files = 0
    malformed = []
    with open(out_path, "rb") as f:
        for raw in f:
            lines += 1
            parts = raw.rstrip(b"\n").rsplit(b"\t", 3)
            try:
                total, fdirect, sdirect = (int(x) for x in parts[1:])
            except ValueError:
                if len(malformed) < 3:
                    malformed.append(raw[:120])
                continue
            files += fdirect
            subfolders += sdirect
            if parts[0] == b".":
                root = total

    report = []
    ok = True

    def verdict(good, text):
        nonlocal ok
        ok = ok and good
        report.append(("ok    " if good else "FAIL  ") + text)

    want = manifest["total_apparent_size"]
    if root is None:
        verdict(False, 'no line for "." in quarnel-scan\'s output')
    else:
        hint = ""
        if root != want:
            # Name the likely slip when the figure matches a known variant.
            variants = {
                want - manifest["symlink_bytes"]: "symlinks left out",
                want + manifest["hardlinked_bytes"]: "hard links counted twice",
                want - manifest["symlink_bytes"] + manifest["hardlinked_bytes"]:
                    "symlinks left out and hard links counted twice",
            }
            hint = f" ({variants[root]})" if root in variants else ""
        verdict(root == want, f'total of "." {root:,} B, manifest {want:,} B{hint}')
    verdict(lines == manifest["folders"], f"{lines:,} lines, {manifest['folders']:,} folders")
    verdict(subfolders == manifest["folders"] - 1,
            f"subfolders_direct add up to {subfolders:,}, folders - 1 = {manifest['folders'] - 1:,}")
    if malformed:
        verdict(False, "malformed lines, e.g. " + "; ".join(repr(m) for m in malformed))
    report.append(f"info  files_direct add up to {files:,} (manifest: {manifest['files']:,} file "
                  f"names, {manifest['symlinks']:,} symlinks)")
    return report, ok


def du_total(tree):
    r = subprocess.run(["du", "-s", "--apparent-size", "-b", "-x", tree],
                       capture_output=True, text=True)
    try:
        return int(r.stdout.split()[0])
    except (IndexError, ValueError):
        return None


def fmt_ratio(a, b, digits=2):
    return f"{a / b:.{digits}f}" if a is not None and b else "-"


def human_bytes(n):
    for unit in ("B", "KiB", "MiB", "GiB", "TiB", "PiB"):
        if n < 1024 or unit == "PiB":
            return f"{n:.1f} {unit}" if unit != "B" else f"{n} B"
        n /= 1024


def main():
    ap = argparse.ArgumentParser(description="Benchmark quarnel-scan against du, ncdu and gdu.")
    ap.add_argument("--tree", default=DEFAULT_TREE)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--quarnel-scan", default=DEFAULT_SCAN, dest="scan")
    ap.add_argument("--other-scan", dest="other_scan",
                    help="a second quarnel-scan (another build, say before a change), timed in "
                         "the same rounds; its output is not checked")
    ap.add_argument("--peers", default=",".join(PEERS),
                    help="which of du, ncdu, gdu to time, comma-separated (default all)")
    ap.add_argument("--threads", type=int, help="passed to quarnel-scan as --threads N")
    ap.add_argument("--cold", action="store_true",
                    help="drop the page, dentry and inode caches before every timed run (root)")
    ap.add_argument("--files", type=int, help="tree size, when it has to be built (default 1000000)")
    ap.add_argument("--folders", type=int, help="likewise (default 50000)")
    ap.add_argument("--seed", type=int, help="likewise (default 1)")
    args = ap.parse_args()
    if args.runs < 1:
        ap.error("--runs must be at least 1")

    tree = os.path.abspath(args.tree)
    manifest = ensure_tree(tree, args.files, args.folders, args.seed)
    entries = manifest["files"] + manifest["folders"] + manifest["symlinks"]

    cold = args.cold
    if cold:
        try:
            if os.geteuid() != 0:
                raise PermissionError
            drop_caches()
        except OSError:
            log("--cold needs root (and a writable /proc/sys/vm/drop_caches): running warm instead")
            cold = False

    threads = ["--threads", str(args.threads)] if args.threads else []
    commands = {
        QS: [args.scan, tree] + threads,
        "du": ["du", "-s", "--apparent-size", "-x", tree],
        "ncdu": ["ncdu", "-0", "-x", "-o", "/dev/null", tree],
        # An empty config file: a ~/.gdu.yaml must not change what is measured.
        "gdu": ["gdu", "--config-file", "/dev/null", "-n", "-p", "-x", tree],
    }
    notes = []
    peers = [p for p in args.peers.split(",") if p]
    unknown = [p for p in peers if p not in PEERS]
    if unknown:
        ap.error(f"--peers: unknown {', '.join(unknown)}")
    missing = [t for t in peers if not shutil.which(t)]
    if missing:
        notes.append(f"not installed, left out: {', '.join(missing)} "
                     f"(Debian: apt-get install -y {' '.join(t for t in missing if t != 'du')})"
                     .replace(" (Debian: apt-get install -y )", ""))
    have_scan = os.access(args.scan, os.X_OK)
    if not have_scan:
        notes.append(f"quarnel-scan not found at {args.scan}: build it first; "
                     "only the peers are timed and the correctness check is skipped")
    tools = ([QS] if have_scan else []) + [t for t in peers if t not in missing]
    if args.other_scan:
        if os.access(args.other_scan, os.X_OK):
            commands[QS_OTHER] = [os.path.abspath(args.other_scan), tree] + threads
            tools.insert(1 if have_scan else 0, QS_OTHER)
        else:
            notes.append(f"--other-scan {args.other_scan} is not a program: left out")
    if not tools:
        sys.exit("nothing to run")

    workdir = tempfile.mkdtemp(prefix="quarnel-bench-")
    try:
        runner = Runner(workdir)
        if not runner.helper:
            notes.append("RSS measured from Python: figures under ~14 MiB are the harness's own")
        # The floor: two threads and the system calls every walker makes, nothing kept.
        bare = runner.compile("bare-walk", ["-pthread"])
        if bare:
            commands[BARE] = [bare, tree]
            tools.insert(1 if have_scan else 0, BARE)
        else:
            notes.append("no C compiler, or bare-walk.c did not build: no bare walk to compare with")

        # Footprint of each tool with nothing to hold, on the same file system as the tree.
        empty = tempfile.mkdtemp(prefix="empty-", dir=os.path.dirname(tree))
        baseline = {}
        try:
            for t in tools:
                argv = [empty if a == tree else a for a in commands[t]]
                m, err = runner.run(argv)
                baseline[t] = m[2] if m else None
                if err:
                    log(f"{t} on an empty folder failed: {err}")
        finally:
            os.rmdir(empty)

        if not cold:
            warm = "du" if "du" in tools else QS if have_scan else tools[0]
            log(f"warming the caches with one {warm} ...")
            subprocess.run(commands[warm], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        check_report, check_ok = [], True
        if have_scan:
            log("checking quarnel-scan's output against the manifest ...")
            check_report, check_ok = check_scan(commands[QS], tree, manifest, workdir)
        du_bytes = du_total(tree) if "du" in tools else None

        results = {t: [] for t in tools}
        failures = {t: [] for t in tools}
        others = []
        for r in range(args.runs):
            order = tools[r % len(tools):] + tools[:r % len(tools)]
            for t in order:
                if cold:
                    drop_caches()
                busy0 = busy_cpu_seconds()
                m, err = runner.run(commands[t])
                if m:
                    # Whatever else ran meanwhile, in cores: the timings are only as good
                    # as this is close to zero.
                    other = max(0.0, busy_cpu_seconds() - busy0 - m[1]) / m[0]
                    others.append(other)
                    results[t].append(m)
                    log(f"run {r + 1}/{args.runs}  {t:21} {m[0]:8.3f} s wall  {m[1]:8.3f} s CPU"
                        f"  {m[2] / 1024:8.1f} MiB")
                else:
                    failures[t].append(err)
                    log(f"run {r + 1}/{args.runs}  {t:21} FAILED {err}")
    finally:
        shutil.rmtree(workdir, ignore_errors=True)

    # Summary figures: medians of time, the highest peak RSS over the runs.
    summary = {}
    for t in tools:
        ms = results[t]
        if not ms:
            summary[t] = None
            continue
        peak = max(m[2] for m in ms)
        per_entry = None
        if baseline.get(t) is not None:
            per_entry = (peak - baseline[t]) * 1024 / entries
        summary[t] = {
            "wall": statistics.median(m[0] for m in ms),
            "cpu": statistics.median(m[1] for m in ms),
            "rss": peak,
            "per_entry": per_entry,
            "walls": [m[0] for m in ms],
        }

    mach = machine(tree)
    ver = versions(args.scan)
    print(f"Quarnel walker benchmark, {datetime.date.today().isoformat()}")
    print(f"machine  {mach['nproc']} CPUs, {mach['cpu']}, {mach['mem']}, Linux {mach['kernel']}"
          + (f", {mach['distro']}" if mach["distro"] else ""))
    print(f"tree     {tree} on {mach['fs']}: {manifest['files']:,} files "
          f"({manifest['hardlinks']:,} of them second hard links), {manifest['folders']:,} folders, "
          f"{manifest['symlinks']:,} symlinks = {entries:,} entries; "
          f"{human_bytes(manifest['total_apparent_size'])} apparent")
    warmed = "du" if "du" in tools else QS if have_scan else tools[0]
    print(f"method   {'cold caches (dropped before every run)' if cold else f'warm caches (one untimed {warmed} first)'}; "
          f"{args.runs} run{'s' if args.runs != 1 else ''} per tool, interleaved; median wall and CPU, highest peak RSS")
    if others:
        worst = max(others)
        print(f"load     other processes used {statistics.mean(others):.2f} cores on average "
              f"during the runs, {worst:.2f} at worst"
              + ("; the machine was busy: run again on a quiet one" if worst > 0.2 else ""))
    print("versions " + "; ".join(ver[t] for t in tools))
    for t in tools:
        argv = [os.path.basename(a) if a == commands[t][0] and t == BARE else a
                for a in commands[t]]
        print(f"  {t:21} {' '.join(argv).replace(tree, 'TREE')}")
    print()

    qs = summary.get(QS)
    du = summary.get("du")
    floor = summary.get(BARE)
    header = (f"{'tool':21} {'wall s':>8} {'CPU s':>8} {'RSS MiB':>8} {'B/entry':>8} "
              f"{'wall/du':>8} {'wall/bare':>9} {'wall/qs':>8} {'RSS/qs':>8}")
    print(header)
    print("-" * len(header))
    for t in tools:
        s = summary[t]
        if not s:
            print(f"{t:21} {'failed':>8}")
            continue
        pe = f"{s['per_entry']:.1f}" if s["per_entry"] is not None else "-"
        print(f"{t:21} {s['wall']:8.3f} {s['cpu']:8.3f} {s['rss'] / 1024:8.1f} {pe:>8} "
              f"{fmt_ratio(s['wall'], du and du['wall']):>8} "
              f"{fmt_ratio(s['wall'], floor and floor['wall'], 3):>9} "
              f"{fmt_ratio(s['wall'], qs and qs['wall']):>8} "
              f"{fmt_ratio(s['rss'], qs and qs['rss']):>8}")
    print()
    if qs and floor:
        # Per round, as the two ran one after the other: steadier than the ratio of medians
        # on a machine whose speed drifts.
        rounds = [q / b for q, b in zip(qs["walls"], floor["walls"])]
        print(f"quarnel-scan wall/bare {qs['wall'] / floor['wall']:.3f} (medians); "
              f"per round {' '.join(f'{r:.3f}' for r in rounds)}, "
              f"median {statistics.median(rounds):.3f}")
    print("wall per run (s): " + "; ".join(
        f"{t} " + " ".join(f"{w:.3f}" for w in summary[t]["walls"]) for t in tools if summary[t]))
    print("B/entry: (peak RSS - the same tool's RSS on an empty folder) / entries.  "
          "wall/du, wall/bare, wall/qs, RSS/qs: this row's figure divided by du's, the bare "
          "walk's or quarnel-scan's.")

    exit_code = 0
    print()
    print("correctness of quarnel-scan" + ("" if have_scan else ": not checked, no quarnel-scan"))
    if have_scan:
        for line in check_report:
            print("  " + line)
        if not check_ok:
            exit_code = 1
    if du_bytes is not None:
        diff = du_bytes - manifest["total_apparent_size"]
        print(f"  info  du -sbx: {du_bytes:,} B ({diff:+,} B: du adds the folders' own sizes)")
    for t in tools:
        for err in failures[t]:
            print(f"  FAIL  {t}: {err}" if t == QS else f"  note  {t} failed: {err}")
        if t == QS and failures[t]:
            exit_code = 1
    for n in notes:
        print("note: " + n)
    return exit_code


if __name__ == "__main__":
    sys.exit(main())
