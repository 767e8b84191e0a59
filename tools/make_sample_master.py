#!/usr/bin/env python3
"""Writes the sample product master that the master-building mode turns into a disc.

The tree is deterministic: the same arguments always give the same bytes and times.
Release 2 is the next version of release 1: one file changed, two dropped (one of them alone in
its folder), one added, the rest unchanged,
so that an update master can be built over the main disc of release 1.

usage: make_sample_master.py OUT_DIR [--release 1|2] [--small]
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys

MTIME = 1262304000  # fixed modification time of every master file (2010-01-01)

PLATFORMS = ("All", "Macintosh", "Windows", "Linux")
ALL_FOLDERS = ("Aircraft", "Airfoils", "Instructions", "Output", "install_quelb Aircraft",
               "Resources", "Weapons", "Custom Scenery", "Rovade Vovavod")

WORDS = ("runway heading altitude throttle flap aileron rudder elevator trim gear brake "
         "fuel mixture magneto carburettor propeller compass gyro pitot static vacuum "
         "beacon strobe taxi landing approach departure holding pattern waypoint").split()


def text_bytes(rng, size):
    out = []
    n = 0
    while n < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 12))) + "\n"
        out.append(line)
        n += len(line)
    return "".join(out).encode()[:size]


def mixed_bytes(rng, size):
    """Half text, half noise: compresses about as well as real product data."""
    half = size // 2
    return text_bytes(rng, half) + rng.randbytes(size - half)


def pe_executable(rng, size):
    """A minimal PE image: DOS header with e_lfanew, "PE\\0\\0", a COFF header, then payload."""
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 60, 64)
    coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 0xE0, 0x0102)
    head = bytes(dos) + b"PE\0\0" + coff
    return head + rng.randbytes(max(0, size - len(head)))


class Master:
    def __init__(self, root, release, small):
        self.root = root
        self.release = release
        self.small = small
        self.files = []
        self.links = []

    def path(self, rel):
        return os.path.join(self.root, rel)

    def write(self, rel, data):
        p = self.path(rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data)
        self.files.append(rel)

    def folder(self, rel):
        os.makedirs(self.path(rel), exist_ok=True)

    def link(self, rel, target):
        p = self.path(rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        os.symlink(target, p)
        self.links.append(rel)

    def big(self, mb):
        return (mb if not self.small else 1) * 1000 * 1000

    def build(self):
        rng = random.Random(9002501)
        for plat in PLATFORMS:
            self.folder(plat)
        for name in ALL_FOLDERS:
            self.folder("All/" + name)

        # Common resources, the bulk of the product.
        self.write("All/Resources/menus/English/Volarium.txt", text_bytes(rng, 6000))
        self.write("All/Resources/text/English/Volarium.txt", text_bytes(rng, 9000))
        for lang in ("French", "German", "Italian", "Spanish"):
            self.write(f"All/Resources/text/{lang}/Volarium.txt", text_bytes(rng, 7000))
        self.write("All/Resources/preferences/Volarium Installer.prf", b"I\n900 version\n")
        self.write("All/Resources/plugins/ZRNB.framework/ZRNB", rng.randbytes(40000))
        self.write("All/Resources/plugins/ZRNB.dll", rng.randbytes(36000))
        self.write("All/Resources/plugins/ZRNB.so", rng.randbytes(38000))
        self.write("All/Resources/plugins/PluginAdminLin.zrb", rng.randbytes(12000))
        self.write("All/Resources/plugins/PluginAdminMac.zrb", rng.randbytes(12000))
        self.write("All/Resources/plugins/PluginAdminWin.zrb", rng.randbytes(12000))
        self.write("All/Resources/default scenery/900 red terrain/red.ter", text_bytes(rng, 3000))
        self.write("All/Resources/bitmaps/Earth Orbit Textures/earth_day.png", rng.randbytes(50000))
        for i in range(120):
            self.write(f"All/Resources/bitmaps/cockpit/panel_{i:03d}.png", mixed_bytes(rng, rng.randint(200, 60000)))
        for i in range(40):
            self.write(f"All/Resources/sounds/engine/eng_{i:02d}.wav", rng.randbytes(rng.randint(1000, 90000)))
        for i in range(30):
            self.write(f"All/Resources/default data/beacon_chart_{i:02d}.dat", text_bytes(rng, rng.randint(5, 40000)))
        self.write("All/Resources/default data/tiny.dat", b"A\n")
        self.write("All/Resources/default data/large terrain.dat", mixed_bytes(rng, self.big(24)))
        self.write("All/Resources/default data/field_register.dat", text_bytes(rng, self.big(8)))

        # Aircraft, airfoils, weapons, instructions.
        for i in range(12):
            base = f"All/Aircraft/General Aviation/Kestrel {i:02d}"
            self.write(f"{base}/k{i}.acf", mixed_bytes(rng, rng.randint(20000, 120000)))
            self.write(f"{base}/objects/body.obj", text_bytes(rng, rng.randint(2000, 30000)))
            self.write(f"{base}/liveries/default paint.png", rng.randbytes(rng.randint(5000, 50000)))
        for i in range(20):
            self.write(f"All/Airfoils/Wing Section {2400 + i}.afl", text_bytes(rng, rng.randint(500, 4000)))
        for i in range(6):
            self.write(f"All/Weapons/store_{i}.wpn", text_bytes(rng, 1500))
        self.write("All/Instructions/Volarium Manual.txt", text_bytes(rng, 120000))
        self.write("All/Output/situations/default.sit.txt", text_bytes(rng, 800))
        self.write("All/Resources/retired/legacy notes.txt", b"Kept for one release only.\n")
        self.write("All/install_quelb Aircraft/never shipped.acf", b"quelb")
        self.write("All/Custom Scenery/Quillmoor Demo Field/field layout.xml", text_bytes(rng, 4000))
        self.write("All/Custom Scenery/DSF 900 Mars World-Wide/+00+000.dsf", rng.randbytes(3000))

        # Global scenery: tiles go on the disc of their region, each with a prepared 7z beside it.
        tiles = ["+47-122", "+47-123", "+46-122", "+30-100", "+48+011", "-34+151"]
        for t in tiles:
            lat, lon = int(t[:3]), int(t[3:])
            sub = f"{lat // 10 * 10:+03d}{lon // 10 * 10:+04d}"
            self.write(f"All/Rovade Vovavod/-global terrain-/{sub}/{t}.dsf", mixed_bytes(rng, rng.randint(40000, 400000)))
        self.write("All/Rovade Vovavod/-global overlays-/+40-130/+47-122.dsf", mixed_bytes(rng, 90000))

        # Macintosh: an application bundle and a framework with its symbolic links.
        app = "Macintosh/Volarium.app/Contents"
        self.write(f"{app}/MacOS/Volarium", rng.randbytes(self.big(3)))
        self.write(f"{app}/Info.plist", text_bytes(rng, 1200))
        self.write(f"{app}/Resources/Volarium.icns", rng.randbytes(30000))
        fw = f"{app}/Frameworks/Flight.framework"
        self.write(f"{fw}/Versions/A/Flight", rng.randbytes(200000))
        self.write(f"{fw}/Versions/A/Resources/Info.plist", text_bytes(rng, 900))
        self.link(f"{fw}/Versions/Current", "A")
        self.link(f"{fw}/Resources", "Versions/Current/Resources")
        self.link(f"{fw}/Flight", "Versions/Current/Flight")
        self.write("Macintosh/Volarium.app/Contents/MacOS/Volarium Helper", rng.randbytes(50000))

        # Windows and Linux.
        self.write("Windows/Volarium.exe", pe_executable(rng, self.big(2)))
        self.write("Windows/Resources/dlls/audio.dll", rng.randbytes(64000))
        self.write("Linux/volarium-x86_64", rng.randbytes(self.big(2)))
        self.write("Linux/Resources/libs/libaudio.so", rng.randbytes(64000))

        self.apply_release(rng)
        self.make_7z_companions()
        self.fix_times()

    def apply_release(self, rng):
        if self.release < 2:
            return
        # Release 2: one file changed, one dropped, one new; everything else unchanged.
        rng2 = random.Random(9002602)
        self.write("All/Resources/text/English/Volarium.txt", text_bytes(rng2, 9500))
        for dropped in ("All/Weapons/store_5.wpn", "All/Resources/retired/legacy notes.txt"):
            os.remove(self.path(dropped))
            self.files.remove(dropped)
        os.rmdir(self.path("All/Resources/retired"))
        self.write("All/Weapons/store_6.wpn", text_bytes(rng2, 1700))

    def make_7z_companions(self):
        for rel in self.files:
            if "Rovade Vovavod" not in rel:
                continue
            p = self.path(rel)
            os.utime(p, (MTIME, MTIME))
            out = p + ".7z"
            subprocess.run(["7za", "a", "-t7z", "-mx=5", "-bd", "-bso0", "-bsp0", "--", out, os.path.basename(p)],
                           cwd=os.path.dirname(p), check=True)

    def fix_times(self):
        for rel in self.links:
            os.utime(self.path(rel), (MTIME, MTIME), follow_symlinks=False)
        for dirpath, dirnames, filenames in os.walk(self.root, topdown=False):
            for n in filenames:
                p = os.path.join(dirpath, n)
                if not os.path.islink(p):
                    os.utime(p, (MTIME, MTIME))
            os.utime(dirpath, (MTIME, MTIME))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out_dir", help="root of the master tree to write (must not exist)")
    ap.add_argument("--release", type=int, choices=(1, 2), default=1)
    ap.add_argument("--small", action="store_true", help="cap the large files at 1 MB (for tests)")
    args = ap.parse_args()
    if os.path.lexists(args.out_dir):
        sys.exit(f"{args.out_dir}: already exists; the master is written into a new folder")
    if shutil.which("7za") is None:
        sys.exit("7za is needed for the global scenery archives (Debian package p7zip-full)")
    m = Master(os.path.abspath(args.out_dir), args.release, args.small)
    m.build()
    print(f"{args.out_dir}: {len(m.files)} files, {len(m.links)} links (release {args.release})")


if __name__ == "__main__":
    main()
