#!/usr/bin/python3
"""Writes the picture fixtures of the codec tests into this folder, with the
README that lists how each one was made.

Independent programs write what they can: ImageMagick's `convert` (tga, pcx,
sgi, psd, pcd), Pillow (tga, pcx, sgi), Inkscape (emf, wmf), netpbm (pbm, pgm,
ppm). Where no Debian
program writes a variant, the small writers below build it from the format's
public description (rla/rpf, cel/pic, cut/pal, psp, and the Targa and PCX
variants that neither program writes). Each fixture gets the PNG it must
decode to: written by the same program from the same picture (ImageMagick
reading its own file, Pillow saving the same image, Inkscape exporting the
same drawing), or by the writer below from the pixels it encoded.

Run from anywhere with Debian's python3 (python3-pil), imagemagick, netpbm
and inkscape installed: /usr/bin/python3 make_fixtures.py
"""

import gzip
import os
import struct
import subprocess
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = "/usr/bin/convert"
made = []  # (fixture, expected png, how)


def run(*args):
    subprocess.run(list(args), check=True, cwd=HERE)


# Extensions that ImageMagick takes for other formats get the format named.
IM_FORMAT = {"rgba": "SGI:", "bw": "SGI:", "rgb": "SGI:", "pcc": "PCX:", "pdd": "PSD:", "vda": "TGA:"}


def im(out, *args, same_args=False):
    """ImageMagick writes out; it also writes the PNG it reads back from it, or
    with same_args (its reader refuses the file it wrote) the PNG of the same
    picture with the same arguments."""
    target = IM_FORMAT.get(out.rsplit(".", 1)[1], "") + out
    run(CONVERT, *args, target)
    png = out.rsplit(".", 1)[0] + ".png"
    if same_args:
        run(CONVERT, *args, png)
        made.append((out, png, "convert " + " ".join(args) + " " + target + "; convert " + " ".join(args) + " " + png))
        return
    # The first picture of the file (a Photoshop file also holds its layers),
    # turned the way the file's origin says.
    run(CONVERT, target + "[0]", "-auto-orient", png)
    made.append((out, png, "convert " + " ".join(args) + " " + target + "; convert " + target + "[0] -auto-orient " + png))


def rgba(name):
    img = Image.open(os.path.join(HERE, name)).convert("RGBA")
    return img.size[0], img.size[1], list(img.getdata())


def save_expected(png, w, h, pixels):
    img = Image.new("RGBA", (w, h))
    img.putdata([tuple(p) for p in pixels])
    img.save(os.path.join(HERE, png))


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- sources

run(CONVERT, "-size", "37x23", "-seed", "7", "plasma:fractal", "-alpha", "off", "-depth", "8",
    "PNG24:src.png")
run(CONVERT, "src.png", "(", "-size", "37x23", "gradient:white-black", ")", "-alpha", "off",
    "-compose", "CopyOpacity", "-composite", "PNG32:srca.png")
SOURCES = [
    ("src.png", "convert -size 37x23 -seed 7 plasma:fractal -alpha off -depth 8 PNG24:src.png"),
    ("srca.png", "convert src.png ( -size 37x23 gradient:white-black ) -alpha off "
                 "-compose CopyOpacity -composite PNG32:srca.png"),
]

# ---------------------------------------------------------------- ImageMagick

im("tga_rgb24.tga", "src.png", "-compress", "None")
im("tga_rgb24_rle.tga", "src.png", "-compress", "RLE")
im("tga_rgba32.tga", "srca.png", "-compress", "None")
im("tga_grey8_rle.tga", "src.png", "-colorspace", "Gray", "-compress", "RLE")
im("tga_pal8.tga", "src.png", "-colors", "16", "-type", "Palette", "-compress", "None")
im("tga_pal8_rle.vda", "src.png", "-colors", "16", "-type", "Palette", "-compress", "RLE")
im("pcx_rgb24.pcx", "src.png")
im("pcx_pal8.pcc", "src.png", "-colors", "200", "-type", "Palette")
im("pcx_mono.pcx", "src.png", "-colorspace", "Gray", "-threshold", "50%", "-type", "Bilevel")
im("sgi_rgb_rle.sgi", "src.png", "-compress", "RLE")
im("sgi_rgba.rgba", "srca.png", "-compress", "None")
im("sgi_grey16.bw", "src.png", "-colorspace", "Gray", "-depth", "16", "-compress", "RLE")
im("psd_rgb_rle.psd", "src.png", "-compress", "RLE")
im("psd_rgba_raw.pdd", "srca.png", "-compress", "None", same_args=True)
im("psd_grey16.psd", "src.png", "-colorspace", "Gray", "-depth", "16")
im("psd_pal.psd", "src.png", "-colors", "16", "-type", "Palette", same_args=True)
im("psd_cmyk.psd", "src.png", "-colorspace", "CMYK")
im("psd_bitmap.psd", "src.png", "-colorspace", "Gray", "-threshold", "50%", "-type", "Bilevel")
im("psd_lab.psd", "src.png", "-colorspace", "Lab")

# Photo CD: the base picture is 768 x 512, so the packs are kept gzipped, and
# the pictures are shapes on a gradient, which pack small. ImageMagick's packs
# keep luma and chroma unscaled, unlike Kodak's PhotoYCC: they serve for size
# and orientation; a pack in PhotoYCC from the writer below serves for colour.
SHAPES = ["-fill", "#c02020", "-draw", "rectangle 40,40 300,200", "-fill", "#2040c0",
          "-draw", "circle 560,360 560,460", "-fill", "#20a040", "-draw", "polygon 100,480 260,300 380,480"]
for name, size in (("pcd_landscape", "768x512"), ("pcd_portrait", "512x768")):
    args = ["-size", size, "gradient:#e0d0b0-#203050"] + SHAPES
    run(CONVERT, *args, "PNG24:" + name + "_src.png")
    run(CONVERT, name + "_src.png", name + ".pcd")
    run(CONVERT, name + ".pcd", name + ".png")
    with open(os.path.join(HERE, name + ".pcd"), "rb") as f:
        write(name + ".pcd.gz", gzip.compress(f.read(), 9, mtime=0))
    os.remove(os.path.join(HERE, name + ".pcd"))
    os.remove(os.path.join(HERE, name + "_src.png"))
    quoted = " ".join(f"'{a}'" if " " in a or "#" in a else a for a in args)
    made.append((name + ".pcd.gz", name + ".png",
                 f"convert {quoted} PNG24:s.png; convert s.png {name}.pcd; convert {name}.pcd {name}.png; "
                 f"gzip -9n {name}.pcd"))


def pcd_kodak(name):
    """A pack in PhotoYCC: Y = luma / 1.3584, C1 = (B - Y) / 2.2179 + 156,
    C2 = (R - Y) / 1.8215 + 137, chroma taken at even rows and columns."""
    args = ["-size", "768x512", "gradient:#e0d0b0-#203050"] + SHAPES
    run(CONVERT, *args, "PNG24:" + name + ".png")
    img = Image.open(os.path.join(HERE, name + ".png")).convert("RGB")
    w, h = img.size
    px = img.load()
    data = bytearray(0x30000 + w * h * 3 // 2)
    data[0x800:0x807] = b"PCD_IPI"
    at = 0x30000

    def clip(v):
        return max(0, min(255, int(round(v))))

    for pair in range(h // 2):
        ys, c1s, c2s = [bytearray(w), bytearray(w)], bytearray(w // 2), bytearray(w // 2)
        for line in range(2):
            for x in range(w):
                r, g, b = px[x, 2 * pair + line]
                ys[line][x] = clip((0.299 * r + 0.587 * g + 0.114 * b) / 1.3584)
        for cx in range(w // 2):
            r, g, b = px[2 * cx, 2 * pair]
            y = 0.299 * r + 0.587 * g + 0.114 * b
            c1s[cx] = clip((b - y) / 2.2179 + 156)
            c2s[cx] = clip((r - y) / 1.8215 + 137)
        data[at:at + 3 * w] = ys[0] + ys[1] + c1s + c2s
        at += 3 * w
    write(name + ".pcd.gz", gzip.compress(bytes(data), 9, mtime=0))
    quoted = " ".join(f"'{a}'" if " " in a or "#" in a else a for a in args)
    made.append((name + ".pcd.gz", name + ".png",
                 f"convert {quoted} PNG24:{name}.png; make_fixtures.py pcd_kodak(): the base picture "
                 "in PhotoYCC, gzipped"))


pcd_kodak("gen_pcd_kodak")

# ---------------------------------------------------------------- Pillow

src = Image.open(os.path.join(HERE, "src.png")).convert("RGB")
srca = Image.open(os.path.join(HERE, "srca.png")).convert("RGBA")
for name, img, kw in (
    ("pil_rgb_rle.tga", src, {"compression": "tga_rle"}),
    ("pil_rgba.icb", srca, {}),
    ("pil_grey.pcx", src.convert("L"), {}),
    ("pil_pal.scr", src.quantize(64), {}),
    ("pil_rgb.rgb", src, {}),
    ("pil_grey.sgi", src.convert("L"), {}),
):
    fmt = {"icb": "TGA", "scr": "PCX", "rgb": "SGI", "sgi": "SGI", "tga": "TGA", "pcx": "PCX"}[name.split(".")[1]]
    img.save(os.path.join(HERE, name), fmt, **kw)
    png = name.rsplit(".", 1)[0] + ".png"
    img.save(os.path.join(HERE, png))
    made.append((name, png, f"Pillow: Image.open('src.png'{'/srca.png' if img is srca else ''})"
                            f"{' converted' if img is not src and img is not srca else ''}"
                            f".save('{name}', '{fmt}', **{kw}) and .save('{png}')"))

# ---------------------------------------------------------------- writers from the format descriptions

W, H, PIX = rgba("src.png")
_, _, PIXA = rgba("srca.png")


def quantize(levels):
    """The source picture with at most `levels` colours, and its palette."""
    q = src.quantize(levels)
    pal = q.getpalette()[: 3 * levels]
    pal += [0] * (3 * levels - len(pal))
    return list(q.getdata()), [tuple(pal[3 * i: 3 * i + 3]) for i in range(levels)]


def rle_bytes(row, max_run, run_head, literal_head, max_literal):
    """Generic byte run-length coder: runs of 3 or more become runs."""
    out, i = bytearray(), 0
    while i < len(row):
        j = i
        while j < len(row) and row[j] == row[i] and j - i < max_run:
            j += 1
        if j - i >= 3:
            out += run_head(j - i) + bytes([row[i]])
            i = j
            continue
        k = i
        while k < len(row) and k - i < max_literal and not (
                k + 2 < len(row) and row[k] == row[k + 1] == row[k + 2]):
            k += 1
        out += literal_head(k - i) + bytes(row[i:k])
        i = k
    return bytes(out)


# Targa: 16-bit with the alpha bit, top-right origin; colour maps of 15, 16, 24, 32-bit entries.
def tga16(name, top, right):
    hdr = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, W, H, 16, 1 | (0x20 if top else 0) | (0x10 if right else 0))
    rows, exp = [], []
    for y in range(H):
        sy = y if top else H - 1 - y
        row = []
        for x in range(W):
            sx = W - 1 - x if right else x
            r, g, b, a = PIXA[sy * W + sx]
            row.append(struct.pack("<H", (0x8000 if a >= 128 else 0) | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3))
        rows.append(b"".join(row))
    for r, g, b, a in PIXA:
        exp.append(tuple((v >> 3) << 3 | (v >> 3) >> 2 for v in (r, g, b)) + (255 if a >= 128 else 0,))
    write(name, hdr + b"".join(rows))
    save_expected(name.rsplit(".", 1)[0] + ".png", W, H, exp)
    made.append((name, name.rsplit(".", 1)[0] + ".png", f"make_fixtures.py tga16(): type 2, 16 bits with the alpha bit, origin {'top' if top else 'bottom'}-{'right' if right else 'left'}"))


def tga_mapped(name, entry_bits, rle):
    idx, pal = quantize(16)
    entries = bytearray()
    exp_pal = []
    for r, g, b in pal:
        if entry_bits in (15, 16):
            entries += struct.pack("<H", (0x8000 if entry_bits == 16 else 0) | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
            exp_pal.append(tuple((v >> 3) << 3 | (v >> 3) >> 2 for v in (r, g, b)) + (255,))
        else:
            entries += bytes([b, g, r]) + (b"\xff" if entry_bits == 32 else b"")
            exp_pal.append((r, g, b, 255))
    # Colour map starting at index 4, with the image ID present.
    image_id = b"korvelt test"
    first = 4
    hdr = struct.pack("<BBBHHBHHHHBB", len(image_id), 1, 9 if rle else 1, first, len(pal), entry_bits, 0, 0, W, H, 8, 0x20 | (8 if entry_bits == 32 else 0))
    data = bytes(i + first for i in idx)
    if rle:
        body = bytearray()
        for y in range(H):  # packets may cross rows; this writer keeps them inside
            row = data[y * W:(y + 1) * W]
            body += rle_bytes(row, 128, lambda n: bytes([0x80 | (n - 1)]), lambda n: bytes([n - 1]), 128)
        data = bytes(body)
    write(name, hdr + image_id + bytes(entries) + data)
    png = name.rsplit(".", 1)[0] + ".png"
    save_expected(png, W, H, [exp_pal[i] for i in idx])
    made.append((name, png, f"make_fixtures.py tga_mapped(): type {9 if rle else 1}, 8-bit indices, colour map of {entry_bits}-bit entries from index 4, image ID, top-left origin"))


tga16("gen_tga16.tga", top=True, right=True)
tga16("gen_tga16_bl.win", top=False, right=True)
for bits, rle in ((15, False), (16, True), (24, False), (32, True)):
    tga_mapped(f"gen_tga_map{bits}.{'vst' if bits == 24 else 'tga'}", bits, rle)


# PCX: EGA planar, packed 4-bit, version 0 with the default palette, padded lines.
EGA = [(0, 0, 0), (0, 0, 170), (0, 170, 0), (0, 170, 170), (170, 0, 0), (170, 0, 170), (170, 85, 0), (170, 170, 170),
       (85, 85, 85), (85, 85, 255), (85, 255, 85), (85, 255, 255), (255, 85, 85), (255, 85, 255), (255, 255, 85), (255, 255, 255)]


def pcx_encode(line):
    out = bytearray()
    i = 0
    while i < len(line):
        j = i
        while j < len(line) and line[j] == line[i] and j - i < 63:
            j += 1
        if j - i > 1 or line[i] >= 0xC0:
            out += bytes([0xC0 | (j - i), line[i]])
        else:
            out.append(line[i])
        i = j
    return bytes(out)


def pcx16(name, version, planes, bits, pad, header_palette):
    idx, pal = quantize(16)
    if not header_palette:
        # Nearest colour of the default EGA palette.
        idx = [min(range(16), key=lambda k: sum((a - b) ** 2 for a, b in zip(PIX[i][:3], EGA[k]))) for i in range(W * H)]
        pal = EGA
    need = (W * bits + 7) // 8
    bpl = need + pad
    if bpl % 2:
        bpl += 1
    hdr = bytearray(128)
    struct.pack_into("<BBBBHHHHHH", hdr, 0, 0x0A, version, 1, bits, 0, 0, W - 1, H - 1, 75, 75)
    if header_palette:
        hdr[16:64] = bytes(v for c in pal for v in c)
    hdr[65] = planes
    struct.pack_into("<HH", hdr, 66, bpl, 1)
    body = bytearray()
    for y in range(H):
        line = bytearray()
        row = idx[y * W:(y + 1) * W]
        if planes == 4:
            for p in range(4):
                plane = bytearray(bpl)
                for x, v in enumerate(row):
                    if v >> p & 1:
                        plane[x >> 3] |= 0x80 >> (x & 7)
                line += plane
        else:
            packed = bytearray(bpl)
            for x, v in enumerate(row):
                packed[x >> 1] |= v << (4 if x % 2 == 0 else 0)
            line += packed
        body += pcx_encode(bytes(line))
    write(name, bytes(hdr) + bytes(body))
    png = name.rsplit(".", 1)[0] + ".png"
    save_expected(png, W, H, [pal[i] + (255,) for i in idx])
    made.append((name, png, f"make_fixtures.py pcx16(): version {version}, {planes} plane(s) of {bits} bit(s), "
                            f"{bpl} bytes a line, {'header' if header_palette else 'default EGA'} palette"))


pcx16("gen_pcx_ega.pcx", 2, 4, 1, 0, True)
pcx16("gen_pcx_ega_v0.pcx", 0, 4, 1, 0, False)
pcx16("gen_pcx_nibble.pcx", 5, 1, 4, 3, True)


# Wavefront RLA: 740-byte header, offsets, bottom-up lines of length-prefixed channels.
def rla_channel(values):
    return rle_bytes(values, 128, lambda n: bytes([n - 1]), lambda n: struct.pack("b", -n), 128)


def rla(name, bits, matte, aux, grey=False):
    hdr = bytearray(740)
    # window and active window: left, right, bottom, top
    struct.pack_into(">hhhhhhhh", hdr, 0, 0, W + 9, 0, H + 9, 5, 5 + W - 1, 3, 3 + H - 1)
    struct.pack_into(">hhhhhh", hdr, 16, 0, 0, 1 if grey else 3, 1 if matte else 0, 1 if aux else 0, -2)
    hdr[28:31] = b"2.2"
    hdr[580:583] = b"rgb"
    struct.pack_into(">hhhhh", hdr, 658, bits, 0, bits if matte else 0, 0, 32 if aux else 0)
    lines = []
    exp = []
    for line in range(H):
        y = H - 1 - line  # bottom line first
        row = PIXA[y * W:(y + 1) * W]
        chans = []
        colours = [[(p[0] * 299 + p[1] * 587 + p[2] * 114) // 1000 for p in row]] if grey else [[p[c] for p in row] for c in range(3)]
        if matte:
            colours.append([p[3] for p in row])
        for vals in colours:
            if bits == 16:
                raw = b"".join(struct.pack(">H", v * 257) for v in vals)
            else:
                raw = bytes(vals)
            enc = rla_channel(raw)
            chans.append(struct.pack(">H", len(enc)) + enc)
        if aux:
            enc = rla_channel(bytes(4 * W))
            chans.append(struct.pack(">H", len(enc)) + enc)
        lines.append(b"".join(chans))
    for p in PIXA:
        g = (p[0] * 299 + p[1] * 587 + p[2] * 114) // 1000
        exp.append(((g, g, g) if grey else tuple(p[:3])) + ((p[3],) if matte else (255,)))
    offsets, at = [], 740 + 4 * H
    for ln in lines:
        offsets.append(at)
        at += len(ln)
    write(name, bytes(hdr) + b"".join(struct.pack(">i", o) for o in offsets) + b"".join(lines))
    png = name.rsplit(".", 1)[0] + ".png"
    save_expected(png, W, H, exp)
    made.append((name, png, f"make_fixtures.py rla(): {'grey' if grey else 'RGB'}, {bits}-bit channels"
                            f"{', matte' if matte else ''}{', one auxiliary channel' if aux else ''}"))


rla("gen_rla_rgba8.rla", 8, True, False)
rla("gen_rla_rgb16.rla", 16, False, False)
rla("gen_rpf_grey_aux.rpf", 8, False, True, grey=True)


# Dr. Halo: rows of length-prefixed runs; the palette file in 512-byte blocks.
def cut(name, with_palette, palette_name=None):
    idx, pal = quantize(100)
    out = bytearray(struct.pack("<HHH", W, H, 0))
    for y in range(H):
        row = bytes(idx[y * W:(y + 1) * W])
        enc = rle_bytes(row, 127, lambda n: bytes([0x80 | n]), lambda n: bytes([n]), 127) + b"\0"
        out += struct.pack("<H", len(enc)) + enc
    write(name, bytes(out))
    png = name.rsplit(".", 1)[0] + ".png"
    if with_palette:
        pal_bytes = bytearray(40)
        struct.pack_into("<2sHHBBHHHHHH", pal_bytes, 0, b"AH", 0, 0, 10, 0, 0, 0, len(pal) - 1, 255, 255, 255)
        pal_bytes[20:28] = b"Dr. Halo"
        for c in pal:
            if len(pal_bytes) // 512 != (len(pal_bytes) + 5) // 512:
                pal_bytes += bytes(512 - len(pal_bytes) % 512)
            pal_bytes += struct.pack("<HHH", *c)
        struct.pack_into("<H", pal_bytes, 4, len(pal_bytes))
        write(palette_name, bytes(pal_bytes))
        save_expected(png, W, H, [pal[i] + (255,) for i in idx])
    else:
        top = max(max(idx), 1)
        save_expected(png, W, H, [(min(255, i * 255 // top),) * 3 + (255,) for i in idx])
    made.append((name, png, "make_fixtures.py cut(): 8-bit run-length rows, " +
                 (f"100-colour palette file {palette_name} (two 512-byte blocks)" if with_palette else "no palette (grey ramp)")))


cut("gen_cut.cut", True, "GEN_CUT.PAL")
cut("gen_cut_grey.cut", False)


# Autodesk Animator: 32-byte header, 6-bit palette, indexed pixels.
def cel(name, levels):
    idx, pal = quantize(levels)
    pal6 = [tuple(v >> 2 for v in c) for c in pal] + [(0, 0, 0)] * (256 - levels)
    hdr = struct.pack("<HHHHHBBI16x", 0x9119, W, H, 10, 20, 8, 0, W * H)
    write(name, hdr + bytes(v for c in pal6 for v in c) + bytes(idx))
    png = name.rsplit(".", 1)[0] + ".png"
    save_expected(png, W, H, [tuple(v << 2 | v >> 4 for v in pal6[i]) + (255,) for i in idx])
    made.append((name, png, f"make_fixtures.py cel(): {levels} colours, 6-bit palette"))


cel("gen_cel.cel", 256)
cel("gen_pic.pic", 32)


# Paint Shop Pro: blocks "~BK\0", id, length; chunks led by their length.
def block(block_id, body):
    return b"~BK\0" + struct.pack("<HI", block_id, len(body)) + body


def psp_channel(raw, compression, bitmap_type, channel_type):
    if compression == 2:
        data = zlib.compress(raw, 9)
    elif compression == 1:
        data = rle_bytes(raw, 127, lambda n: bytes([128 + n]), lambda n: bytes([n]), 128)
    else:
        data = raw
    return block(5, struct.pack("<IIIHH", 16, len(data), len(raw), bitmap_type, channel_type) + data)


def psp(name, mode, compression):
    """mode: 'composite' (24-bit merged image, plus a layer), 'layer' (24-bit layer with a
    transparency mask on a larger canvas), 'indexed' (8-bit layer with a palette)."""
    out = bytearray(b"Paint Shop Pro Image File\n\x1a".ljust(32, b"\0"))
    out += struct.pack("<HH", 6 if mode == "composite" else 4, 0)
    cw, ch = (W + 6, H + 4) if mode == "layer" else (W, H)
    depth = 8 if mode == "indexed" else 24
    attrs = struct.pack("<IiidBHHHIBIiHI", 46, cw, ch, 72.0, 1, compression, depth, 1, 256 if depth == 8 else 1 << 24, 0, W * H * 3, 0, 1, 1)
    out += block(0, attrs)
    out += block(1, b"\0" * 8)  # creator block, skipped
    exp = [(0, 0, 0, 0)] * (cw * ch)
    idx, pal = quantize(64)
    if depth == 8:
        out += block(2, struct.pack("<II", 8, 64) + b"".join(bytes([b, g, r, 0]) for r, g, b in pal))

    def channels(rows_w, rows_h, pixels, alpha):
        chans = b""
        if depth == 8:
            chans += psp_channel(bytes(idx), compression, 0, 0)
        else:
            for c in range(3):
                chans += psp_channel(bytes(p[c] for p in pixels), compression, 0, c + 1)
        if alpha:
            chans += psp_channel(bytes(p[3] for p in pixels), compression, 1, 0)
        return chans

    # One raster layer at (3, 2) on the canvas for 'layer', else covering it.
    lx, ly = (3, 2) if mode == "layer" else (0, 0)
    name_bytes = b"Calque"
    info = struct.pack("<H", len(name_bytes)) + name_bytes + bytes([1])
    info += struct.pack("<iiii", lx, ly, lx + W, ly + H) * 2 + bytes([255, 0, 1, 0, 0]) + bytes(24)
    info = struct.pack("<I", 4 + len(info)) + info
    alpha = mode == "layer"
    layer_pixels = PIXA if alpha else PIX
    chans = channels(W, H, layer_pixels, alpha)
    bitmap = struct.pack("<IHH", 8, 1 + alpha, (1 if depth == 8 else 3) + alpha)
    out += block(3, block(4, info + bitmap + chans))
    if mode == "composite":
        # A thumbnail first (which must be passed over), then the merged picture.
        thumb_attrs = struct.pack("<IiiHHHIH", 24, 4, 3, 24, 0, 1, 1 << 24, 1)
        thumb = block(9, struct.pack("<IHH", 8, 1, 3) + b"".join(psp_channel(bytes([9] * 12), 0, 0, c) for c in (1, 2, 3)))
        comp_attrs = struct.pack("<IiiHHHIH", 24, W, H, 24, 2, 1, 1 << 24, 0)
        comp = block(9, struct.pack("<IHH", 8, 1, 3) + channels(W, H, PIX, False))
        out += block(16, struct.pack("<II", 8, 2) + block(17, thumb_attrs) + thumb + block(17, comp_attrs) + comp)
    for y in range(H):
        for x in range(W):
            p = layer_pixels[y * W + x]
            if depth == 8:
                p = pal[idx[y * W + x]] + (255,)
            exp[(y + ly) * cw + x + lx] = tuple(p[:3]) + ((p[3],) if alpha else (255,))
    write(name, bytes(out))
    png = name.rsplit(".", 1)[0] + ".png"
    save_expected(png, cw, ch, exp)
    made.append((name, png, f"make_fixtures.py psp(): {mode}, compression {['none', 'RLE', 'LZ77'][compression]}"))


psp("gen_psp_composite.psp", "composite", 2)
psp("gen_psp_layer_rle.psp", "layer", 1)
psp("gen_psp_indexed.psp", "indexed", 0)

# ---------------------------------------------------------------- Inkscape metafiles

SVG = """<svg xmlns="http://www.w3.org/2000/svg" width="120" height="80" viewBox="0 0 120 80">
  <rect x="0" y="0" width="120" height="80" fill="#ffffff"/>
  <rect x="8" y="8" width="44" height="30" fill="#2060c0" stroke="#000000" stroke-width="2"/>
  <ellipse cx="86" cy="24" rx="24" ry="15" fill="#e03020"/>
  <polygon points="10,72 40,46 62,72" fill="#30a040"/>
  <path d="M 66 70 C 76 40, 100 40, 112 70 Z" fill="#f0c020" stroke="#603000" stroke-width="3"/>
  <polyline points="4,44 30,40 60,44" fill="none" stroke="#800080" stroke-width="2"/>
</svg>
"""
write("drawing.svg", SVG.encode())
for kind in ("emf", "wmf"):
    run("inkscape", "drawing.svg", f"--export-type={kind}", f"--export-filename=inkscape.{kind}")
    made.append((f"inkscape.{kind}", "inkscape.png", f"inkscape drawing.svg --export-type={kind} --export-filename=inkscape.{kind}"))
run("inkscape", "drawing.svg", "--export-type=png", "--export-filename=inkscape.png")

# A dashed stroke: Inkscape writes it as an extended pen with a user dash style.
DASHED = """<svg xmlns="http://www.w3.org/2000/svg" width="120" height="40" viewBox="0 0 120 40">
  <rect x="0" y="0" width="120" height="40" fill="#ffffff"/>
  <path d="M 6 12 H 114" fill="none" stroke="#000000" stroke-width="4" stroke-dasharray="12,6"/>
  <path d="M 6 30 H 114" fill="none" stroke="#c02020" stroke-width="2" stroke-dasharray="20,4,4,4"/>
</svg>
"""
write("dashes.svg", DASHED.encode())
run("inkscape", "dashes.svg", "--export-type=emf", "--export-filename=inkscape_dashes.emf")
run("inkscape", "dashes.svg", "--export-type=png", "--export-filename=inkscape_dashes.png")
made.append(("inkscape_dashes.emf", "inkscape_dashes.png", "inkscape dashes.svg --export-type=emf --export-filename=inkscape_dashes.emf"))

# ---------------------------------------------------------------- netpbm portable maps

def netpbm(out, make):
    """A netpbm pipeline writes out; pnmtopng writes the PNG it must decode to."""
    png = out.rsplit(".", 1)[0] + ".png"
    run("sh", "-c", f"{make} > {out}")
    run("sh", "-c", f"pnmtopng {out} > {png}")
    made.append((out, png, f"{make} > {out}; pnmtopng {out} > {png}"))


netpbm("pnm_p6.ppm", "pngtopnm src.png")
netpbm("pnm_p3_plain.ppm", "pngtopnm src.png | pnmtoplainpnm")
netpbm("pnm_p5.pgm", "pngtopnm src.png | ppmtopgm")
netpbm("pnm_p2_plain.pgm", "pngtopnm src.png | ppmtopgm | pnmtoplainpnm")
netpbm("pnm_p4.pbm", "pngtopnm src.png | ppmtopgm | pgmtopbm -threshold")
# pnmtoplainpnm writes a plain bitmap's digits without blanks between them.
netpbm("pnm_p1_plain.pbm", "pngtopnm src.png | ppmtopgm | pgmtopbm -threshold | pnmtoplainpnm")
netpbm("pnm_p6_16.ppm", "pngtopnm src.png | pamdepth 65535")
netpbm("pnm_p5_1000.pgm", "pngtopnm src.png | ppmtopgm | pamdepth 1000")

# ---------------------------------------------------------------- a large picture

# 4096 x 4096 in run-length packets, stored bottom row first by its header:
# the memory the decoder needs beside the picture. Kept gzipped (512 KB of
# packets); no PNG, the test looks at the memory and the corners.
run(CONVERT, "-size", "4096x4096", "gradient:white-black", "-compress", "RLE", "tga_large_rle.tga")
run("gzip", "-9nf", "tga_large_rle.tga")
made.append(("tga_large_rle.tga.gz", "-", "convert -size 4096x4096 gradient:white-black -compress RLE tga_large_rle.tga; gzip -9n tga_large_rle.tga"))

# ---------------------------------------------------------------- README

with open(os.path.join(HERE, "README.md"), "w") as f:
    f.write("# Picture fixtures of the codec tests\n\n")
    f.write("Made by `make_fixtures.py` in this folder (Debian's python3 with python3-pil, "
            "imagemagick 6, inkscape 1.2, netpbm), which ran exactly these commands. "
            "`convert` is ImageMagick's; `make_fixtures.py name()` is one of the small writers "
            "in that script, built from the format's public description, for what no Debian "
            "program writes. Each fixture is tested against the PNG beside it.\n\n")
    f.write("## Sources\n\n")
    for name, how in SOURCES:
        f.write(f"- `{name}`: `{how}`\n")
    f.write("- `drawing.svg`: written by the script (the drawing the metafiles are exported from)\n")
    f.write("- `dashes.svg`: written by the script (dashed strokes)\n\n")
    f.write("## Fixtures\n\n| fixture | expected pixels | made by |\n|---|---|---|\n")
    for fixture, png, how in made:
        how = how.replace("|", "\\|")  # a pipe inside a table cell
        f.write(f"| `{fixture}` | `{png}` | `{how}` |\n")
print("\n".join(f"{a} -> {b}" for a, b, _ in made))
