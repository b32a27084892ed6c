#!/usr/bin/env python3
"""Time loading a saved scan whose one folder holds many names crafted to share a hash value,
against the same number of ordinary names.

    bench/saved-names.py [--names 65536] [--runs 3] [--quarnel-scan PATH] [--before PATH]

Three gzip-compressed exports in ncdu's format, made in a temporary folder, each one folder of
NAMES files: "file-0000001.dat" and so on in the ordinary one; in the crafted one, 16 bytes each
whose std::hash<std::string_view> (libstdc++'s MurmurHash64A with its fixed seed) is the same
value for all; in the same-shape one, names like the crafted ones whose hashes are spread. Each is loaded by `quarnel-scan --import FILE` from process start to
finish, as a user opening it meets it; --before names a second quarnel-scan (an older build) to
time beside it. Interleaved runs, medians. The report goes to stdout, progress to stderr. Exits 1
when a load fails.
"""

import argparse
import gzip
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import walkers  # noqa: E402  the measuring is the walkers benchmark's

MASK = (1 << 64) - 1
MUL = 0xC6A4A7935BD1E995
MUL_INVERSE = pow(MUL, -1, 1 << 64)
SEED = 0xC70F6907  # libstdc++'s for std::hash of strings


def shift_mix(v):
    return v ^ (v >> 47)  # its own inverse: 47 is more than half of 64


def mix_block(block):
    return (shift_mix((block * MUL) & MASK) * MUL) & MASK


def unmix_block(mixed):
    return (shift_mix((mixed * MUL_INVERSE) & MASK) * MUL_INVERSE) & MASK


def std_hash(data):
    """libstdc++'s _Hash_bytes on a 64-bit machine."""
    h = SEED ^ ((len(data) * MUL) & MASK)
    whole = len(data) & ~7
    for at in range(0, whole, 8):
        h = ((h ^ mix_block(int.from_bytes(data[at:at + 8], "little"))) * MUL) & MASK
    if len(data) & 7:
        h = ((h ^ int.from_bytes(data[whole:], "little")) * MUL) & MASK
    h = shift_mix(h)
    return shift_mix((h * MUL) & MASK)


def crafted_names(count):
    """16-byte names of one hash: a readable first block, then the block that brings the state
    back to one fixed value. Each block's mix is invertible, so the second block is computed,
    not searched for; a name whose computed block holds a NUL or a slash is skipped."""
    start = SEED ^ ((16 * MUL) & MASK)
    wanted = (0x5175617276656C00 * MUL_INVERSE) & MASK  # the state before the last multiply
    names = []
    n = 0
    while len(names) < count:
        first = b"n%07d" % n
        n += 1
        state = ((start ^ mix_block(int.from_bytes(first, "little"))) * MUL) & MASK
        second = unmix_block(state ^ wanted).to_bytes(8, "little")
        if b"\0" in second or b"/" in second:
            continue
        names.append(first + second)
    return names


def random_names(count):
    """Names of the crafted ones' shape (the same first blocks, a second block of 8 bytes of any
    value, so as many escapes in the text) whose hashes are spread as anyone's are."""
    rng = random.Random(1)
    names = []
    n = 0
    while len(names) < count:
        name = b"n%07d" % n + rng.getrandbits(64).to_bytes(8, "little")
        n += 1
        if b"\0" not in name[8:] and b"/" not in name[8:]:
            names.append(name)
    return names


def json_name(name):
    """A name's bytes as a JSON string that Quarnel reads back as the same bytes: each byte
    above 0x7f as the escape \\udcXX, as Quarnel's own export writes bytes that are not UTF-8."""
    out = []
    for b in name:
        if b >= 0x80 or b < 0x20 or b in (0x22, 0x5C):
            out.append("\\udc%02x" % b if b >= 0x80 else "\\u%04x" % b)
        else:
            out.append(chr(b))
    return '"' + "".join(out) + '"'


def write_export(path, names):
    parts = ['[1,2,{"progname":"bench","progver":"1","timestamp":1764979200},\n'
             '[{"name":"/srv","mtime":1764979200}']
    parts += [',\n{"name":%s,"asize":%d,"dsize":4096,"mtime":1764979200}' % (json_name(n), i)
              for i, n in enumerate(names)]
    parts.append("]]\n")
    with gzip.open(path, "wt", encoding="utf-8", compresslevel=9) as f:
        f.write("".join(parts))


def check_std_hash(names, work):
    """Counts the distinct std::hash values of the names with the C++ library itself, when a
    compiler is there; None otherwise."""
    cxx = shutil.which("c++") or shutil.which("g++")
    if not cxx:
        return None
    source = os.path.join(work, "hashes.cpp")
    with open(source, "w") as f:
        f.write('#include <iostream>\n#include <set>\n#include <string>\n#include <string_view>\n'
                'int main() { std::set<size_t> seen; std::string line;\n'
                '  while (std::getline(std::cin, line)) {\n'
                '    std::string bytes; for (size_t i = 0; i < line.size(); i += 2)\n'
                '      bytes += char(std::stoi(line.substr(i, 2), nullptr, 16));\n'
                '    seen.insert(std::hash<std::string_view>()(bytes)); }\n'
                '  std::cout << seen.size() << "\\n"; }\n')
    exe = os.path.join(work, "hashes")
    if subprocess.run([cxx, "-O2", "-std=c++17", "-o", exe, source]).returncode != 0:
        return None
    lines = "\n".join(n.hex() for n in names) + "\n"
    return int(subprocess.run([exe], input=lines, capture_output=True, text=True,
                              check=True).stdout)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--names", type=int, default=65536)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--quarnel-scan", default=walkers.DEFAULT_SCAN, dest="scan")
    ap.add_argument("--before", help="another quarnel-scan to time beside it")
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="quarnel-names-")
    try:
        return run(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def run(args, work):
    crafted = crafted_names(args.names)
    assert len({std_hash(n) for n in crafted}) == 1 and len(set(crafted)) == len(crafted)
    distinct = check_std_hash(crafted, work)
    if distinct is not None and distinct != 1:
        print(f"the crafted names have {distinct} std::hash values here, not one")
        return 1
    made = {"ordinary": [b"file-%07d.dat" % i for i in range(args.names)],
            "same shape": random_names(args.names), "crafted": crafted}
    files = {}
    for kind, names in made.items():
        files[kind] = os.path.join(work, kind.replace(" ", "-") + ".json.gz")
        write_export(files[kind], names)
    scans = {"after": args.scan}
    if args.before:
        scans = {"before": args.before, **scans}
    cases = {(s, f): [scans[s], "--import", files[f]] for s in scans for f in files}
    runner = walkers.Runner(work)
    results = {c: [] for c in cases}
    order = list(cases)
    for r in range(args.runs):
        for case in order[r % len(order):] + order[:r % len(order)]:
            walkers.log(f"run {r + 1}/{args.runs}: {case[0]} {case[1]}")
            measured, error = runner.run(cases[case])
            if error:
                print(f"{case[0]} {case[1]} failed: {error}")
                return 1
            results[case].append(measured)

    sizes = ", ".join(f"{f} {os.path.getsize(p) / 1024:.0f} KiB" for f, p in files.items())
    print(f"{args.names} names in one folder; gzip files: {sizes}; std::hash values of the "
          f"crafted names: {distinct if distinct is not None else '1 (by the model)'}; "
          f"{args.runs} interleaved runs, medians\n")
    print(f"{'':22}{'wall s':>9}{'CPU s':>9}{'RSS MiB':>9}   crafted / same shape, / ordinary")
    for s in scans:
        wall = {f: statistics.median(x[0] for x in results[(s, f)]) for f in files}
        for f in files:
            cpu = statistics.median(x[1] for x in results[(s, f)])
            rss = max(x[2] for x in results[(s, f)]) / 1024
            ratio = (f"{wall[f] / wall['same shape']:.2f}x, {wall[f] / wall['ordinary']:.2f}x"
                     if f == "crafted" else "")
            print(f"{s + ' ' + f:22}{wall[f]:9.3f}{cpu:9.2f}{rss:9.1f}   {ratio}")
    for s in scans:
        print(f"  {s}: {scans[s]} --import FILE")
    return 0


if __name__ == "__main__":
    sys.exit(main())
