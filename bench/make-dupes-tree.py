#!/usr/bin/env python3
"""Build a deterministic tree of duplicate files for the duplicates benchmark.

    bench/make-dupes-tree.py [DIR] [--seed 1] [--names 200000] [--groups 20000]
                             [--max-size 1G] [--image-size 12G] [--plan] [--verify]

DIR (default /var/tmp/quarnel-bench/dupes) is the mount point of an XFS file system with
reflinks, made in a sparse image file DIR.img beside it and mounted through a loop device
with direct I/O (so that the image's own pages do not double the page cache). It stays
mounted; a later run finds it mounted, or mounts it again after a reboot.

What the tree holds, exactly --names file names and --groups groups of identical files:
  copied folders  a folder of distinct files, sometimes with a subfolder, copied whole to
                  one or two other places (a quarter of the copies made with reflinks);
                  each file is a group;
  near copies     a folder copied with one file changed by a byte, left out, or added;
  scattered       the other groups: 2 copies mostly, up to 40, in any folder, under the
                  same name or another; about one copy in eight a reflink (sharing its
                  blocks: still a copy), a few groups of sparse files (holes and data), one
                  of files that are holes only;
  hard links      a second name of a copy (not another copy), and files with two names
                  and no copy at all;
  decoys          files of a group's size equal to its copies but for the first, the last
                  or one middle byte, the same for files of no group, and files of a
                  group's size with other content;
  the largest     a group of two --max-size files (one a reflink of the other), a file of a
                  quarter of it beside one that differs in its middle byte, and a sparse
                  group of half of it;
  fillers         distinct files that make up the rest of the names.
Sizes run from 1 KiB to --max-size, spread on a log scale with most files small (95 % under
16 KiB, median about 4 KiB), some 700 names above 1 MiB and 170 above 4 MiB (sparse files and
copies among them); about 5.5 GiB written for the default counts, 6.5 GiB of candidates.
Folders: one per 20 names, most 2 to 5 deep, up to 10. Names have spaces, UTF-8 accents and a
leading dot now and then, never a backslash or a control character.

Next to DIR it writes DIR.manifest.json: the counts (names, inodes, groups, candidates -- the
files whose size at least one other file has -- and their bytes) and the expected groups,
each a sorted list of paths relative to DIR, a hard-linked file named once by the smallest
of its paths in byte order. A tree whose complete manifest matches the arguments is reused.
The same arguments and seed give the same tree (with the same Python 3).
--plan prints the plan's figures and builds nothing; --verify reads every candidate back,
groups them by SHA-1 and compares that with the manifest.
"""

import argparse
import collections
import fcntl
import hashlib
import json
import math
import os
import random
import stat
import struct
import subprocess
import sys
import time

LAYOUT_VERSION = 1
MAX_DEPTH = 10
BLOCK = 64 * 1024
POOL_SIZE = 8 * 1024 * 1024
FICLONE = 0x40049409
KIB, MIB, GIB = 1024, 1024 ** 2, 1024 ** 3

NAME_CHARS = "abcdefghijklmnopqrstuvwxyz" * 6 + "0123456789" * 2 + "ABCDEFGHIJKLMNOPQRSTUVWXYZ_-"
ACCENTS = "éèàçüöñøåßÉ"
EXTENSIONS = [".txt", ".c", ".h", ".py", ".json", ".html", ".md", ".png", ".jpg", ".svg", ".o",
              ".so", ".log", ".gz", ".tar.gz", ".pdf", ".mp3", ".mp4", ".iso", ".dat", ".bak"]


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def parse_size(text):
    text = text.strip().upper()
    mult = 1
    for suffix, m in (("K", KIB), ("M", MIB), ("G", GIB)):
        if text.endswith(suffix):
            text, mult = text[:-1], m
    return int(text) * mult


def manifest_path(tree):
    return tree + ".manifest.json"


def read_manifest(tree):
    try:
        with open(manifest_path(tree), encoding="utf-8") as f:
            return json.load(f)
    except (FileNotFoundError, ValueError):
        return None


def write_manifest(tree, data):
    tmp = manifest_path(tree) + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=1, sort_keys=True, ensure_ascii=False)
        f.write("\n")
    os.replace(tmp, manifest_path(tree))


# ---------------------------------------------------------------------------------------------
# Contents.  Every content is made of 64 KiB blocks: 16 bytes naming the content and the block,
# then a slice of one random pool, so two contents never match by chance and writing costs a
# system call per block, not Python per byte.

RAND, SPARSE, HOLES, VARIANT = "rand", "sparse", "holes", "variant"


class Contents:
    def __init__(self):
        self.kind = []
        self.size = []
        self.extra = []     # SPARSE: sorted tuple of the blocks holding data; VARIANT: (base, pos)

    def add(self, kind, size, extra=None):
        self.kind.append(kind)
        self.size.append(size)
        self.extra.append(extra)
        return len(self.kind) - 1

    def data_blocks(self, cid):
        """Blocks written with data, or None for all of them."""
        kind = self.kind[cid]
        if kind == VARIANT:
            return self.data_blocks(self.extra[cid][0])
        if kind == SPARSE:
            return self.extra[cid]
        if kind == HOLES:
            return ()
        return None

    def root(self, cid):
        return self.extra[cid][0] if self.kind[cid] == VARIANT else cid

    def written(self, cid):
        """Bytes a plain copy of the content writes."""
        size = self.size[cid]
        blocks = self.data_blocks(cid)
        if blocks is None:
            return size
        n = sum(min(BLOCK, size - b * BLOCK) for b in blocks)
        if self.kind[cid] == VARIANT and self.extra[cid][1] // BLOCK not in blocks:
            n += 4096       # the changed byte lands in a hole: a block of it gets allocated
        return n


class Writer:
    def __init__(self, seed, contents):
        self.contents = contents
        self.pool = memoryview(random.Random(f"pool-{seed}").randbytes(POOL_SIZE + BLOCK))

    def block(self, cid, k, length):
        """Block k of content cid (its root for a variant), `length` bytes of it: two pieces."""
        stamp = struct.pack("<QQ", cid, k)
        if length <= 16:
            return [stamp[:length]]
        off = (cid * 2654435761 + k * 40503) % POOL_SIZE
        return [stamp, self.pool[off + 16:off + length]]

    def byte_at(self, cid, pos):
        blocks = self.contents.data_blocks(cid)
        k = pos // BLOCK
        if blocks is not None and k not in blocks:
            return 0
        size = self.contents.size[cid]
        piece = b"".join(bytes(p) for p in self.block(cid, k, min(BLOCK, size - k * BLOCK)))
        return piece[pos % BLOCK]

    def chunks(self, cid):
        """(offset, pieces) of every data block of content cid, in order."""
        c = self.contents
        root = c.root(cid)
        size = c.size[root]
        blocks = c.data_blocks(root)
        if blocks is None:
            blocks = range((size + BLOCK - 1) // BLOCK)
        for k in blocks:
            yield k * BLOCK, self.block(root, k, min(BLOCK, size - k * BLOCK))

    def write(self, path, cid):
        c = self.contents
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
        try:
            at = 0
            for off, pieces in self.chunks(cid):
                if off != at:
                    os.lseek(fd, off, os.SEEK_SET)
                at = off + sum(len(p) for p in pieces)
                os.writev(fd, pieces)
            if c.kind[cid] == VARIANT:
                root, pos = c.extra[cid]
                os.pwrite(fd, bytes([self.byte_at(root, pos) ^ 0xFF]), pos)
            if os.fstat(fd).st_size != c.size[cid]:
                os.ftruncate(fd, c.size[cid])
        finally:
            os.close(fd)

    def content_hash(self, cid):
        """SHA-1 of the content as planned, holes and all, for --verify's check of the writer."""
        c = self.contents
        size = c.size[cid]
        data = {off: b"".join(bytes(p) for p in pieces) for off, pieces in self.chunks(cid)}
        flip = c.extra[cid] if c.kind[cid] == VARIANT else None
        h = hashlib.sha1()
        for off in range(0, size, BLOCK):
            block = data.get(off, bytes(min(BLOCK, size - off)))
            if flip and off <= flip[1] < off + BLOCK:
                i = flip[1] - off
                block = block[:i] + bytes([block[i] ^ 0xFF]) + block[i + 1:]
            h.update(block)
        return h.hexdigest()


# ---------------------------------------------------------------------------------------------
# The plan: folders, contents, inodes and names, all drawn from one seeded generator.

class Plan:
    def __init__(self, seed, names, groups, max_size):
        self.rng = random.Random(seed)
        self.target_names = names
        self.target_groups = groups
        self.max_size = max_size
        self.contents = Contents()
        self.folder_parent = [-1]
        self.folder_name = [""]
        self.folder_depth = [0]
        self.used = [set()]          # names taken in each folder
        self.pool = []               # folders scattered files may land in
        self.inode_cid = []
        self.inode_src = []          # None: written; else the inode it is a reflink of
        self.names = []              # (folder, name, inode)
        self.identical_folders = []  # lists of folder ids with the same files
        self.similar_folders = []    # (folder, folder, how the copy differs)
        self.groups_planned = 0
        self.counts = collections.Counter()

    # -- names and folders

    def make_name(self, is_dir):
        rng = self.rng
        r = rng.random()
        length = rng.randint(1, 5) if r < 0.04 else int(rng.triangular(6, 20.99, 10)) \
            if r < 0.92 else rng.randint(21, 40)
        suffix = "" if is_dir or rng.random() < 0.3 else rng.choice(EXTENSIONS)
        if len(suffix) >= length:
            suffix = ""
        stem = rng.choices(NAME_CHARS, k=length - len(suffix))
        r = rng.random()
        if r < 0.015 and len(stem) >= 3:
            stem[rng.randrange(1, len(stem) - 1)] = " "
        elif r < 0.025 and len(stem) >= 2:
            stem[0] = "."
        elif r < 0.04 and length < 40:
            stem[rng.randrange(len(stem))] = rng.choice(ACCENTS)
        return "".join(stem) + suffix

    def take_name(self, folder, wanted=None, is_dir=False):
        used = self.used[folder]
        if wanted is not None and wanted not in used and len(wanted.encode()) <= 60:
            used.add(wanted)
            return wanted
        for _ in range(4):
            name = self.make_name(is_dir)
            if name not in used:
                used.add(name)
                return name
        base = self.make_name(is_dir)[:30]
        n = 1
        while f"{base}~{n}" in used:
            n += 1
        used.add(f"{base}~{n}")
        return f"{base}~{n}"

    def add_folder(self, parent, wanted=None):
        self.folder_parent.append(parent)
        self.folder_name.append(self.take_name(parent, wanted, is_dir=True))
        self.folder_depth.append(self.folder_depth[parent] + 1)
        self.used.append(set())
        return len(self.folder_parent) - 1

    def folder_path(self, folder):
        parts = []
        while folder > 0:
            parts.append(self.folder_name[folder])
            folder = self.folder_parent[folder]
        return "/".join(reversed(parts))

    def path(self, folder, name):
        p = self.folder_path(folder)
        return f"{p}/{name}" if p else name

    def any_folder(self, max_depth=MAX_DEPTH):
        while True:
            f = self.pool[self.rng.randrange(len(self.pool))]
            if self.folder_depth[f] <= max_depth:
                return f

    # -- files

    def size(self):
        """Log-distributed: most files small, a few dozen of several MiB."""
        rng = self.rng
        r = rng.random()
        lo, hi = (KIB, 16 * KIB) if r < 0.95 else (16 * KIB, 256 * KIB) if r < 0.995 \
            else (256 * KIB, 4 * MIB) if r < 0.9998 else (4 * MIB, 64 * MIB)
        hi = min(hi, self.max_size)
        lo = min(lo, hi)
        return int(math.exp(rng.uniform(math.log(lo), math.log(hi + 1))))

    def sparse_content(self, size=None):
        rng = self.rng
        if size is None:
            size = int(math.exp(rng.uniform(math.log(256 * KIB), math.log(min(32 * MIB,
                                                                                self.max_size)))))
            size = min(size, self.max_size)
        nblocks = (size + BLOCK - 1) // BLOCK
        # A few runs of data among the holes; at least one block, never all of them.
        blocks = set()
        for _ in range(rng.randint(1, 6)):
            start = rng.randrange(nblocks)
            blocks.update(range(start, min(nblocks, start + rng.randint(1, 8))))
        if len(blocks) == nblocks and nblocks > 1:
            blocks.discard(nblocks // 2)
        return self.contents.add(SPARSE, size, tuple(sorted(blocks)))

    def add_inode(self, cid, src=None):
        self.inode_cid.append(cid)
        self.inode_src.append(src)
        return len(self.inode_cid) - 1

    def add_name(self, folder, inode, wanted=None):
        name = self.take_name(folder, wanted)
        self.names.append((folder, name, inode))
        return name

    def add_file(self, cid, folder=None, wanted=None, src=None):
        inode = self.add_inode(cid, src)
        name = self.add_name(self.any_folder() if folder is None else folder, inode, wanted)
        return inode, name

    def copy_name(self, name):
        rng = self.rng
        r = rng.random()
        if r < 0.5:
            return name
        if r < 0.7:
            stem, dot, ext = name.rpartition(".")
            return f"{stem} (1).{ext}" if dot and stem else f"{name} (1)"
        if r < 0.8:
            return f"Copy of {name}"
        return None

    def variant(self, base, where):
        size = self.contents.size[base]
        pos = 0 if where == "first" else size - 1 if where == "last" else \
            self.rng.randrange(1, size - 1)
        return self.contents.add(VARIANT, size, (base, pos))

    def scatter_group(self, cid, copies, reflink_share=0.12):
        """A group's copies in random folders; returns their inodes."""
        first, name = self.add_file(cid)
        inodes = [first]
        for _ in range(copies - 1):
            src = first if self.rng.random() < reflink_share else None
            inode, _ = self.add_file(cid, wanted=self.copy_name(name), src=src)
            inodes.append(inode)
            self.counts["reflink copies"] += src is not None
        self.groups_planned += 1
        return inodes

    def copies(self):
        r = self.rng.random()
        return 2 if r < 0.70 else 3 if r < 0.87 else 4 if r < 0.94 else \
            self.rng.randint(5, 8) if r < 0.99 else self.rng.randint(9, 40)

    # -- the whole tree

    def build(self):
        rng = self.rng
        c = self.contents
        names, groups = self.target_names, self.target_groups

        # Folders: a parent is drawn in proportion to the children it has, and drawn twice
        # keeping the shallower a third of the time: a few folders get hundreds of
        # subfolders, most none, and most of the tree is 3 to 7 deep.
        parents = [0]
        for _ in range(max(1, names // 20) - 1):
            parent = parents[rng.randrange(len(parents))]
            if rng.random() < 0.3:
                other = parents[rng.randrange(len(parents))]
                if self.folder_depth[other] < self.folder_depth[parent]:
                    parent = other
            while self.folder_depth[parent] >= MAX_DEPTH:
                parent = self.folder_parent[parent]
            parents += [self.add_folder(parent), parent]
        self.pool = list(range(len(self.folder_parent)))

        # The largest files.
        if self.max_size >= 64 * MIB:
            cid = c.add(RAND, self.max_size)
            self.scatter_group(cid, 2, reflink_share=1.0)
            base = c.add(RAND, self.max_size // 4)
            self.add_file(base)
            self.add_file(self.variant(base, "middle"))
            self.counts["decoys"] += 1
            big = self.max_size // 2
            cid = c.add(SPARSE, big, tuple(sorted(rng.sample(range(big // BLOCK), 64))))
            self.scatter_group(cid, 2, reflink_share=0.5)
            self.counts["sparse files"] += 2
        # Files that are holes only: identical whatever their names.
        cid = c.add(HOLES, 64 * MIB + 12345)
        self.scatter_group(cid, 3, reflink_share=0)
        self.counts["sparse files"] += 3

        # Folders copied whole.
        for _ in range(groups // 80):
            top = self.add_folder(self.any_folder(MAX_DEPTH - 3))
            members = [(top, rng.randint(2, 24))]
            if rng.random() < 0.3:
                members.append((self.add_folder(top), rng.randint(1, 8)))
            files = []      # (folder index in members, name, cid)
            for i, (folder, n) in enumerate(members):
                for _ in range(n):
                    cid = c.add(RAND, self.size())
                    inode, name = self.add_file(cid, folder)
                    files.append((i, name, cid, inode))
            tops = [top]
            for _ in range(1 if rng.random() < 0.8 else 2):
                reflinked = rng.random() < 0.25
                ctop = self.add_folder(self.any_folder(MAX_DEPTH - 2),
                                       self.folder_name[top] if rng.random() < 0.6 else
                                       self.folder_name[top] + " (copy)")
                copy = [ctop] + ([self.add_folder(ctop, self.folder_name[members[1][0]])]
                                 if len(members) > 1 else [])
                for i, name, cid, inode in files:
                    self.add_file(cid, copy[i], name, src=inode if reflinked else None)
                    self.counts["reflink copies"] += reflinked
                tops.append(ctop)
            self.identical_folders.append(tops)
            self.groups_planned += len(files)

        # Folders copied with one difference.
        for j in range(groups // 130):
            how = ("a file changed by a byte", "a file left out", "a file added")[j % 3]
            top = self.add_folder(self.any_folder(MAX_DEPTH - 2))
            files = []
            for _ in range(rng.randint(3, 20)):
                cid = c.add(RAND, self.size())
                files.append((self.add_file(cid, top)[1], cid))
            ctop = self.add_folder(self.any_folder(MAX_DEPTH - 2), self.folder_name[top])
            odd = rng.randrange(len(files)) if how != "a file added" else -1
            for i, (name, cid) in enumerate(files):
                if i != odd:
                    self.add_file(cid, ctop, name)
                elif how == "a file changed by a byte":
                    self.add_file(self.variant(cid, rng.choice(("first", "last", "middle"))),
                                  ctop, name)
                    self.counts["decoys"] += 1
            if how == "a file added":
                self.add_file(c.add(RAND, self.size()), ctop)
            self.groups_planned += len(files) - (how != "a file added")
            self.similar_folders.append((top, ctop, how))

        # Scattered groups make up the count: a few of sparse files, the rest plain.
        remaining = groups - self.groups_planned
        if remaining < 0:
            raise SystemExit("too few groups for the copied folders: raise --groups")
        scattered = []
        for g in range(remaining):
            if g < groups // 400:
                cid = self.sparse_content()
            else:
                cid = c.add(RAND, self.size())
            inodes = self.scatter_group(cid, self.copies())
            if c.kind[cid] == SPARSE:
                self.counts["sparse files"] += len(inodes)
            scattered.append(cid)
            # A second name of one copy: still one copy.
            if rng.random() < 0.08:
                self.add_name(self.any_folder(), rng.choice(inodes))
                self.counts["second names of copies"] += 1

        # Decoys: equal to a group's copies but for one byte...
        for cid in rng.sample(scattered, min(len(scattered), groups * 3 // 40)):
            if c.size[cid] < 3:
                continue
            wheres = rng.sample(("first", "last", "middle"), 1 if rng.random() < 0.8 else 2)
            for where in wheres:
                self.add_file(self.variant(cid, where))
                self.counts["decoys"] += 1
        # ...the same around files of no group...
        for _ in range(names // 250):
            base = c.add(RAND, self.size())
            self.add_file(base)
            for where in rng.sample(("first", "last", "middle"), rng.randint(1, 2)):
                self.add_file(self.variant(base, where))
                self.counts["decoys"] += 1
        # ...a few sparse ones, and files of a group's size with other content.
        for _ in range(names // 2000):
            self.add_file(self.sparse_content())
            self.counts["sparse files"] += 1
        all_sizes = [c.size[cid] for cid in scattered]
        for _ in range(names // 66):
            self.add_file(c.add(RAND, rng.choice(all_sizes)))
            self.counts["same size, other content"] += 1

        # Files with two names and no copy.
        for _ in range(names // 200):
            inode, _ = self.add_file(c.add(RAND, self.size()))
            self.add_name(self.any_folder(), inode)
            self.counts["two names, no copy"] += 1

        fill = names - len(self.names)
        if fill < 0:
            raise SystemExit(f"the plan needs {len(self.names)} names: raise --names")
        for _ in range(fill):
            self.add_file(c.add(RAND, self.size()))
        self.counts["fillers"] = fill

    # -- what the plan comes to

    def expected(self):
        c = self.contents
        paths = [[] for _ in self.inode_cid]
        for folder, name, inode in self.names:
            paths[inode].append(self.path(folder, name))
        canonical = [min(p, key=lambda s: s.encode()) for p in paths]
        by_cid = collections.defaultdict(list)
        for inode, cid in enumerate(self.inode_cid):
            by_cid[cid].append(inode)
        groups = sorted(sorted((canonical[i] for i in inodes), key=lambda s: s.encode())
                        for inodes in by_cid.values() if len(inodes) >= 2)
        by_size = collections.Counter(c.size[cid] for cid in self.inode_cid)
        candidates = [i for i, cid in enumerate(self.inode_cid) if by_size[c.size[cid]] >= 2]
        written = sum(c.written(cid) for cid, src in zip(self.inode_cid, self.inode_src)
                      if src is None)
        apparent = sum(c.size[cid] for cid in self.inode_cid)
        return {
            "names": len(self.names),
            "inodes": len(self.inode_cid),
            "folders": len(self.folder_parent),
            "groups": len(groups),
            "copies": sum(len(g) for g in groups),
            "candidates": len(candidates),
            "candidate_bytes": sum(c.size[self.inode_cid[i]] for i in candidates),
            "apparent_bytes": apparent,
            "written_bytes": written,
            "largest": max(c.size),
            "median_size": sorted(c.size[cid] for cid in self.inode_cid)[len(self.inode_cid) // 2],
            "kinds": {k: n for k, n in sorted(self.counts.items())},
            "identical_folders": sorted(sorted(self.folder_path(f) for f in tops)
                                        for tops in self.identical_folders),
            "similar_folders": sorted([self.folder_path(a), self.folder_path(b), how]
                                      for a, b, how in self.similar_folders),
            "expected_groups": groups,
        }


# ---------------------------------------------------------------------------------------------
# The file system.

def run(cmd, **kw):
    return subprocess.run(cmd, check=True, text=True, **kw)


def is_mounted(tree):
    with open("/proc/self/mountinfo", encoding="utf-8") as f:
        return any(line.split()[4] == tree for line in f)


def loop_of(image):
    out = subprocess.run(["losetup", "-j", image], capture_output=True, text=True).stdout
    return out.split(":", 1)[0] if out.strip() else None


def mount(image, tree):
    dev = loop_of(image) or run(["losetup", "-f", "--show", "--direct-io=on", image],
                                capture_output=True).stdout.strip()
    os.makedirs(tree, exist_ok=True)
    run(["mount", "-t", "xfs", dev, tree])


def unmount(image, tree):
    if is_mounted(tree):
        run(["umount", tree])
    dev = loop_of(image)
    if dev:
        run(["losetup", "-d", dev])


def make_fs(image, tree, size):
    unmount(image, tree)
    if os.path.exists(image):
        os.remove(image)
    with open(image, "wb") as f:
        f.truncate(size)
    run(["mkfs.xfs", "-q", "-m", "reflink=1", "-L", "qdupes", image])
    mount(image, tree)


def materialize(plan, tree, seed):
    writer = Writer(seed, plan.contents)
    for f in range(1, len(plan.folder_parent)):
        os.mkdir(os.path.join(tree, plan.folder_path(f)))
    first_name = {}
    for folder, name, inode in plan.names:
        first_name.setdefault(inode, plan.path(folder, name))
    # Written files in a shuffled order, so that a group's copies lie apart on the disk;
    # then the reflinks, then the second names.
    order = [i for i, src in enumerate(plan.inode_src) if src is None]
    random.Random(f"order-{seed}").shuffle(order)
    started = time.monotonic()
    done_bytes = 0
    total = sum(plan.contents.written(plan.inode_cid[i]) for i in order)
    for n, inode in enumerate(order):
        writer.write(os.path.join(tree, first_name[inode]), plan.inode_cid[inode])
        done_bytes += plan.contents.written(plan.inode_cid[inode])
        if n % 20000 == 0:
            log(f"  {n:,} of {len(order):,} files, {done_bytes / GIB:.2f} of {total / GIB:.2f} "
                f"GiB, {time.monotonic() - started:.0f} s")
    for inode, src in enumerate(plan.inode_src):
        if src is None:
            continue
        with open(os.path.join(tree, first_name[src]), "rb") as s, \
                open(os.path.join(tree, first_name[inode]), "xb") as d:
            fcntl.ioctl(d.fileno(), FICLONE, s.fileno())
    seen = set()
    for folder, name, inode in plan.names:
        if inode in seen:
            os.link(os.path.join(tree, first_name[inode]),
                    os.path.join(tree, plan.path(folder, name)))
        seen.add(inode)
    log(f"  syncing ({time.monotonic() - started:.0f} s so far) ...")
    os.sync()


def verify(tree, manifest, plan, seed):
    """Reads every candidate back and groups by SHA-1; checks the writer against the plan."""
    files = {}
    for dirpath, dirnames, filenames in os.walk(tree):
        for name in filenames:
            p = os.path.join(dirpath, name)
            st = os.lstat(p)
            if stat.S_ISREG(st.st_mode):
                rel = os.path.relpath(p, tree)
                key = (st.st_dev, st.st_ino)
                if key not in files or rel.encode() < files[key][0].encode():
                    files[key] = (rel, st.st_size)
    by_size = collections.Counter(size for _, size in files.values())
    cands = [(rel, size) for rel, size in files.values() if by_size[size] >= 2]
    ok = True
    names = sum(len(fs) for _, _, fs in os.walk(tree))
    for what, got, want in (("names", names, manifest["names"]),
                            ("inodes", len(files), manifest["inodes"]),
                            ("candidates", len(cands), manifest["candidates"]),
                            ("candidate bytes", sum(s for _, s in cands),
                             manifest["candidate_bytes"])):
        ok = ok and got == want
        log(f"{'ok  ' if got == want else 'FAIL'}  {what}: {got:,} on disk, {want:,} planned")
    digests = collections.defaultdict(list)
    for n, (rel, size) in enumerate(sorted(cands)):
        h = hashlib.sha1()
        with open(os.path.join(tree, rel), "rb") as f:
            while chunk := f.read(1 << 20):
                h.update(chunk)
        digests[(size, h.hexdigest())].append(rel)
        if n % 20000 == 0:
            log(f"  read {n:,} of {len(cands):,}")
    found = sorted(sorted(g, key=lambda s: s.encode()) for g in digests.values() if len(g) >= 2)
    want = manifest["expected_groups"]
    good = found == want
    ok = ok and good
    log(f"{'ok  ' if good else 'FAIL'}  {len(found):,} groups on disk, {len(want):,} planned"
        + ("" if good else f"; {len(set(map(tuple, found)) ^ set(map(tuple, want)))} differ"))
    if plan is not None:
        # The writer's bytes against the plan's, for a sample of written files.
        writer = Writer(seed, plan.contents)
        first = {}
        for folder, name, inode in plan.names:
            first.setdefault(inode, plan.path(folder, name))
        bad = 0
        for inode in random.Random(1).sample(range(len(plan.inode_cid)), 200):
            want_h = writer.content_hash(plan.inode_cid[inode])
            with open(os.path.join(tree, first[inode]), "rb") as f:
                bad += hashlib.sha1(f.read()).hexdigest() != want_h
        ok = ok and bad == 0
        log(f"{'ok  ' if bad == 0 else 'FAIL'}  200 files sampled against the plan's bytes: "
            f"{bad} differ")
    return ok


def main():
    ap = argparse.ArgumentParser(description="Build the tree of bench/duplicates.py.")
    ap.add_argument("dir", nargs="?", default="/var/tmp/quarnel-bench/dupes")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--names", type=int, default=200_000)
    ap.add_argument("--groups", type=int, default=20_000)
    ap.add_argument("--max-size", default="1G", help="the largest file (default 1G)")
    ap.add_argument("--image-size", default="12G", help="the sparse image's length")
    ap.add_argument("--plan", action="store_true", help="print the plan's figures only")
    ap.add_argument("--verify", action="store_true",
                    help="read the tree back and compare its groups with the manifest")
    args = ap.parse_args()
    max_size = parse_size(args.max_size)
    if max_size < 16 * KIB:
        ap.error("--max-size must be at least 16K")

    tree = os.path.abspath(args.dir)
    image = tree + ".img"
    params = {"seed": args.seed, "names": args.names, "groups": args.groups,
              "max_size": max_size, "layout": LAYOUT_VERSION}

    started = time.monotonic()
    manifest = read_manifest(tree)
    plan = None
    reuse = manifest and manifest.get("params") == params and manifest.get("complete") \
        and os.path.exists(image)
    if not reuse or args.plan or args.verify:
        plan = Plan(args.seed, args.names, args.groups, max_size)
        plan.build()
        log(f"planned in {time.monotonic() - started:.1f} s")
    if args.plan:
        figures = plan.expected()
        for key in ("names", "inodes", "folders", "groups", "copies", "candidates",
                    "candidate_bytes", "apparent_bytes", "written_bytes", "largest",
                    "median_size"):
            print(f"{key:16} {figures[key]:>16,}")
        for key, n in figures["kinds"].items():
            print(f"  {key:30} {n:>8,}")
        print(f"identical folder sets {len(figures['identical_folders']):,}, "
              f"similar pairs {len(figures['similar_folders']):,}")
        return 0

    if os.geteuid() != 0:
        sys.exit("making and mounting the XFS image needs root")
    if manifest is None and (os.path.exists(image) or is_mounted(tree) or
                             (os.path.isdir(tree) and os.listdir(tree))):
        sys.exit(f"{tree} or {image} exists with no manifest beside it: not a tree this script "
                 "built, so it is left alone. Remove it or pick another DIR.")
    if reuse:
        if not is_mounted(tree):
            log(f"mounting {image} on {tree}")
            mount(image, tree)
        log(f"{tree}: already built with these parameters ({manifest_path(tree)})")
    else:
        figures = plan.expected()
        log(f"building {tree}: {figures['names']:,} names, {figures['groups']:,} groups, "
            f"{figures['written_bytes'] / GIB:.2f} GiB to write, seed {args.seed}")
        write_manifest(tree, {"params": params, "complete": False})
        make_fs(image, tree, parse_size(args.image_size))
        materialize(plan, tree, args.seed)
        manifest = {"params": params, "complete": True, "tree": tree, "image": image,
                    "build_seconds": round(time.monotonic() - started, 1), **figures}
        write_manifest(tree, manifest)
        log(f"built in {manifest['build_seconds']} s; manifest {manifest_path(tree)}")
    if args.verify and not verify(tree, manifest, plan, args.seed):
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
