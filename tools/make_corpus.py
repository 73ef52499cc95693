#!/usr/bin/env python3
"""Writes the seed corpora for the fuzz targets (standard library only): the PCX
readers' into fuzz/corpus/, the PNG reader's into fuzz/corpus_png/ and the palette
file readers' into fuzz/corpus_palette/, the PCX slice decoder's into
fuzz/corpus_pcx_rows/, the GIF, BMP and ILBM readers' into fuzz/corpus_gif/,
fuzz/corpus_bmp/ and fuzz/corpus_ilbm/.

  python3 tools/make_corpus.py [OUTDIR]

With OUTDIR, the PCX corpus goes there and the others beside it (OUTDIR_png,
OUTDIR_palette, OUTDIR_pcx_rows). Palette seeds keep their extension: it decides how a file without
a signature is read.

File names say what the readers must do with each file, and the corpus replay test
checks it:
  valid-*    a well-formed 8-bit picture: must decode
  refused-*  a picture load must refuse it with a message
  edge-*     unusual but possibly acceptable: anything goes except a crash
Inputs kept from fuzzing runs (they reach decoder paths the crafted files miss) are
added by hand as edge-found-<hash>.pcx; this script leaves them alone. A crash input
joins them once the codec is fixed.
"""
import os
import struct
import sys
import zlib

HEADER_SIZE = 128


def header(xmin=0, ymin=0, xmax=0, ymax=0, bpp=8, planes=1, bpl=None, encoding=1,
           manufacturer=10, version=5, colormap=None, filler=b""):
    """A 128-byte PCX header. bpl defaults to the width rounded up to even."""
    width = xmax - xmin + 1
    if bpl is None:
        bpl = max(0, width + (width & 1))
    colormap = colormap if colormap is not None else bytes(range(48))
    out = struct.pack("<BBBBhhhhhh", manufacturer, version, encoding, bpp, xmin, ymin, xmax,
                      ymax, 72, 72)
    out += colormap[:48].ljust(48, b"\0")
    out += struct.pack("<BBhhhh", 0, planes, bpl, 1, 0, 0)
    out += filler[:54].ljust(54, b"\0")
    assert len(out) == HEADER_SIZE
    return out


def palette(seed=0):
    """768 palette bytes, different per seed."""
    return bytes(((i * 7 + seed * 31) ^ (i >> 3)) & 0xFF for i in range(768))


def picture(hdr, data, pal=None, marker=True):
    return hdr + data + (b"\x0c" if marker else b"") + (pal if pal is not None else palette())


def encode_rows(rows, bpl, fill=0):
    """Run-length encodes rows padded to bpl bytes, runs kept inside each row."""
    out = bytearray()
    for row in rows:
        line = list(row) + [fill] * (bpl - len(row))
        x = 0
        while x < len(line):
            n = 1
            while x + n < len(line) and n < 63 and line[x + n] == line[x]:
                n += 1
            if n > 1 or line[x] >= 0xC0:
                out += bytes([0xC0 + n, line[x]])
            else:
                out.append(line[x])
            x += n
    return bytes(out)


def encode_stream(values):
    """Run-length encodes one continuous stream: runs may cross row ends."""
    out = bytearray()
    x = 0
    while x < len(values):
        n = 1
        while x + n < len(values) and n < 63 and values[x + n] == values[x]:
            n += 1
        if n > 1 or values[x] >= 0xC0:
            out += bytes([0xC0 + n, values[x]])
        else:
            out.append(values[x])
        x += n
    return bytes(out)


def mixed_rows(width, height, seed):
    """Rows mixing literal stretches, runs of every length and values of 0xC0 and above."""
    state = seed * 2654435761 + 1
    def rand(n):
        nonlocal state
        state = (state * 6364136223846793005 + 1442695040888963407) & (2**64 - 1)
        return (state >> 33) % n
    rows = []
    for _ in range(height):
        row = []
        while len(row) < width:
            kind = rand(4)
            if kind == 0:
                row += [rand(0xC0) for _ in range(1 + rand(40))]
            elif kind == 1:
                row += [rand(256)] * (2 + rand(90))
            elif kind == 2:
                row += [0xC0 + rand(64) for _ in range(1 + rand(20))]
            else:
                row += [rand(256) for _ in range(1 + rand(30))]
        rows.append(row[:width])
    return rows


def raw(values):
    """Pixel bytes that stay literal under run-length decoding (all below 0xC0)."""
    return bytes(v % 0xC0 for v in values)


def corpus():
    files = {}

    # ---- well-formed pictures
    files["valid-4x2-runs.pcx"] = picture(header(xmax=3, ymax=1, bpl=4),
                                          bytes.fromhex("C301C1C8C2C80506"))
    rows = [[(x * 3 + y * 5) % 256 for x in range(5)] for y in range(3)]
    files["valid-5x3-odd-width-padded.pcx"] = picture(header(xmax=4, ymax=2, bpl=6),
                                                      encode_rows(rows, 6, fill=0xEE))
    rows = [[(x + y) % 4 for x in range(6)] for y in range(4)]
    files["valid-6x4-even-width.pcx"] = picture(header(xmax=5, ymax=3, bpl=6),
                                                encode_rows(rows, 6))
    files["valid-1x1.pcx"] = picture(header(bpl=2), bytes([0x07, 0x00]))
    rows = [[y * 16 + x for x in range(16)] for y in range(16)]
    files["valid-16x16-palette-file.pcx"] = picture(header(xmax=15, ymax=15, bpl=16),
                                                    encode_rows(rows, 16))
    files["valid-window-offset.pcx"] = picture(
        header(xmin=100, ymin=-50, xmax=102, ymax=-49, bpl=4), raw([1, 2, 3, 0, 4, 5, 6, 0]))
    files["valid-no-palette-marker.pcx"] = picture(header(xmax=1, ymax=1, bpl=2),
                                                   raw([1, 2, 3, 4]), marker=False)
    # Runs that carry on from one row into the next (written by some encoders).
    files["valid-runs-across-rows.pcx"] = picture(header(xmax=3, ymax=2, bpl=4),
                                                  bytes.fromhex("C609C60A"))
    files["valid-max-width-one-row.pcx"] = picture(
        header(xmin=0, xmax=32766, bpl=32767), bytes.fromhex("FF05") * 520 + bytes.fromhex("C705"))
    files["valid-encoding0-low-values.pcx"] = picture(header(xmax=2, ymax=1, bpl=4, encoding=0),
                                                      raw([1, 2, 3, 0, 4, 5, 6, 0]))
    files["valid-junk-fields.pcx"] = picture(
        header(xmax=1, ymax=0, bpl=2, version=0x7F, filler=b"\xAA" * 54), raw([9, 8]))
    # The manufacturer byte is the signature: without it the file is no picture.
    files["refused-wrong-manufacturer.pcx"] = picture(
        header(xmax=1, ymax=0, bpl=2, manufacturer=0xFF), raw([9, 8]))

    # Larger pictures, so the decoder works on long stretches of data, not just a few bytes.
    rows = mixed_rows(48, 40, 1)
    files["valid-48x40-mixed.pcx"] = picture(header(xmax=47, ymax=39, bpl=48),
                                             encode_rows(rows, 48))
    rows = mixed_rows(37, 30, 2)
    files["valid-37x30-odd-mixed-padded.pcx"] = picture(header(xmax=36, ymax=29, bpl=38),
                                                        encode_rows(rows, 38, fill=0xC4))
    rows = mixed_rows(29, 31, 3)
    files["valid-29x31-runs-across-rows.pcx"] = picture(
        header(xmax=28, ymax=30, bpl=29), encode_stream([v for r in rows for v in r]))
    files["valid-64x16-all-escaped.pcx"] = picture(
        header(xmax=63, ymax=15, bpl=64), encode_rows([[0xC0 + (x + y) % 64 for x in range(64)]
                                                       for y in range(16)], 64))
    files["valid-300x4-literals.pcx"] = picture(
        header(xmax=299, ymax=3, bpl=300), encode_rows([[(x * 7 + y) % 0xC0 for x in range(300)]
                                                        for y in range(4)], 300))
    mixed = encode_rows(mixed_rows(48, 40, 4), 48)
    files["refused-48x40-mixed-cut-short.pcx"] = picture(header(xmax=47, ymax=39, bpl=48),
                                                         mixed[:len(mixed) * 2 // 3])

    # ---- low depths: colours from the header, no palette needed at the end
    files["valid-bpp4.pcx"] = picture(header(xmax=7, ymax=1, bpp=4, bpl=4), raw(range(8)))
    files["valid-bpp1-4planes.pcx"] = picture(header(xmax=7, ymax=1, bpp=1, planes=4, bpl=2),
                                              raw(range(16)))
    files["valid-bpp2-no-tail.pcx"] = header(xmax=9, ymax=2, bpp=2, bpl=4) + encode_stream(
        [0x1B, 0xE4, 0xFF, 0x00] * 3)
    files["valid-bpp1-3planes-odd.pcx"] = header(xmax=10, ymax=1, bpp=1, planes=3, bpl=2) + \
        raw(range(40, 52))
    files["valid-bpp1-one-plane.pcx"] = header(xmax=15, ymax=0, bpp=1, bpl=2) + raw([0xA5, 0x0F])
    files["refused-bpp4-bpl-too-short.pcx"] = header(xmax=9, ymax=0, bpp=4, bpl=4) + raw(range(8))
    files["refused-bpp1-2planes-cut.pcx"] = header(xmax=7, ymax=3, bpp=1, planes=2, bpl=2) + \
        raw(range(12))

    # ---- formats the editor cannot show
    files["refused-bpp8-3planes.pcx"] = picture(header(xmax=1, ymax=1, planes=3, bpl=2),
                                                raw(range(12)))
    files["refused-bpp24.pcx"] = picture(header(xmax=1, ymax=1, bpp=24, bpl=6), raw(range(12)))
    files["refused-bpp0-planes0.pcx"] = picture(header(xmax=1, ymax=1, bpp=0, planes=0, bpl=2),
                                                raw(range(4)))

    # ---- truncated and tiny files
    full = picture(header(xmax=3, ymax=1, bpl=4), bytes.fromhex("C301C1C8C2C80506"))
    files["refused-empty.pcx"] = b""
    files["refused-one-byte.pcx"] = b"\x0a"
    files["refused-header-cut-at-100.pcx"] = full[:100]
    files["refused-header-cut-at-127.pcx"] = full[:127]
    files["refused-header-only.pcx"] = full[:128]
    files["refused-shorter-than-palette.pcx"] = full[:500]
    # The palette then starts one byte early, at the marker: nothing can tell.
    files["edge-palette-cut-by-one.pcx"] = full[:-1]
    files["edge-exactly-768-bytes.pcx"] = (header(xmax=1, ymax=1, bpl=2) + raw([1, 2, 3, 4])
                                           ).ljust(768, b"\x01")
    files["refused-767-bytes.pcx"] = (header(xmax=1, ymax=1, bpl=2) + raw([1, 2, 3, 4])
                                      ).ljust(767, b"\x01")

    # ---- pixel data that ends early
    files["refused-data-ends-early-no-palette.pcx"] = header(xmax=9, ymax=9, bpl=10) + raw(
        range(20))
    files["refused-data-runs-into-palette.pcx"] = picture(header(xmax=9, ymax=9, bpl=10),
                                                          raw(range(50)))
    files["edge-data-takes-marker-byte.pcx"] = picture(header(xmax=9, ymax=9, bpl=10),
                                                          raw(range(99)))
    files["refused-run-marker-at-end.pcx"] = header(xmax=3, ymax=0, bpl=4) + bytes.fromhex(
        "05C3")
    files["refused-run-marker-before-palette.pcx"] = picture(header(xmax=3, ymax=0, bpl=4),
                                                             bytes.fromhex("05C3"), marker=False)
    files["refused-run-value-in-palette.pcx"] = picture(header(xmax=9, ymax=0, bpl=10),
                                                          raw(range(9)) + b"\xC1", marker=False)
    files["refused-only-c0-markers.pcx"] = picture(header(xmax=7, ymax=7, bpl=8), b"\xC0\x01" * 40)

    # ---- windows the file cannot hold, or that overflow
    files["refused-huge-window-tiny-file.pcx"] = (
        header(xmax=29999, ymax=29999, bpl=30000) + b"\xFF\x01" * 36)
    assert len(files["refused-huge-window-tiny-file.pcx"]) == 200
    files["refused-max-window.pcx"] = picture(header(xmin=0, ymin=0, xmax=32766, ymax=32766,
                                                     bpl=32767), b"\xFF\x00" * 100)
    files["refused-xmax-below-xmin.pcx"] = picture(header(xmin=10, xmax=2, ymax=3, bpl=4),
                                                   raw(range(32)))
    files["refused-ymax-below-ymin.pcx"] = picture(header(xmax=3, ymin=5, ymax=1, bpl=4),
                                                   raw(range(32)))
    files["refused-width-overflows-16bit.pcx"] = picture(
        header(xmin=-32768, xmax=32767, ymax=0, bpl=2), raw(range(64)))
    files["refused-height-overflows-16bit.pcx"] = picture(
        header(xmax=0, ymin=-32768, ymax=32767, bpl=2), raw(range(64)))
    files["refused-width-overflow-to-negative.pcx"] = picture(
        header(xmin=-1, xmax=32767, ymax=0, bpl=2), raw(range(64)))
    files["refused-empty-window.pcx"] = picture(header(xmin=5, xmax=4, ymax=0, bpl=0), b"")
    files["refused-negative-window-both.pcx"] = picture(header(xmin=3, xmax=1, ymin=3, ymax=1, bpl=2),
                                                     raw(range(8)))

    # ---- BytesPerLine against the width
    rows = [[x + y for x in range(5)] for y in range(2)]
    files["edge-bpl-zero.pcx"] = picture(header(xmax=4, ymax=1, bpl=0), encode_rows(rows, 5))
    files["edge-bpl-negative.pcx"] = picture(header(xmax=4, ymax=1, bpl=-1), encode_rows(rows, 5))
    files["edge-bpl-most-negative.pcx"] = picture(header(xmax=4, ymax=1, bpl=-32768),
                                                  encode_rows(rows, 5))
    files["edge-bpl-smaller-than-width.pcx"] = picture(header(xmax=4, ymax=1, bpl=3),
                                                       encode_rows(rows, 5))
    files["valid-bpl-larger-than-width.pcx"] = picture(header(xmax=4, ymax=1, bpl=9),
                                                       encode_rows(rows, 9, fill=0x33))
    files["refused-bpl-huge-on-tiny-file.pcx"] = picture(header(xmax=4, ymax=99, bpl=32767),
                                                         b"\xFF\x00" * 20)
    files["valid-run-crosses-padding.pcx"] = picture(header(xmax=2, ymax=1, bpl=4),
                                                     bytes.fromhex("C807"))

    # ---- run markers
    files["valid-marker-c0-skips-value.pcx"] = picture(header(bpl=1), bytes.fromhex("C00905"))
    files["valid-run-cut-at-end.pcx"] = picture(header(xmax=1, ymax=0, bpl=2),
                                                bytes.fromhex("C507"))
    files["valid-literal-then-run.pcx"] = picture(header(xmax=3, ymax=0, bpl=4),
                                                  bytes.fromhex("05C307"))
    files["valid-run-of-one-high-value.pcx"] = picture(header(xmax=1, ymax=0, bpl=2),
                                                       bytes.fromhex("C1FFC1C0"))
    files["valid-encoding0-high-values.pcx"] = picture(header(xmax=3, ymax=0, bpl=4, encoding=0),
                                                      bytes([0xC3, 0x07, 0xFF, 0xC0]))
    return files


# ---- PNG

def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]


def pack_row(row, bits):
    """Pixels packed most significant bits first, the last byte padded with zeros."""
    out = bytearray()
    per = 8 // bits
    for i in range(0, len(row), per):
        v = 0
        for j in range(per):
            v = v << bits | (row[i + j] if i + j < len(row) else 0)
        out.append(v)
    return bytes(out)


def png(w, h, idx, bits=8, plte=None, trns=None, interlace=0, color_type=3, filt=0, chunks=None):
    """An indexed PNG (filter type `filt` on every row: 0 none, 1 sub, 2 up), or the
    given chunks after IHDR."""
    out = b"\x89PNG\r\n\x1a\n"
    out += png_chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, bits, color_type, 0, 0, interlace))
    if chunks is None:
        chunks = []
        if plte is not None:
            chunks.append((b"PLTE", plte))
        if trns is not None:
            chunks.append((b"tRNS", trns))
        chunks.append((b"IDAT", zlib.compress(image_data(w, h, idx, bits, interlace, filt), 9)))
        chunks.append((b"IEND", b""))
    for kind, data in chunks:
        out += png_chunk(kind, data)
    return out


def image_data(w, h, idx, bits, interlace, filt):
    """Filtered rows, pass by pass when interlaced."""
    bpp = max(1, bits // 8)
    raw = bytearray()
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    for x0, y0, dx, dy in passes:
        xs = range(x0, w, dx)
        if not xs:
            continue
        prev = None
        for y in range(y0, h, dy):
            line = pack_row([idx[y * w + x] for x in xs], bits)
            if filt == 1:
                enc = bytes((line[i] - (line[i - bpp] if i >= bpp else 0)) & 255
                            for i in range(len(line)))
            elif filt == 2:
                enc = bytes((line[i] - (prev[i] if prev else 0)) & 255 for i in range(len(line)))
            else:
                enc = line
            raw += bytes([filt]) + enc
            prev = line
    return bytes(raw)


def png_corpus():
    files = {}
    pal = palette(5)
    for bits, n, w, h in [(1, 2, 13, 5), (2, 3, 9, 7), (4, 11, 13, 6), (8, 200, 31, 17)]:
        idx = [(x * 3 + y * 5 + x * y) % (1 << bits) for y in range(h) for x in range(w)]
        for interlace in (0, 1):
            files["valid-b%d-%dx%d-i%d.png" % (bits, w, h, interlace)] = png(
                w, h, idx, bits, pal[:3 * n], bytes(range(0, 255, 60))[:n], interlace)
    idx = [(x * 7 + y) % 256 for y in range(24) for x in range(24)]
    files["valid-24x24-sub-filter.png"] = png(24, 24, idx, plte=pal, filt=1)
    files["valid-24x24-up-filter.png"] = png(24, 24, idx, plte=pal, filt=2)
    files["valid-1x1-one-entry.png"] = png(1, 1, [0], plte=b"\x10\x20\x30")
    files["valid-pixels-past-palette.png"] = png(4, 2, [0, 1, 9, 255, 3, 2, 1, 0], plte=pal[:12])
    files["valid-full-trns.png"] = png(8, 8, list(range(64)), plte=pal, trns=bytes(range(256)))
    base = png(6, 4, list(range(24)), plte=pal[:90], trns=b"\x00\x80")
    files["refused-truncated-idat.png"] = base[:len(base) - 20]
    files["refused-no-iend.png"] = base[:len(base) - 12]
    files["refused-iend-crc-cut.png"] = base[:len(base) - 2]
    bad = bytearray(base)
    bad[29] ^= 1  # IHDR CRC
    files["refused-bad-ihdr-crc.png"] = bytes(bad)
    bad = bytearray(base)
    bad[len(base) - 14] ^= 1  # last byte of the IDAT CRC
    files["refused-bad-idat-crc.png"] = bytes(bad)
    huge = png(1, 1, [0], plte=pal[:3])
    huge = huge[:16] + struct.pack(">II", 32767, 32767) + huge[24:29]
    files["refused-huge-ihdr-tiny-file.png"] = (huge + struct.pack(">I", zlib.crc32(huge[12:29]))
                                                + png(1, 1, [0], plte=pal[:3])[33:])
    files["refused-too-wide.png"] = png(40000, 1, [0] * 40000, plte=pal[:3])
    files["refused-no-plte.png"] = png(2, 2, [0, 1, 1, 0])
    files["refused-trns-longer-than-plte.png"] = png(2, 2, [0, 1, 1, 0], plte=pal[:6],
                                                     trns=b"\x00\x01\x02")
    grey = png(3, 3, [0, 128, 255] * 3, color_type=0)
    files["refused-greyscale.png"] = grey
    rgb_rows = b"".join(b"\0" + bytes(range(9)) for _ in range(3))
    files["refused-truecolour.png"] = png(3, 3, [], color_type=2, chunks=[
        (b"IDAT", zlib.compress(rgb_rows)), (b"IEND", b"")])
    files["refused-not-png.png"] = b"GIF89a" + bytes(20)
    files["refused-empty.png"] = b""
    files["edge-text-chunk.png"] = png(2, 2, [0, 1, 2, 3], plte=pal[:12], chunks=[
        (b"PLTE", pal[:12]), (b"tEXt", b"Comment\0hello"),
        (b"IDAT", zlib.compress(b"\0\0\1\0\2\3")), (b"IEND", b"")])
    return files


# ---- palette files

def palette_corpus():
    files = {}
    pal = palette(7)
    triples = [tuple(pal[3 * i:3 * i + 3]) for i in range(256)]
    gpl = "GIMP Palette\nName: Seeds\nColumns: 4\n# comment\n\n"
    gpl += "".join("%3d %3d %3d\tColour %d\n" % (r, g, b, i) for i, (r, g, b) in
                   enumerate(triples[:40]))
    files["valid-40.gpl"] = gpl.encode()
    files["valid-crlf.gpl"] = b"GIMP Palette\r\n1 2 3\r\n4\t5\t6 tab\r\n"
    jasc = "JASC-PAL\r\n0100\r\n16\r\n" + "".join("%d %d %d\r\n" % t for t in triples[:16])
    files["valid-16-crlf.pal"] = jasc.encode()
    files["valid-3-lf.pal"] = b"JASC-PAL\n0100\n3\n0 0 0\n255 255 255\n1 2 3"
    files["valid-768.act"] = pal
    files["valid-772-count-16-clear-3.act"] = pal + struct.pack(">HH", 16, 3)
    files["valid-772-no-clear.act"] = pal + struct.pack(">HH", 256, 0xFFFF)
    files["valid-hex.hex"] = ("".join("#%02X%02x%02x\n" % t for t in triples[:20]) +
                              "\n\n000000\n").encode()
    data = struct.pack("<HH", 0x0300, 8) + b"".join(bytes(t) + b"\0" for t in triples[:8])
    body = b"PAL " + b"LIST" + struct.pack("<I", 3) + b"abc\0" + b"data" + struct.pack(
        "<I", len(data)) + data
    files["valid-riff.pal"] = b"RIFF" + struct.pack("<I", len(body)) + body
    files["valid-riff-named.act"] = files["valid-riff.pal"]
    files["valid-pcx-palette.pcx"] = picture(
        header(xmax=15, ymax=15, colormap=bytes(48)),
        encode_rows([range(16 * y, 16 * y + 16) for y in range(16)], 16),
        pal=bytes((i * 7 + 3) & 0xFF for i in range(768)))
    files["refused-any-file-900.bin"] = bytes((i * 11) % 256 for i in range(900))
    files["refused-gpl-missing-number.gpl"] = b"GIMP Palette\n1 2\n"
    files["refused-gpl-out-of-range.gpl"] = b"GIMP Palette\n1 2 256\n"
    files["refused-jasc-count-mismatch.pal"] = b"JASC-PAL\n0100\n4\n1 2 3\n"
    files["refused-jasc-junk.pal"] = b"JASC-PAL\n0100\n1\n1 2 3 x\n"
    files["refused-hex-bad-digit.hex"] = b"00ff0g\n"
    files["refused-hex-257.hex"] = b"102030\n" * 257
    files["refused-act-count-0.act"] = pal + struct.pack(">HH", 0, 0xFFFF)
    files["refused-act-770.act"] = pal + b"\0\1"
    files["refused-riff-count-mismatch.pal"] = (files["valid-riff.pal"][:30] + b"\x09" +
                                                files["valid-riff.pal"][31:])
    files["refused-riff-size-past-end.pal"] = b"RIFF\xff\xff\0\0PAL data\x04\0\0\0"
    files["refused-short.pal"] = b"\0" * 100
    files["edge-gpl-bom.gpl"] = b"\xef\xbb\xbfGIMP Palette\n9 9 9\n"
    return files


def pcx_rows_corpus(pcx_files):
    """Seeds for the slice decoder's target: three setting bytes (input buffer and
    instruction set, rows per slice and spare bytes, source piece size; see
    fuzz/pcx_rows_checks.h), then a file of the PCX corpus."""
    settings = [bytes([0, 0, 0]), bytes([0x05, 0x42, 0x20]), bytes([0x12, 0x87, 0xFF]),
                bytes([0xFE, 0xFF, 0x01])]
    chosen = ["valid-48x40-mixed.pcx", "valid-37x30-odd-mixed-padded.pcx",
              "valid-29x31-runs-across-rows.pcx", "valid-encoding0-low-values.pcx",
              "valid-runs-across-rows.pcx", "refused-wrong-manufacturer.pcx"]
    files = {}
    for k, name in enumerate(chosen):
        files[name] = settings[k % len(settings)] + pcx_files[name]
    # Cut inside the pixel data: refused by both decoders, part way through.
    cut = pcx_files["valid-48x40-mixed.pcx"]
    files["refused-48x40-cut.pcx"] = settings[1] + cut[:len(cut) // 2]
    return files


def gif_lzw(pixels, min_size=8):
    """LZW data that never compresses: a clear code every 250 pixels keeps the codes
    at min_size + 1 bits."""
    clear, end, width = 1 << min_size, (1 << min_size) + 1, min_size + 1
    codes = []
    for i, v in enumerate(pixels):
        if i % 250 == 0:
            codes.append(clear)
        codes.append(v)
    codes.append(end)
    acc = nbits = 0
    out = bytearray()
    for c in codes:
        acc |= c << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        out.append(acc & 0xFF)
    blocks = bytearray([min_size])
    for i in range(0, len(out), 255):
        part = out[i:i + 255]
        blocks += bytes([len(part)]) + part
    return bytes(blocks + b"\0")


def gif(w, h, pixels, colours=256, fw=None, fh=None, left=0, top=0, interlace=False,
        trans=None, local=False, bg=0, version=b"GIF89a"):
    fw, fh = fw or w, fh or h
    bits = max(1, (colours - 1).bit_length())
    table = bytes((i * 5 + k * 71) & 0xFF for i in range(1 << bits) for k in range(3))
    flags = 0 if local else 0x80 | 0x70 | (bits - 1)
    out = version + struct.pack("<HHBBB", w, h, flags, bg, 0) + (b"" if local else table)
    if trans is not None:
        out += bytes([0x21, 0xF9, 4, 1, 0, 0, trans, 0])
    iflags = (0x40 if interlace else 0) | ((0x80 | (bits - 1)) if local else 0)
    out += b"," + struct.pack("<HHHHB", left, top, fw, fh, iflags) + (table if local else b"")
    rows = [pixels[y * fw:(y + 1) * fw] for y in range(fh)]
    if interlace:
        order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2))
                 for y in range(start, fh, step)]
        rows = [rows[y] for y in order]
    return out + gif_lzw([v for r in rows for v in r]) + b";"


def gif_corpus():
    files = {}
    px = [(x * 3 + y * 7) % 200 for y in range(9) for x in range(13)]
    files["valid-13x9.gif"] = gif(13, 9, px)
    files["valid-13x9-interlaced.gif"] = gif(13, 9, px, interlace=True)
    files["valid-13x9-transparent-87a.gif"] = gif(13, 9, px, trans=5, version=b"GIF87a")
    files["valid-frame-inside-screen.gif"] = gif(20, 12, [v % 16 for v in px], colours=16,
                                                 fw=13, fh=9, left=4, top=2, bg=3)
    files["valid-frame-past-screen-local.gif"] = gif(10, 5, px, fw=13, fh=9, left=3, top=1,
                                                     local=True)
    files["valid-pixels-past-table.gif"] = gif(13, 9, px, colours=4)
    files["refused-cut-in-data.gif"] = gif(13, 9, px)[:-20]
    files["refused-no-frame.gif"] = gif(13, 9, px)[:13 + 768] + b";"
    files["refused-no-table.gif"] = gif(13, 9, px, local=True)[:13] + \
        gif(13, 9, px)[13 + 768:]
    files["refused-huge-screen-tiny-file.gif"] = b"GIF89a" + struct.pack(
        "<HHBBB", 32767, 32767, 0x80, 0, 0) + bytes(6) + b",\0\0\0\0\1\0\1\0\0\2\2\x4c\x01\0;"
    files["refused-empty-screen.gif"] = gif(0, 0, [], fw=1, fh=1) if False else \
        b"GIF89a" + struct.pack("<HHBBB", 0, 0, 0, 0, 0) + b";"
    files["refused-not-gif.gif"] = b"GIF90a" + bytes(20)
    # LZW code size 1 (clear 2, end 3): only the first code after a clear is 2 bits
    # wide, the rest 3 bits until code 8 is due. Pixels 1 0 1 0 0 1 0 1 0 1 1 1.
    narrow = bytes.fromhex("06f61207")
    files["valid-code-size-1.gif"] = b"GIF89a" + struct.pack("<HHBBB", 12, 1, 0x80, 0, 0) + \
        bytes([0, 0, 0, 255, 255, 255]) + b"," + struct.pack("<HHHHB", 0, 0, 12, 1, 0) + \
        bytes([1, len(narrow)]) + narrow + b"\0;"
    return files


def bmp(w, h, bits, data, compression=0, colours=0, info=40, table_len=None):
    n = table_len if table_len is not None else (colours or (1 << bits))
    entry = 3 if info == 12 else 4
    table = bytes((i * 3 + k * 50) & 0xFF for i in range(n) for k in range(entry))
    offset = 14 + info + len(table)
    if info == 12:
        head = struct.pack("<IHHHH", 12, w, h & 0xFFFF, 1, bits)
    else:
        head = struct.pack("<IiiHHIIiiII", info, w, h, 1, bits, compression, len(data), 2835,
                           2835, colours, 0).ljust(info, b"\0")
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + head + table + data


def bmp_rows(w, h, bits, value):
    stride = (w * bits + 31) // 32 * 4
    return bytes(value(x, y) for y in range(h) for x in range(stride))


def bmp_corpus():
    files = {}
    files["valid-8bit-9x5.bmp"] = bmp(9, 5, 8, bmp_rows(9, 5, 8, lambda x, y: x * 9 + y))
    files["valid-8bit-top-down-short-table.bmp"] = bmp(
        9, -5, 8, bmp_rows(9, 5, 8, lambda x, y: (x + y) % 20), colours=20)
    files["valid-4bit-7x3.bmp"] = bmp(7, 3, 4, bmp_rows(7, 3, 4, lambda x, y: x * 17 + y))
    files["valid-1bit-20x3.bmp"] = bmp(20, 3, 1, bmp_rows(20, 3, 1, lambda x, y: 0xA5 ^ y))
    files["valid-core-header.bmp"] = bmp(7, 3, 4, bmp_rows(7, 3, 4, lambda x, y: x), info=12)
    files["valid-v5-header.bmp"] = bmp(7, 3, 8, bmp_rows(7, 3, 8, lambda x, y: x), info=124)
    files["valid-rle8.bmp"] = bmp(6, 3, 8, bytes([3, 7, 0, 4, 1, 2, 3, 4, 0, 0, 0, 2, 2, 1, 1, 9,
                                                  0, 1]), compression=1)
    files["valid-rle4.bmp"] = bmp(6, 3, 4, bytes([4, 0x12, 0, 3, 0xAB, 0xC0, 0, 0, 0, 2, 1, 1, 2,
                                                  0x3F, 0, 1]), compression=2)
    files["refused-rle8-no-end.bmp"] = bmp(6, 3, 8, bytes([3, 7, 0, 0]), compression=1)
    files["refused-rows-cut.bmp"] = bmp(9, 5, 8, bmp_rows(9, 5, 8, lambda x, y: 1)[:30])
    files["refused-24bit.bmp"] = bmp(2, 2, 24, bytes(16), table_len=0)
    files["refused-rle4-at-8-bits.bmp"] = bmp(6, 3, 8, bytes([0, 1]), compression=2)
    files["refused-huge-rle-tiny-file.bmp"] = bmp(30000, 30000, 8, bytes([0, 1]), compression=1)
    files["refused-table-past-end.bmp"] = bmp(2, 2, 8, bytes(8), colours=200)[:200]
    files["refused-offset-past-end.bmp"] = b"BM" + struct.pack("<IHHI", 0, 0, 0, 99999) + \
        struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 8, 0, 0, 0, 0, 2, 0) + bytes(8)
    files["refused-not-bmp.bmp"] = b"BA" + bytes(60)
    return files


def iff_chunk(cid, data):
    return cid + struct.pack(">I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


def byterun1(row):
    """Packs one row: repeats for runs of three or more, literals for the rest."""
    out, i = b"", 0
    while i < len(row):
        run = 1
        while i + run < len(row) and run < 128 and row[i + run] == row[i]:
            run += 1
        if run >= 3:
            out += bytes([257 - run, row[i]])
            i += run
            continue
        start = i
        while i < len(row) and i - start < 128 and not (
                i + 2 < len(row) and row[i] == row[i + 1] == row[i + 2]):
            i += 1
        out += bytes([i - start - 1]) + bytes(row[start:i])
    return out


def ilbm(w, h, planes, px, compress=1, masking=0, trans=0, cmap=None, camg=None, extra=b"",
         pbm=False, body=None, no_body=False):
    """A FORM ILBM (or PBM) of w x h pixels px (row-major), its rows packed per plane."""
    if cmap is None:
        cmap = bytes((i * 37 + k * 91) & 0xFF for i in range(1 << min(planes, 8))
                     for k in range(3))
    head = struct.pack(">HHhhBBBBHBBhh", w, h, 0, 0, planes, masking, compress, 0, trans, 1, 1,
                       w, h)
    if body is None:
        rows = []
        for y in range(h):
            line = px[y * w:(y + 1) * w]
            if pbm:
                rows.append(bytes(line) + (b"\0" if w & 1 else b""))
                continue
            rb = (w + 15) // 16 * 2
            for p in range(planes):
                bits = bytearray(rb)
                for x, v in enumerate(line):
                    if v >> p & 1:
                        bits[x // 8] |= 0x80 >> (x % 8)
                rows.append(bytes(bits))
        body = b"".join(byterun1(r) if compress else r for r in rows)
    chunks = iff_chunk(b"BMHD", head) + iff_chunk(b"CMAP", cmap)
    if camg is not None:
        chunks += iff_chunk(b"CAMG", struct.pack(">I", camg))
    chunks += extra + (b"" if no_body else iff_chunk(b"BODY", body))
    kind = b"PBM " if pbm else b"ILBM"
    return b"FORM" + struct.pack(">I", 4 + len(chunks)) + kind + chunks


def crng(low, high, rate=8192, flags=1):
    return iff_chunk(b"CRNG", struct.pack(">hHHBB", 0, rate, flags, low, high))


def ccrt(start, end, direction=1, seconds=0, micros=50000):
    return iff_chunk(b"CCRT", struct.pack(">hBBiih", direction, start, end, seconds, micros, 0))


def ilbm_corpus():
    files = {}
    px = [(x * 3 + y * 7) % 256 for y in range(9) for x in range(13)]
    files["valid-8planes-13x9.lbm"] = ilbm(13, 9, 8, px)
    files["valid-8planes-uncompressed.lbm"] = ilbm(13, 9, 8, px, compress=0)
    files["valid-1plane-33x2.lbm"] = ilbm(33, 2, 1, [(x ^ y) & 1 for y in range(2)
                                                     for x in range(33)])
    files["valid-5planes-transparent.lbm"] = ilbm(13, 9, 5, [v & 31 for v in px], masking=2,
                                                  trans=3)
    files["valid-ehb-6planes.lbm"] = ilbm(13, 9, 6, [v & 63 for v in px], camg=0x80,
                                          cmap=bytes(range(96)))
    files["valid-pbm-odd-width.lbm"] = ilbm(13, 9, 8, px, pbm=True)
    files["valid-ranges-crng-ccrt.lbm"] = ilbm(
        13, 9, 8, px, extra=crng(16, 31) + crng(40, 47, 0, 2) + ccrt(64, 79, -1) +
        ccrt(80, 81, 0) + crng(9, 3))
    files["valid-short-cmap-lasso.lbm"] = ilbm(13, 9, 8, px, masking=3, cmap=bytes(30))
    files["valid-twenty-ranges.lbm"] = ilbm(4, 2, 8, list(range(8)),
                                            extra=b"".join(crng(i, i + 4) for i in range(20)))
    files["refused-ham.lbm"] = ilbm(13, 9, 6, [v & 63 for v in px], camg=0x800)
    files["refused-mask-plane.lbm"] = ilbm(13, 9, 8, px, masking=1)
    files["refused-run-across-row.lbm"] = ilbm(8, 1, 1, [], body=bytes([0xFD, 0xFF]))
    files["refused-body-cut.lbm"] = ilbm(13, 9, 8, px, compress=0)[:-40]
    files["refused-huge-tiny-body.lbm"] = ilbm(32767, 32767, 8, [], body=bytes([0x81, 0]))
    files["refused-huge-uncompressed.lbm"] = ilbm(30000, 30000, 1, [], compress=0,
                                                  body=bytes(64))
    files["refused-24-planes.lbm"] = ilbm(2, 2, 24, [], cmap=b"", body=bytes(96))
    files["refused-no-body.lbm"] = ilbm(2, 2, 8, [0, 1, 2, 3], no_body=True)
    files["refused-pbm-4-planes.lbm"] = ilbm(4, 2, 4, list(range(8)), pbm=True)
    files["refused-not-ilbm.lbm"] = b"FORM" + struct.pack(">I", 4) + b"ACBM"
    return files


def write_all(out, files):
    os.makedirs(out, exist_ok=True)
    for name, data in sorted(files.items()):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "fuzz", "corpus")
    pcx = corpus()
    write_all(out, pcx)
    write_all(out.rstrip("/") + "_pcx_rows", pcx_rows_corpus(pcx))
    write_all(out.rstrip("/") + "_png", png_corpus())
    write_all(out.rstrip("/") + "_palette", palette_corpus())
    write_all(out.rstrip("/") + "_gif", gif_corpus())
    write_all(out.rstrip("/") + "_bmp", bmp_corpus())
    write_all(out.rstrip("/") + "_ilbm", ilbm_corpus())


if __name__ == "__main__":
    main()
