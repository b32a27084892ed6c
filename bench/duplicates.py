#!/usr/bin/env python3
"""Time quarnel-scan --duplicates against fdupes, jdupes and rmlint, and against reading the files.

    bench/duplicates.py [--tree DIR] [--runs 3] [--quarnel-scan PATH] [--peers fdupes,jdupes,rmlint]
                        [--cold] [--seed N --names N --groups N --max-size SIZE]

The tree is bench/make-dupes-tree.py's (built, or mounted again, when needed). The report goes
to stdout, progress to stderr; see bench/README.md for how to read it. Exits 1 when
quarnel-scan's groups disagree with the tree's manifest or a run of it fails.
"""

import argparse
import collections
import datetime
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
DEFAULT_TREE = "/var/tmp/quarnel-bench/dupes"
DEFAULT_SCAN = os.path.join(REPO, "build-rel", "quarnel-scan")
PEERS = ("fdupes", "jdupes", "rmlint")
QS = "quarnel-scan"
WALK = "quarnel-scan, walk only"
CAT = "cat of the candidates"

# The walker benchmark's helpers, shared: the machine, its load, the caches, the figures' format.
sys.path.insert(0, HERE)
from walkers import busy_cpu_seconds, drop_caches, fmt_ratio, human_bytes, log, machine  # noqa: E402


def first_line(cmd):
    try:
        # rmlint prints its version on standard error.
        out = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return ""
    return out.strip().splitlines()[0].strip() if out.strip() else ""


def read_manifest(tree):
    try:
        with open(tree + ".manifest.json", encoding="utf-8") as f:
            return json.load(f)
    except (FileNotFoundError, ValueError):
        return None


def is_mounted(tree):
    with open("/proc/self/mountinfo", encoding="utf-8") as f:
        return any(line.split()[4] == tree for line in f)


def ensure_tree(tree, args):
    """Builds the tree, or mounts it again, unless it is there. Explicit sizes rebuild a tree
    built with other ones; without them any finished tree is taken as it is."""
    manifest = read_manifest(tree)
    explicit = {k: getattr(args, k) for k in ("seed", "names", "groups", "max_size")
                if getattr(args, k) is not None}
    if manifest and manifest.get("complete") and is_mounted(tree) and not explicit:
        return manifest
    cmd = [sys.executable, os.path.join(HERE, "make-dupes-tree.py"), tree]
    params = dict(manifest["params"]) if manifest and manifest.get("complete") and not explicit \
        else {}
    for key, value in list(params.items()) + list(explicit.items()):
        if key != "layout":
            cmd += ["--" + key.replace("_", "-"), str(value)]
    log("make-dupes-tree: " + " ".join(cmd))
    if subprocess.run(cmd).returncode != 0:
        sys.exit("could not build or mount the tree")
    return read_manifest(tree)


def versions():
    v = {"fdupes": first_line(["fdupes", "--version"]),
         "jdupes": " ".join(first_line(["jdupes", "--version"]).split()[:2]),
         "rmlint": "rmlint " + " ".join(first_line(["rmlint", "--version"]).split()[1:2]),
         CAT: "xargs -0 cat (" + first_line(["cat", "--version"]) + ")"}
    head = first_line(["git", "-C", REPO, "rev-parse", "--short", "HEAD"])
    # Changes to the benchmark itself do not change what is measured.
    dirty = first_line(["git", "-C", REPO, "status", "--porcelain", "--untracked-files=no",
                        "--", ".", ":!bench"])
    v[QS] = f"quarnel-scan at {head}{' + local changes' if dirty else ''}" if head \
        else "quarnel-scan"
    return v


class Runner:
    """Starts a command through run-measured.c; returns wall s, CPU s, peak RSS KiB."""

    def __init__(self, workdir):
        self.workdir = workdir
        cc = shutil.which("cc") or shutil.which("gcc")
        if not cc:
            sys.exit("a C compiler is needed for bench/run-measured.c")
        self.helper = os.path.join(workdir, "run-measured")
        r = subprocess.run([cc, "-O2", "-o", self.helper, os.path.join(HERE, "run-measured.c")],
                           capture_output=True, text=True)
        if r.returncode != 0:
            sys.exit(r.stderr)

    def run(self, argv, out_path):
        result = os.path.join(self.workdir, "result")
        err = os.path.join(self.workdir, "stderr")
        with open(out_path, "wb") as out, open(err, "wb") as errf:
            subprocess.run([self.helper, result] + argv, stdin=subprocess.DEVNULL,
                           stdout=out, stderr=errf, check=True)
        with open(result) as f:
            wall_ns, cpu_us, rss, status = (int(x) for x in f.read().split())
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            with open(err, errors="replace") as f:
                tail = f.read()[-400:].strip()
            return None, f"exit {code}: {tail}"
        return (wall_ns / 1e9, cpu_us / 1e6, rss), None


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def loop_queue(tree):
    """The rotational flag file of the loop device holding the tree, or None."""
    dev = os.stat(tree).st_dev
    folder = os.path.realpath(f"/sys/dev/block/{os.major(dev)}:{os.minor(dev)}")
    if not os.path.basename(folder).startswith("loop"):
        return None
    return os.path.join(folder, "queue", "rotational")


def backing_spins(tree):
    """Whether the disk holding the loop device's image says it spins (true when unknown)."""
    flag = loop_queue(tree)
    if flag is None:
        return True
    loop = os.path.basename(os.path.dirname(os.path.dirname(flag)))
    try:
        with open(f"/sys/block/{loop}/loop/backing_file") as f:
            dev = os.stat(f.read().strip()).st_dev
        folder = os.path.realpath(f"/sys/dev/block/{os.major(dev)}:{os.minor(dev)}")
        if not os.path.exists(os.path.join(folder, "queue")):
            folder = os.path.dirname(folder)  # a partition: its disk's queue
        with open(os.path.join(folder, "queue", "rotational")) as f:
            return f.read().strip() == "1"
    except OSError:
        return True


def mark_spinning(tree, spinning):
    """A loop device says it spins unless told otherwise, whatever holds its image; and both
    quarnel-scan (one reader instead of several) and rmlint (an fsync and an extent map of
    every file) change course on a disk that spins. Returns what the device says now."""
    flag = loop_queue(tree)
    if flag is None:
        return None
    try:
        with open(flag, "w") as f:
            f.write("1\n" if spinning else "0\n")
    except OSError as e:
        log(f"could not mark {flag}: {e}")
    with open(flag) as f:
        return f.read().strip() == "1"


class Files:
    """The tree's regular files: each inode's names, and the path that stands for it."""

    def __init__(self, tree):
        self.tree = tree
        self.inode_of = {}        # relative path (bytes) -> (dev, ino)
        self.names = collections.defaultdict(list)
        self.size = {}
        stack = [os.fsencode(tree)]
        top = len(stack[0]) + 1
        while stack:
            with os.scandir(stack.pop()) as it:
                for e in it:
                    if e.is_dir(follow_symlinks=False):
                        stack.append(e.path)
                    elif e.is_file(follow_symlinks=False):
                        st = e.stat(follow_symlinks=False)
                        key = (st.st_dev, st.st_ino)
                        rel = e.path[top:]
                        self.inode_of[rel] = key
                        self.names[key].append(rel)
                        self.size[key] = st.st_size
        # A hard-linked file stands by the smallest of its names, as in the manifest.
        self.canonical = {key: min(names) for key, names in self.names.items()}
        by_size = collections.Counter(s for s in self.size.values() if s > 0)
        self.candidates = sorted(self.canonical[k] for k, s in self.size.items()
                                 if by_size[s] >= 2)
        self.candidate_bytes = sum(s for s in self.size.values() if by_size[s] >= 2)

    def by_inode(self, groups):
        """Groups as sets of canonical names; a name not in the tree is kept as it is."""
        return {frozenset(self.canonical.get(self.inode_of.get(p), p) for p in g)
                for g in groups}


def unescape(line):
    """quarnel-scan's escaped path back to its bytes: "\\\\" and "\\xHH"."""
    if b"\\" not in line:
        return line
    out = bytearray()
    i = 0
    while i < len(line):
        if line[i:i + 1] == b"\\" and line[i + 1:i + 2] == b"\\":
            out += b"\\"
            i += 2
        elif line[i:i + 2] == b"\\x":
            out.append(int(line[i + 2:i + 4], 16))
            i += 4
        else:
            out.append(line[i])
            i += 1
    return bytes(out)


def relative(path, tree):
    prefix = os.fsencode(tree) + b"/"
    return path[len(prefix):] if path.startswith(prefix) else path


def parse_quarnel(out_path, tree):
    """(groups, folder blocks): each group a frozenset of relative paths, each folder block
    (percent, frozenset of relative folder paths)."""
    groups, folders = [], []
    current, header = None, None
    with open(out_path, "rb") as f:
        for raw in f:
            line = raw.rstrip(b"\n")
            if current is None:
                if not line:
                    continue
                header = line
                current = []
            elif line:
                current.append(relative(unescape(line), tree))
            else:
                if header.startswith(b"folders "):
                    percent = int(header.split()[1].rstrip(b"%"))
                    folders.append((percent, frozenset(current)))
                else:
                    groups.append(frozenset(current))
                current = None
    if current:
        groups.append(frozenset(current))
    return groups, folders


def parse_fdupes(out_path, tree):
    """fdupes' format, which jdupes and rmlint's fdupes output share: groups of paths
    separated by an empty line."""
    groups, current = [], []
    with open(out_path, "rb") as f:
        for raw in f:
            line = raw.rstrip(b"\n")
            if line:
                current.append(relative(line, tree))
            elif current:
                groups.append(frozenset(current))
                current = []
    if current:
        groups.append(frozenset(current))
    return groups


def compare(name, got, want, files):
    """Report lines and the number of differences by inode, of `got` against `want`."""
    got_set, want_set = set(got), set(want)
    printed = len(got_set ^ want_set)
    got_i, want_i = files.by_inode(got_set), files.by_inode(want_set)
    extra, missing = got_i - want_i, want_i - got_i
    lines = [f"{name}: {len(got_set):,} groups, {sum(len(g) for g in got_set):,} paths; "
             f"{printed:,} differences as printed, {len(extra) + len(missing):,} by inode"]
    # A hard-linked copy listed under more than one of its names.
    names = sum(len(g) - len({files.inode_of.get(p, p) for p in g}) for g in got_set)
    if names:
        lines.append(f"      {names:,} of the paths are another name of a file already in "
                     "their group (a hard link listed as a copy of itself)")
    if printed and not (extra or missing):
        lines.append("      the same files throughout: " + (
            "the differences are which name of a hard-linked file stands for it"
            + (", and the names above" if names else "")))
    # Say what the differences are: a group split, joined, with a copy more or less.
    for kind, sets in (("only in " + name, extra), ("missing from " + name, missing)):
        for g in sorted(sets, key=lambda s: sorted(s))[:3]:
            sizes = {files.size.get(files.inode_of.get(p)) for p in g}
            names = sorted(g)
            lines.append(f"      {kind}: {len(g)} copies of {', '.join(map(str, sizes))} bytes: "
                         + ", ".join(os.fsdecode(p) for p in names[:3])
                         + (" ..." if len(names) > 3 else ""))
    return lines, len(extra) + len(missing)


def main():
    ap = argparse.ArgumentParser(description="Benchmark quarnel-scan --duplicates against "
                                             "fdupes, jdupes, rmlint and cat.")
    ap.add_argument("--tree", default=DEFAULT_TREE)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--quarnel-scan", default=DEFAULT_SCAN, dest="scan")
    ap.add_argument("--peers", default=",".join(PEERS),
                    help="which of fdupes, jdupes, rmlint to time, comma-separated (default all)")
    ap.add_argument("--cold", action="store_true",
                    help="drop the page, dentry and inode caches before every timed run (root)")
    ap.add_argument("--solid-state", action="store_true", dest="solid",
                    help="mark the tree's loop device solid-state (by default it is marked as "
                         "the disk holding its image is)")
    ap.add_argument("--seed", type=int, help="tree parameters, when it has to be built")
    ap.add_argument("--names", type=int, help="likewise (default 200000)")
    ap.add_argument("--groups", type=int, help="likewise (default 20000)")
    ap.add_argument("--max-size", dest="max_size", help="likewise (default 1G)")
    args = ap.parse_args()
    if args.runs < 1:
        ap.error("--runs must be at least 1")
    peers = [p for p in args.peers.split(",") if p]
    unknown = [p for p in peers if p not in PEERS]
    if unknown:
        ap.error(f"--peers: unknown {', '.join(unknown)}")

    tree = os.path.abspath(args.tree)
    manifest = ensure_tree(tree, args)
    if not os.access(args.scan, os.X_OK):
        sys.exit(f"quarnel-scan not found at {args.scan}: build it first")
    cold = args.cold
    if cold:
        try:
            if os.geteuid() != 0:
                raise PermissionError
            drop_caches()
        except OSError:
            log("--cold needs root (and a writable /proc/sys/vm/drop_caches): running warm instead")
            cold = False

    notes = []
    spins = mark_spinning(tree, not args.solid and backing_spins(tree))
    device = os.path.basename(os.path.dirname(os.path.dirname(loop_queue(tree)))) \
        if spins is not None else None
    missing = [p for p in peers if not shutil.which(p)]
    if missing:
        notes.append(f"not installed, left out: {', '.join(missing)} "
                     f"(Debian: apt-get install -y {' '.join(missing)})")
    peers = [p for p in peers if p not in missing]

    log("listing the tree ...")
    files = Files(tree)
    candidates = len(files.candidates)

    workdir = tempfile.mkdtemp(prefix="quarnel-dupes-bench-")
    try:
        runner = Runner(workdir)
        listing = os.path.join(workdir, "candidates")
        with open(listing, "wb") as f:
            for rel in files.candidates:
                f.write(os.fsencode(tree) + b"/" + rel + b"\0")
        out = {t: os.path.join(workdir, t.split(",")[0].split()[0] + ".out")
               for t in (QS, *peers)}
        rmlint_out = os.path.join(workdir, "rmlint.fdupes")
        commands = {
            QS: [args.scan, "--duplicates", "--min-size", "1", tree],
            WALK: [args.scan, tree],
            # -n: empty files are no copies, as for the others (the tree has none anyway).
            "fdupes": ["fdupes", "-r", "-n", "-q", tree],
            "jdupes": ["jdupes", "-r", "-q", tree],
            # Duplicate files only, one name of a hard-linked file, hidden files too (the others
            # see them), the fdupes format to a file and nothing else; metro: a 128-bit hash
            # like quarnel-scan's, and among rmlint's fastest.
            "rmlint": ["rmlint", "-T", "df", "--no-hardlinked", "--hidden", "--no-crossdev",
                       "-a", "metro", "--no-backup", "-o", f"fdupes:{rmlint_out}", tree],
            CAT: ["xargs", "-0", "-a", listing, "cat"],
        }
        tools = [QS, WALK] + peers + [CAT]
        sink = {t: out.get(t, os.devnull) for t in tools}

        if not cold:
            log("warming the caches: one untimed cat of the candidates and walk ...")
            subprocess.run(commands[CAT], stdout=subprocess.DEVNULL)
            subprocess.run(commands[WALK], stdout=subprocess.DEVNULL)

        load_before = loadavg()
        results = {t: [] for t in tools}
        failures = {t: [] for t in tools}
        others = []
        for r in range(args.runs):
            order = tools[r % len(tools):] + tools[:r % len(tools)]
            for t in order:
                if cold:
                    drop_caches()
                busy0 = busy_cpu_seconds()
                m, err = runner.run(commands[t], sink[t])
                if m:
                    others.append(max(0.0, busy_cpu_seconds() - busy0 - m[1]) / m[0])
                    results[t].append(m)
                    log(f"run {r + 1}/{args.runs}  {t:23} {m[0]:8.3f} s wall  {m[1]:8.3f} s CPU"
                        f"  {m[2] / 1024:8.1f} MiB")
                else:
                    failures[t].append(err)
                    log(f"run {r + 1}/{args.runs}  {t:23} FAILED {err}")
        load_after = loadavg()

        # Agreement, from the last run of each tool.
        log("comparing the groups ...")
        want = [frozenset(os.fsencode(p) for p in g) for g in manifest["expected_groups"]]
        check, exit_code = [], 0
        qs_groups = qs_folders = None
        if results[QS]:
            qs_groups, qs_folders = parse_quarnel(out[QS], tree)
            lines, diffs = compare("quarnel-scan against the manifest", qs_groups, want, files)
            check += lines
            if diffs:
                exit_code = 1
        else:
            exit_code = 1
        parsed = {}
        for p in peers:
            if results[p]:
                parsed[p] = parse_fdupes(rmlint_out if p == "rmlint" else out[p], tree)
        if qs_groups is not None and "fdupes" in parsed:
            check += compare("fdupes against quarnel-scan", parsed["fdupes"], qs_groups, files)[0]
        for p in parsed:
            check += compare(f"{p} against the manifest", parsed[p], want, files)[0]
        if qs_folders is not None:
            identical = {frozenset(os.fsencode(f) for f in s)
                         for s in manifest["identical_folders"]}
            shown = {s for pct, s in qs_folders if pct == 100}
            similar = [frozenset((os.fsencode(a), os.fsencode(b)))
                       for a, b, _ in manifest["similar_folders"]]
            near = {s for pct, s in qs_folders if pct < 100}
            check.append(f"quarnel-scan's folders: {len(shown):,} sets shown identical, "
                         f"{len(identical & shown):,} of the manifest's {len(identical):,} "
                         f"copied folders among them; {len(near):,} pairs shown similar, "
                         f"{sum(s in near for s in similar):,} of its {len(similar):,} near "
                         "copies among them (a pair sharing less than half its bytes is not "
                         "shown)")
    finally:
        shutil.rmtree(workdir, ignore_errors=True)

    summary = {}
    for t in tools:
        ms = results[t]
        summary[t] = {"wall": statistics.median(m[0] for m in ms),
                      "cpu": statistics.median(m[1] for m in ms),
                      "rss": max(m[2] for m in ms),
                      "walls": [m[0] for m in ms]} if ms else None
    timed_peers = [p for p in peers if summary[p]]
    best = min(timed_peers, key=lambda p: summary[p]["wall"]) if timed_peers else None
    best_wall = summary[best]["wall"] if best else None
    cat = summary[CAT]
    qs, walk = summary[QS], summary[WALK]

    mach = machine(tree)
    ver = versions()
    print(f"Quarnel duplicates benchmark, {datetime.date.today().isoformat()}")
    print(f"machine  {mach['nproc']} CPUs, {mach['cpu']}, {mach['mem']}, Linux {mach['kernel']}")
    k = manifest.get("kinds", {})
    print(f"tree     {tree} on {mach['fs']}: {manifest['names']:,} file names, "
          f"{manifest['inodes']:,} files, {manifest['folders']:,} folders; "
          f"{manifest['groups']:,} groups of {manifest['copies']:,} copies "
          f"({k.get('reflink copies', 0):,} of them reflinks); {candidates:,} candidates "
          f"(files whose size another has), {human_bytes(files.candidate_bytes)}")
    if device:
        print(f"device   {device}, marked as a {'spinning' if spins else 'solid-state'} disk"
              + (" as the disk holding its image" if not args.solid else " (--solid-state)"))
    if (candidates, files.candidate_bytes) != (manifest["candidates"],
                                               manifest["candidate_bytes"]):
        notes.append(f"the tree has {candidates:,} candidates of {files.candidate_bytes:,} B, "
                     f"its manifest {manifest['candidates']:,} of "
                     f"{manifest['candidate_bytes']:,} B: it changed since it was built")
    caches = "cold caches (sync, drop_caches before every run)" if cold else \
        "warm caches (one untimed cat of the candidates and walk first)"
    print(f"method   {caches}; "
          f"{args.runs} run{'s' if args.runs != 1 else ''} per tool, interleaved; "
          "median wall and CPU, highest peak RSS")
    if others:
        worst = max(others)
        print(f"load     other processes used {statistics.mean(others):.2f} cores on average "
              f"during the runs, {worst:.2f} at worst; load average {load_before} before, "
              f"{load_after} after"
              + ("; the machine was busy: run again on a quiet one" if worst > 0.2 else ""))
    print("versions " + "; ".join(ver[t] for t in [QS] + peers + [CAT]))
    for t in tools:
        argv = [a.replace(tree, "TREE").replace(workdir, "TMP") for a in commands[t]]
        print(f"  {t:23} {' '.join(argv)}")
    print()

    header = (f"{'tool':23} {'wall s':>8} {'CPU s':>8} {'RSS MiB':>8} {'B/cand':>7} "
              f"{'wall/peer':>9} {'wall/cat':>8} {'wall/qs':>8}")
    print(header)
    print("-" * len(header))
    for t in tools:
        s = summary[t]
        if not s:
            print(f"{t:23} {'failed':>8}")
            continue
        per = "-"
        if t == QS and walk and candidates:
            per = f"{(s['rss'] - walk['rss']) * 1024 / candidates:.0f}"
        print(f"{t:23} {s['wall']:8.3f} {s['cpu']:8.3f} {s['rss'] / 1024:8.1f} {per:>7} "
              f"{fmt_ratio(s['wall'], best_wall):>9} "
              f"{fmt_ratio(s['wall'], cat and cat['wall']):>8} "
              f"{fmt_ratio(s['wall'], qs and qs['wall']):>8}")
    print()
    if qs and best:
        speedup = best_wall / qs["wall"]
        verdict = ("ok" if speedup >= 2 else "MISSED") if not cold else "warm target only"
        print(f"quarnel-scan against the fastest peer ({best}): {speedup:.2f}x faster "
              f"(target, warm: at least 2x: {verdict})")
    if qs and cat:
        ratio = qs["wall"] / cat["wall"]
        rounds = [q / c for q, c in zip(qs["walls"], cat["walls"])]
        verdict = ("ok" if ratio <= 1.2 else "MISSED") if cold else "cold target only"
        print(f"quarnel-scan wall/cat {ratio:.2f} (medians), per round "
              f"{' '.join(f'{x:.2f}' for x in rounds)} (target, cold: at most 1.2: {verdict})")
    if qs and walk:
        print(f"quarnel-scan memory: {qs['rss'] / 1024:.1f} MiB with --duplicates, "
              f"{walk['rss'] / 1024:.1f} MiB walking only: "
              f"{(qs['rss'] - walk['rss']) * 1024 / candidates:.0f} B per candidate "
              f"over {candidates:,} candidates")
    print("wall per run (s): " + "; ".join(
        f"{t} " + " ".join(f"{w:.3f}" for w in summary[t]["walls"]) for t in tools if summary[t]))
    print("B/cand: (peak RSS - quarnel-scan's walking only) / candidates.  wall/peer, wall/cat, "
          "wall/qs: this row's median wall over the fastest peer's, cat's or quarnel-scan's.")

    print()
    print("agreement (groups as sets of paths; by inode: each file named by the smallest of "
          "its names)")
    for line in check:
        print("  " + line)
    for t in tools:
        for err in failures[t]:
            print(f"  FAIL  {t}: {err}" if t == QS else f"  note  {t} failed: {err}")
            if t == QS:
                exit_code = 1
    for n in notes:
        print("note: " + n)
    return exit_code


if __name__ == "__main__":
    sys.exit(main())
