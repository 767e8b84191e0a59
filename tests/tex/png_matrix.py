# Writes a matrix of PNG files (colour types, bit depths, interlacing, tRNS) with Pillow and
# ImageMagick, and beside each one the peer's RGBA decoding (rows top first) as NAME.rgba.
# Usage: png_matrix.py OUT_DIR
import os, subprocess, sys
from PIL import Image

out = sys.argv[1]
W, H = 37, 23  # odd sizes catch row-length mistakes

def pattern_rgba():
    im = Image.new("RGBA", (W, H))
    px = im.load()
    for y in range(H):
        for x in range(W):
            px[x, y] = ((x * 7) % 256, (y * 11) % 256, ((x + y) * 5) % 256, (x * 13 + y * 3) % 256)
    return im

base = pattern_rgba()
files = []

def save(im, name, **kw):
    path = os.path.join(out, name + ".png")
    im.save(path, **kw)
    files.append(name)

save(base.convert("1"), "grey1")
save(base.convert("L"), "grey8")
save(base.convert("LA"), "greyalpha8")
save(base.convert("RGB"), "rgb8")
save(base, "rgba8")
pal = base.convert("RGB").quantize(colors=200)
save(pal, "palette8")
pal16 = base.convert("RGB").quantize(colors=16)
save(pal16, "palette4", bits=4)
pal4 = base.convert("RGB").quantize(colors=4)
save(pal4, "palette2", bits=2)
pt = base.convert("RGB").quantize(colors=64)
save(pt, "palette8_trns", transparency=bytes([(i * 37) % 256 for i in range(64)]))
g = base.convert("L")
save(g, "grey8_trns", transparency=g.getpixel((3, 4)))
rgb = base.convert("RGB")
save(rgb, "rgb8_trns", transparency=rgb.getpixel((5, 6)))
save(g.point(lambda v: (v // 64) * 85), "grey8_4levels")
save(g.point(lambda v: (v // 16) * 17), "grey8_16levels")

# ImageMagick: interlacing, 16-bit samples and 2-bit grey; no gamma chunks.
strip = ["-define", "png:exclude-chunks=gAMA,sRGB,cHRM,bKGD,date,time,tIME,zTXt,tEXt,iTXt,pHYs"]
def magick(src, name, args):
    path = os.path.join(out, name + ".png")
    subprocess.run(["convert", os.path.join(out, src + ".png")] + args + strip + [path], check=True)
    files.append(name)

magick("rgba8", "rgba8_interlaced", ["-interlace", "PNG"])
magick("palette8_trns", "palette8_trns_interlaced", ["-interlace", "PNG"])
magick("rgba8", "rgba16", ["-depth", "16", "-define", "png:bit-depth=16"])
magick("rgb8", "rgb16_interlaced", ["-depth", "16", "-define", "png:bit-depth=16", "-interlace", "PNG"])
magick("grey8_4levels", "grey2", ["-depth", "2"])
magick("grey8_16levels", "grey4_interlaced", ["-depth", "4", "-interlace", "PNG"])

for name in files:
    im = Image.open(os.path.join(out, name + ".png"))
    if im.mode in ("I;16", "I;16B", "I"):
        im = im.point(lambda v: v / 257).convert("L")
    with open(os.path.join(out, name + ".rgba"), "wb") as f:
        f.write(im.convert("RGBA").tobytes())
with open(os.path.join(out, "list.txt"), "w") as f:
    f.write("\n".join(files) + "\n")
