#!/usr/bin/env python3
"""Time saving and loading scans in ncdu's export format, against ncdu and gdu.

    bench/saved.py [--tree DIR] [--runs 5] [--quarnel-scan PATH]

On the walkers' benchmark tree (built by make-tree.py when missing), in one interleaved run:
the walk alone against the walk with --export, and ncdu -o and gdu -o writing the same file;
then loading Quarnel's file with quarnel-scan --import against ncdu -f FILE -o /dev/null, which
loads it and writes it out again, as close to ncdu's load time as a command line gets.
Warm caches. The report goes to stdout, progress to stderr. Exits 1 when a run fails or the
loaded totals disagree with the walk's.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import walkers  # noqa: E402  the tree and the measuring are the walkers benchmark's


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--tree", default=walkers.DEFAULT_TREE)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--quarnel-scan", default=walkers.DEFAULT_SCAN, dest="scan")
    args = ap.parse_args()
    manifest = walkers.ensure_tree(args.tree, None, None, None)
    work = tempfile.mkdtemp(prefix="quarnel-saved-")
    try:
        return run(args, manifest, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def run(args, manifest, work):
    qs, tree = args.scan, args.tree
    saved = os.path.join(work, "tree.json")
    subprocess.run([qs, "--export", saved, tree], check=True)
    walk = subprocess.run([qs, tree], check=True, capture_output=True).stdout
    loaded = subprocess.run([qs, "--import", saved], check=True, capture_output=True).stdout
    if sorted(walk.splitlines()) != sorted(loaded.splitlines()):
        print("the loaded scan's lines differ from the walk's")
        return 1
    cases = {
        "walk": [qs, tree],
        "walk + export": [qs, "--export", "-", tree],
        "ncdu -o": ["ncdu", "-x", "-o", "/dev/null", tree],
        "gdu -o": ["gdu", "-n", "-x", "-o", "/dev/null", tree],
        "import": [qs, "--import", saved],
        "ncdu -f": ["ncdu", "-f", saved, "-o", "/dev/null"],
    }
    cases = {k: v for k, v in cases.items() if shutil.which(v[0])}
    runner = walkers.Runner(work)
    results = {name: [] for name in cases}
    names = list(cases)
    subprocess.run([qs, tree], stdout=subprocess.DEVNULL)  # warms the caches
    for r in range(args.runs):
        for name in names[r % len(names):] + names[:r % len(names)]:
            walkers.log(f"run {r + 1}/{args.runs}: {name}")
            measured, error = runner.run(cases[name])
            if error:
                print(f"{name} failed: {error}")
                return 1
            results[name].append(measured)

    size = os.path.getsize(saved)
    print(f"tree {tree}: {manifest['files']} files, {manifest['folders']} folders; "
          f"export {size / 2**20:.1f} MiB; {args.runs} interleaved warm runs, medians\n")
    print(f"{'':16}{'wall s':>8}{'CPU s':>8}{'RSS MiB':>9}   ratio")
    wall = {n: statistics.median(x[0] for x in results[n]) for n in results}
    against = {"walk + export": "walk", "ncdu -o": "walk + export", "gdu -o": "walk + export",
               "ncdu -f": "import"}
    for name in results:
        cpu = statistics.median(x[1] for x in results[name])
        rss = max(x[2] for x in results[name]) / 1024
        base = against.get(name)
        ratio = f"{wall[name] / wall[base]:.2f}x {base}" if base in wall else ""
        print(f"{name:16}{wall[name]:8.3f}{cpu:8.2f}{rss:9.1f}   {ratio}")
    for name in cases:
        print(f"  {name}: {' '.join(cases[name])}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
