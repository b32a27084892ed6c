#!/usr/bin/env python3
"""Build a deterministic folder tree for the walker benchmark.

    bench/make-tree.py DIR [--files 1000000] [--folders 50000] [--seed 1] [--verify]

What the tree holds, exactly:
  folders   --folders directories, DIR itself included, nested at most 12 below DIR;
  files     --files regular-file names.  About 0.1 % of them (files // 1000, none when
            there is only one folder) are a second hard link, in another folder, to a
            file that already has a name; the other names are distinct files:
            ~45 % empty, ~35 % holding 1..3000 bytes of data, ~20 % sparse
            (1 KiB .. 8 GiB long, no block written);
  symlinks  files // 2000 symbolic links on top of that, pointing at a file beside them,
            at an ancestor folder (a loop if followed), at nothing, or out of the tree
            ("/", "/usr"), so a walker that follows links or leaves the file system shows.

Names are 1..40 bytes, mostly 6..20, with some spaces, dots, hidden names and UTF-8
accents.  The same arguments and seed give the same tree (with the same Python 3).

Next to DIR it writes <DIR>.manifest.json with the counts and the total apparent size:
the sum of lstat().st_size of every non-directory entry, each hard-linked file counted
once.  A tree whose manifest already matches the arguments is left as it is.
"""

import argparse
import bisect
import itertools
import json
import math
import os
import random
import shutil
import stat
import sys
import time

# Bump when the layout below changes, so that trees built by an older version are rebuilt.
LAYOUT_VERSION = 1
MAX_DEPTH = 12

LOWER = "abcdefghijklmnopqrstuvwxyz"
UPPER = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
DIGITS = "0123456789"
# Lower case dominates real names; digits, '_' and '-' are common, capitals less so.
NAME_CHARS = LOWER * 6 + DIGITS * 2 + UPPER + "_-"
ACCENTS = "éèàçüöñøåßÉ"
EXTENSIONS = [".txt", ".c", ".h", ".cpp", ".py", ".js", ".json", ".xml", ".html", ".md",
              ".png", ".jpg", ".svg", ".o", ".so", ".a", ".log", ".gz", ".tar.gz", ".pdf",
              ".mp3", ".dat", ".conf", ".po", ".mo", ".ttf", ".bak", ".1"]
DIR_SUFFIXES = ["", "", "", "", "", "", ".d", ".git", ".cache", "-1.2.3"]


def manifest_path(tree):
    tree = os.path.abspath(tree)
    return os.path.join(os.path.dirname(tree), os.path.basename(tree) + ".manifest.json")


def read_manifest(tree):
    try:
        with open(manifest_path(tree), encoding="utf-8") as f:
            return json.load(f)
    except FileNotFoundError:
        return None


def write_manifest(tree, data):
    path = manifest_path(tree)
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=2, sort_keys=True)
        f.write("\n")
    os.replace(tmp, path)


class Names:
    """Random names, unique within one folder."""

    def __init__(self, rng):
        self.rng = rng

    def _length(self):
        r = self.rng.random()
        if r < 0.04:
            return self.rng.randint(1, 5)
        if r < 0.92:
            return int(self.rng.triangular(6, 20.99, 10))
        return self.rng.randint(21, 40)

    def make(self, is_dir):
        rng = self.rng
        length = self._length()
        if is_dir:
            suffix = rng.choice(DIR_SUFFIXES)
        else:
            suffix = rng.choice(EXTENSIONS) if rng.random() < 0.7 else ""
        if len(suffix) >= length:
            suffix = ""
        stem = rng.choices(NAME_CHARS, k=length - len(suffix))
        r = rng.random()
        if r < 0.015 and len(stem) >= 3:
            stem[rng.randrange(1, len(stem) - 1)] = " "
        elif r < 0.025 and len(stem) >= 4:
            stem[rng.randrange(1, len(stem) - 1)] = "."
        elif r < 0.045 and len(stem) >= 2:
            stem[0] = "."           # hidden; never "." or ".." since the rest is not dots
        elif r < 0.055 and length < 40:
            # An accent is two bytes in UTF-8: still within 40 bytes.
            stem[rng.randrange(len(stem))] = rng.choice(ACCENTS)
        return "".join(stem) + suffix

    def unique(self, is_dir, used):
        for _ in range(4):
            name = self.make(is_dir)
            if name not in used:
                used.add(name)
                return name
        # Short names run out in big folders; a counter keeps them unique and within 40 bytes.
        base = self.make(is_dir)[:30]
        for n in itertools.count(1):
            name = f"{base}~{n}"
            if name not in used:
                used.add(name)
                return name


def plan_folders(rng, count):
    """Parent of each folder; folder 0 is the root.  A parent is drawn in proportion to how
    many children it already has (so a few folders get hundreds of subfolders, most get
    none), and drawn twice keeping the shallower a third of the time, which keeps most of
    the tree 3..7 deep while some branches still reach MAX_DEPTH."""
    parent = [-1]
    depth = [0]
    pool = [0]
    for i in range(1, count):
        p = pool[rng.randrange(len(pool))]
        if rng.random() < 0.3:
            q = pool[rng.randrange(len(pool))]
            if depth[q] < depth[p]:
                p = q
        while depth[p] >= MAX_DEPTH:
            p = parent[p]
        parent.append(p)
        depth.append(depth[p] + 1)
        pool.append(i)
        pool.append(p)
    return parent, depth


def spread(rng, total, bins, sigma):
    """Split `total` items over `bins` with log-normal weights: a few folders hold
    thousands of files, many a handful, some none."""
    counts = [0] * bins
    if total == 0:
        return counts
    weights = list(itertools.accumulate(rng.lognormvariate(0.0, sigma) for _ in range(bins)))
    for b in rng.choices(range(bins), cum_weights=weights, k=total):
        counts[b] += 1
    return counts


def build(tree, files, folders, seed):
    rng = random.Random(seed)
    names = Names(rng)
    started = time.monotonic()

    links = files // 1000 if folders > 1 else 0
    distinct = files - links
    symlinks = files // 2000

    parent, depth = plan_folders(rng, folders)
    file_count = spread(rng, distinct, folders, 1.6)
    first_file = list(itertools.accumulate(file_count, initial=0))  # global index of each folder's first file

    # Hard links: a source file and a destination folder other than the source's.
    link_sources = sorted(rng.sample(range(distinct), links))
    link_dst = []
    for src in link_sources:
        src_folder = bisect.bisect_right(first_file, src, 0, folders) - 1
        dst = src_folder
        while dst == src_folder:
            dst = rng.randrange(folders)
        link_dst.append(dst)
    link_name = [None] * links
    links_into = [[] for _ in range(folders)]
    for k, dst in enumerate(link_dst):
        links_into[dst].append(k)

    symlinks_in = [0] * folders
    for _ in range(symlinks):
        symlinks_in[rng.randrange(folders)] += 1

    # Folder names, unique among their siblings; files and links later take names that
    # differ from these too.
    used = [set() for _ in range(folders)]
    rel = ["."] * folders               # path from the root, for mkdir and link
    for i in range(1, folders):
        p = parent[i]
        name = names.unique(True, used[p])
        rel[i] = name if p == 0 else rel[p] + "/" + name

    data = bytes(rng.getrandbits(8) for _ in range(65536))
    view = memoryview(data)

    root_fd = os.open(tree, os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
    for i in range(1, folders):
        os.mkdir(rel[i], 0o755, dir_fd=root_fd)

    link_source_path = {}
    wanted = set(link_sources)
    empty = small = sparse = 0
    regular_bytes = symlink_bytes = linked_bytes = 0
    linked_size = {}
    max_name = 0
    min_name = 1 << 30
    flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC | os.O_NOFOLLOW
    report_every = max(1, folders // 20)
    g = 0
    for f in range(folders):
        dfd = os.open(rel[f], os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC, dir_fd=root_fd)
        here = used[f]
        created = []
        for _ in range(file_count[f]):
            name = names.unique(False, here)
            r = rng.random()
            fd = os.open(name, flags, 0o644, dir_fd=dfd)
            if r < 0.45:
                size = 0
                empty += 1
            elif r < 0.80:
                size = min(3000, int(math.exp(rng.uniform(0.0, math.log(3001)))))
                size = max(1, size)
                off = rng.randrange(len(data) - size)
                os.write(fd, view[off:off + size])
                small += 1
            else:
                size = int(2 ** rng.uniform(10, 33))
                os.ftruncate(fd, size)
                sparse += 1
            os.close(fd)
            regular_bytes += size
            if g in wanted:
                link_source_path[g] = name if f == 0 else rel[f] + "/" + name
                linked_size[g] = size
            if len(created) < 64:
                created.append(name)
            g += 1
        for k in links_into[f]:
            link_name[k] = names.unique(False, here)
        for _ in range(symlinks_in[f]):
            name = names.unique(False, here)
            r = rng.random()
            if r < 0.4 and created:
                target = rng.choice(created)
            elif r < 0.6:
                target = "/".join([".."] * rng.randint(1, max(1, depth[f]))) if depth[f] else "."
            elif r < 0.8:
                target = "missing-" + names.make(False)
            else:
                target = rng.choice(["/", "/usr", "/proc/self"])
            os.symlink(target, name, dir_fd=dfd)
            symlink_bytes += len(os.fsencode(target))
        for name in here:
            n = len(name.encode("utf-8"))
            max_name = max(max_name, n)
            min_name = min(min_name, n)
        os.close(dfd)
        used[f] = None                  # the names are on disk now; free the memory
        if f % report_every == 0:
            print(f"  {f}/{folders} folders, {g} files, {time.monotonic() - started:.0f} s",
                  file=sys.stderr, flush=True)

    for src, dst, name in zip(link_sources, link_dst, link_name):
        dst_path = name if dst == 0 else rel[dst] + "/" + name
        os.link(link_source_path[src], dst_path, src_dir_fd=root_fd, dst_dir_fd=root_fd,
                follow_symlinks=False)
        linked_bytes += linked_size[src]
    os.close(root_fd)
    # Leave no dirty pages behind: writeback during a timed run would skew it.
    os.sync()

    return {
        "folders": folders,
        "files": files,
        "distinct_files": distinct,
        "hardlinks": links,
        "symlinks": symlinks,
        "entries": files + folders + symlinks,
        "empty_files": empty,
        "small_files": small,
        "sparse_files": sparse,
        "regular_bytes": regular_bytes,
        "symlink_bytes": symlink_bytes,
        "hardlinked_bytes": linked_bytes,
        "total_apparent_size": regular_bytes + symlink_bytes,
        "max_depth": max(depth),
        "max_files_in_folder": max(file_count) if folders else 0,
        "root_subfolders_direct": sum(1 for p in parent if p == 0),
        "root_files_direct": file_count[0] + len(links_into[0]),
        "root_symlinks_direct": symlinks_in[0],
        "name_bytes_min": min_name if min_name != 1 << 30 else 0,
        "name_bytes_max": max_name,
        "build_seconds": round(time.monotonic() - started, 1),
    }


def walk(tree):
    """Count what is on disk, the way a walker that stays on one file system and does not
    follow links should."""
    dev = os.lstat(tree).st_dev
    folders = files = symlinks = 0
    total = 0
    seen = set()
    max_depth = 0
    stack = [(tree, 0)]
    while stack:
        path, d = stack.pop()
        folders += 1
        max_depth = max(max_depth, d)
        with os.scandir(path) as it:
            for e in it:
                st = e.stat(follow_symlinks=False)
                if stat.S_ISDIR(st.st_mode):
                    if st.st_dev == dev:
                        stack.append((e.path, d + 1))
                    continue
                if stat.S_ISLNK(st.st_mode):
                    symlinks += 1
                elif stat.S_ISREG(st.st_mode):
                    files += 1
                if st.st_nlink > 1:
                    if (st.st_dev, st.st_ino) in seen:
                        continue
                    seen.add((st.st_dev, st.st_ino))
                total += st.st_size
    return {"folders": folders, "files": files, "symlinks": symlinks,
            "total_apparent_size": total, "max_depth": max_depth}


def verify(tree, manifest):
    print(f"verifying {tree} against its manifest ...", file=sys.stderr, flush=True)
    found = walk(tree)
    bad = [k for k, v in found.items() if manifest.get(k) != v]
    for k in sorted(found):
        mark = "MISMATCH" if k in bad else "ok"
        print(f"  {k:20} on disk {found[k]:>20}   manifest {manifest.get(k)!s:>20}  {mark}")
    return not bad


def main():
    ap = argparse.ArgumentParser(description="Build a deterministic tree for bench/walkers.py.")
    ap.add_argument("dir")
    ap.add_argument("--files", type=int, default=1_000_000)
    ap.add_argument("--folders", type=int, default=50_000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--verify", action="store_true",
                    help="walk the tree afterwards and compare it with the manifest")
    args = ap.parse_args()
    if args.folders < 1 or args.files < 0:
        ap.error("--folders must be at least 1 and --files at least 0")

    tree = os.path.abspath(args.dir)
    params = {"files": args.files, "folders": args.folders, "seed": args.seed,
              "layout": LAYOUT_VERSION}
    manifest = read_manifest(tree)

    if manifest and manifest.get("params") == params and manifest.get("complete") \
            and os.path.isdir(tree):
        print(f"{tree}: already built with these parameters ({manifest_path(tree)})",
              file=sys.stderr)
    else:
        if os.path.lexists(tree):
            if manifest is None:
                if os.path.isdir(tree) and not os.listdir(tree):
                    os.rmdir(tree)
                else:
                    sys.exit(f"{tree} exists and has no manifest beside it: not a tree this "
                             "script built, so it is left alone. Remove it or pick another DIR.")
            else:
                print(f"{tree}: built with other parameters or unfinished; removing it ...",
                      file=sys.stderr, flush=True)
                shutil.rmtree(tree)
        os.makedirs(tree)
        # Written first, so an interrupted build is still known to be ours and gets replaced.
        write_manifest(tree, {"params": params, "complete": False, "tree": tree})
        print(f"building {tree}: {args.files} files in {args.folders} folders, seed {args.seed}",
              file=sys.stderr, flush=True)
        counts = build(tree, args.files, args.folders, args.seed)
        manifest = {"params": params, "complete": True, "tree": tree, **counts}
        write_manifest(tree, manifest)
        print(f"built in {counts['build_seconds']} s; manifest {manifest_path(tree)}",
              file=sys.stderr)

    if args.verify and not verify(tree, manifest):
        sys.exit(1)


if __name__ == "__main__":
    main()
