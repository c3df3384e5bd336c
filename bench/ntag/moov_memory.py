#!/usr/bin/env python3
"""Peak memory of ntag per write path against the size of moov.

Builds files whose moov holds one track of N one-byte samples, one per chunk (stsz and
stco of N entries each: moov is about 8 N bytes), and runs ntag on them under
/usr/bin/time -v: the listing, a first tagging of a faststart file (rewrite), of a file
with moov at the end (appended movie; its media is sparse, ten times moov), and a title
edit in place on the tagged file. Prints the peak memory (max RSS) and wall time per path
and moov size, beside the bound of 3 x moov + 64 MiB.
  usage: bench/ntag/moov_memory.py [path-to-ntag] [million samples ...]   (default 1 4 12.5)
  NTAG_BENCH_DIR picks the folder (default /tmp).
"""
import array
import os
import re
import struct
import subprocess
import sys


def box(kind, body):
    return struct.pack(">I", len(body) + 8) + kind + body


def full(kind, body):
    return box(kind, b"\0\0\0\0" + body)


def table(values):
    a = array.array("I", values)
    if sys.byteorder == "little":
        a.byteswap()
    return a.tobytes()


def build(path, samples, moov_first):
    ftyp = box(b"ftyp", b"isom\0\0\2\0isomiso2mp41")

    def moov(base):
        stbl = (full(b"stsd", struct.pack(">I", 1) + box(b"mp4a", bytes(28)))
                + full(b"stts", struct.pack(">III", 1, samples, 1))
                + full(b"stsc", struct.pack(">IIII", 1, 1, 1, 1))
                + full(b"stsz", struct.pack(">II", 0, samples) + b"\0\0\0\1" * samples)
                + full(b"stco", struct.pack(">I", samples) + table(range(base, base + samples))))
        dinf = box(b"dinf", full(b"dref", struct.pack(">I", 1) + box(b"url ", b"\0\0\0\1")))
        minf = box(b"minf", full(b"smhd", bytes(4)) + dinf + box(b"stbl", stbl))
        mdia = box(b"mdia", full(b"mdhd", bytes(20)) + full(b"hdlr", bytes(4) + b"soun" + bytes(13)) + minf)
        trak = box(b"trak", full(b"tkhd", bytes(80)) + mdia)
        return box(b"moov", full(b"mvhd", bytes(96)) + trak)

    size = len(moov(0))
    with open(path, "wb") as f:
        if moov_first:
            f.write(ftyp + moov(len(ftyp) + size + 8) + box(b"mdat", bytes(samples)))
        else:
            # A sparse mdat ten times moov: the old movie box stays under 1/8 of the file, so
            # the edit appends a movie instead of rewriting the file without it.
            media = 10 * size
            f.write(ftyp + struct.pack(">I", media + 8) + b"mdat")
            f.seek(media, os.SEEK_CUR)
            f.write(moov(len(ftyp) + 8))


def peak(ntag, args):
    r = subprocess.run(["/usr/bin/time", "-v", ntag] + args, capture_output=True, text=True)
    if r.returncode != 0:
        return "exit %d" % r.returncode
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", r.stderr).group(1)) >> 10
    clock = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", r.stderr).group(1)
    return "%d MiB, %s" % (rss, clock)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ntag = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "../../build/native/ntag/ntag")
    millions = [float(m) for m in sys.argv[2:]] or [1, 4, 12.5]
    work = os.path.join(os.environ.get("NTAG_BENCH_DIR", "/tmp"), "ntag-moov-memory")
    os.makedirs(work, exist_ok=True)
    print("| samples | moov MiB | bound MiB | list | rewrite (first tagging) | appended movie | in place (title) |")
    print("|---|---|---|---|---|---|---|")
    for m in millions:
        n = int(m * 1e6)
        first, last = os.path.join(work, "first.mp4"), os.path.join(work, "last.mp4")
        build(first, n, True)
        build(last, n, False)
        moov_mib = (8 * n) >> 20
        row = [peak(ntag, ["-list-meta", first]),
               peak(ntag, ["-meta:title=First", first]),
               peak(ntag, ["-meta:title=First", last]),
               peak(ntag, ["-meta:title=Second", first])]
        print("| %gM | %d | %d | %s |" % (m, moov_mib, 3 * moov_mib + 64, " | ".join(row)))
        os.remove(first)
        os.remove(last)


main()
