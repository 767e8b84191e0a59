#!/usr/bin/env python3
"""Writes a product master of a chosen size, for benchmarks at the scale of a real disc.

It is the sample master (every folder and file the master builder requires, with its large files
cut to 1 MB) plus generated files in the product's folders until the tree holds about the given
number of files and megabytes: mostly small and middling files with a few large ones, half of
their bytes text and half noise, so that they compress about as product data does.
Deterministic: the same arguments give the same bytes.

usage: make_product_master.py OUT_DIR [--mb 500] [--files 3000]
"""
import argparse
import os
import random
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_sample_master as sample  # noqa: E402

# Invented folders, spread over the folders that ship on every platform.
BULK_FOLDERS = ("All/Resources/bulk data", "All/Resources/bitmaps/bulk", "All/Resources/sounds/bulk",
                "All/Aircraft/Bulk Fleet", "All/Instructions/bulk")


def sizes(rng, count, total):
    """count sizes adding up to about total: a fiftieth of the files hold half of the bytes."""
    big = max(1, count // 50)
    small = [rng.randint(1, max(2, total // count)) for _ in range(count - big)]
    left = max(big, total - sum(small))
    return [left // big + rng.randint(0, 4095) for _ in range(big)] + small


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out_dir", help="root of the master tree to write (must not exist)")
    ap.add_argument("--mb", type=int, default=500, help="about this many megabytes in all")
    ap.add_argument("--files", type=int, default=3000, help="about this many files in all")
    args = ap.parse_args()
    if os.path.lexists(args.out_dir):
        sys.exit(f"{args.out_dir}: already exists; the master is written into a new folder")
    if shutil.which("7za") is None:
        sys.exit("7za is needed for the global scenery archives (Debian package p7zip-full)")
    m = sample.Master(os.path.abspath(args.out_dir), 1, True)
    m.build()
    have = sum(os.path.getsize(m.path(f)) for f in m.files)
    count = max(0, args.files - len(m.files))
    rng = random.Random(5150)
    for i, size in enumerate(sizes(rng, count, max(count, args.mb * 1000 * 1000 - have))):
        folder = BULK_FOLDERS[i % len(BULK_FOLDERS)]
        m.write(f"{folder}/set {i // 200:02d}/item_{i:05d}.dat", sample.mixed_bytes(rng, size))
    m.fix_times()
    total = sum(os.path.getsize(m.path(f)) for f in m.files)
    print(f"{args.out_dir}: {len(m.files)} files, {total / 1e6:.0f} MB")


if __name__ == "__main__":
    main()
