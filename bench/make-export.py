#!/usr/bin/env python3
"""Writes a scan in ncdu's JSON export format (1.2) for a tree that need not exist: FILES files
in folders of 100, 100 folders to a parent, so a 10,000,000-file volume can be opened without
first making one on a disk. With --wide N, N of the files are in one folder, `wide`, beside
the parents (the last folder under the root), as a folder of many files the list must show.

    bench/make-export.py 10000000 /var/tmp/quarnel-bench/ten-million.json
    bench/make-export.py --wide 100000 10000000 /var/tmp/quarnel-bench/ten-million-wide.json
"""
import argparse


def file_line(n):
    asize = n * 7919 % 1048576
    return ',\n{"name":"file-%07d.dat","asize":%d,"dsize":%d,"mtime":%d}' % (
        n, asize, (asize + 4095) // 4096 * 4096, 1700000000 + n % 1000000)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", type=int)
    parser.add_argument("out")
    parser.add_argument("--wide", type=int, default=0, metavar="N",
                        help="files of the folder `wide` under the root (counted in FILES)")
    args = parser.parse_args()
    wide = min(max(args.wide, 0), args.files)
    files = args.files - wide
    out = open(args.out, "w", buffering=1 << 20)
    per_folder, per_parent = 100, 100
    folders = (files + per_folder - 1) // per_folder
    parents = (folders + per_parent - 1) // per_parent
    out.write('[1,2,{"progname":"make-export","progver":"1","timestamp":1764979200},\n')
    out.write('[{"name":"/srv","mtime":1764979200}')
    made = 0
    for p in range(parents):
        out.write(',\n[{"name":"p%05d","mtime":1764979200}' % p)
        for f in range(min(per_parent, folders - p * per_parent)):
            out.write(',\n[{"name":"d%03d","mtime":1764979200}' % f)
            n = min(per_folder, files - made)
            out.write("".join(file_line(made + i) for i in range(n)))
            made += n
            out.write("]")
        out.write("]")
    if wide:
        out.write(',\n[{"name":"wide","mtime":1764979200}')
        for start in range(made, made + wide, 10000):
            out.write("".join(file_line(n) for n in range(start, min(start + 10000, made + wide))))
        out.write("]")
    out.write("]]\n")
    out.close()


if __name__ == "__main__":
    main()
