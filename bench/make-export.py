#!/usr/bin/env python3
"""Writes a scan in ncdu's JSON export format (1.2) for a tree that need not exist: FILES files
in folders of 100, 100 folders to a parent, so a 10,000,000-file volume can be opened without
first making one on a disk.

    bench/make-export.py 10000000 /var/tmp/quarnel-bench/ten-million.json
"""
import sys


def main():
    files = int(sys.argv[1])
    out = open(sys.argv[2], "w", buffering=1 << 20)
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
            out.write("".join(
                ',\n{"name":"file-%07d.dat","asize":%d,"dsize":%d,"mtime":%d}'
                % (made + i, (made + i) * 7919 % 1048576, ((made + i) * 7919 % 1048576 + 4095) // 4096 * 4096,
                   1700000000 + (made + i) % 1000000)
                for i in range(n)))
            made += n
            out.write("]")
        out.write("]")
    out.write("]]\n")
    out.close()


if __name__ == "__main__":
    main()
