#!/usr/bin/env python3
"""Runs two builds of the console tool over the same inputs and option sets and compares what
they leave, byte for byte: every output file, standard output (with the -d echo), standard error
and the exit status. For changes of shape that must not change behaviour.

  scripts/compare-builds.py BEFORE AFTER [--corpus DIR] [--per-kind N] [--work DIR] [--keep] [--only RE]

BEFORE and AFTER are tessaline executables. Inputs: the bundled samples, plus N files of each kind
of the benchmark corpus (bench/make-corpus.sh; default 1 photo, 1 document, 1 grey scan, 1 fax
page; --per-kind=0 takes the whole corpus), plus a not-a-TIFF file and a truncated TIFF. Option
sets: each of the 23 formats at its defaults; png, jpg, tiff and ico with rotation, resizing, a
frame, a text and a picture watermark and greyscale (two variants); the usage text, the version,
echoes of many options, and every "Error: " line the README lists. Page selection stays
deterministic (no random page). Every keyword of every keyword option (as the README's option
reference lists them) converts the samples once, with what makes the run use it. Exit status 0
when everything matches, 1 otherwise.

--png-image-data compares PNG files by their content instead of their bytes: every chunk but
IDAT byte for byte, and the image data inflated (the filtered rows, without the bits past the last
pixel of a 1- or 4-bit row, which hold nothing), for a change of how the image data is compressed.
"""

import argparse
import filecmp
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
FORMATS = ("bmp dds exr gif hdr ico j2k jng jp2 jpg jxr pbm pcx pfm pgm png ppm psd tga tiff "
           "wbmp webp xpm").split()
CORPUS_KINDS = ("photo", "document", "grey16", "fax")


def write_png(path, width, height):
    """A small RGBA gradient with a transparent corner: the picture watermark."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            alpha = 0 if x < width // 4 and y < height // 4 else 200
            rows += bytes((x * 255 // width, y * 255 // height, 128, alpha))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                     + chunk(b"IDAT", zlib.compress(bytes(rows))) + chunk(b"IEND", b""))


def chain(picture):
    """Rotation, resizing, a frame, both watermarks and greyscale."""
    return [
        ["--rotation=30", "--rotation-back-color=203040", "--width=50", "--width-unit=PERCENT",
         "--height=50", "--height-unit=PERCENT", "--keep-aspect-ratio", "--fr-solid-left=12",
         "--fr-solid-right=8", "--fr-solid-top=6", "--fr-solid-bottom=20",
         "--fr-solid-left-color=FF8000", "--wm-text=(c) Test %filename% %width%x%height%",
         "--wm-font=Liberation Sans", "--wm-font-size=18", "--wm-text-antialiasing",
         "--wm-text-position=BOTTOMRIGHT", f"--wm-image={picture}", "--wm-image-opacity=180",
         "--wm-image-position=TOPLEFT", "--greyscale"],
        ["--rotation=90", "--rotation-type=ADVANCED", "--width=300", "--height=200",
         "--resize-algorithm=LANCZOS", "--flip-horizontal", "--fr-solid-top=10",
         "--fr-solid-bottom=10", "--wm-text=Line one\nLine two", "--wm-font=Liberation Serif",
         "--wm-font-style=BOLD", "--wm-text-boundary=FRAME", "--wm-back-opacity=90",
         f"--wm-image={picture}", "--wm-image-greyscale", "--wm-image-rotation=45",
         "--wm-image-position=MIDDLECENTER", "--greyscale"],
    ]


def conversion_cases(picture):
    # FreeImage's XPM writer keeps its colour codes in shared state, so XPM files written by
    # several workers at once may differ from run to run; XPM runs with one worker.
    cases = [(f"auto-{fmt}", ["-c", fmt] + (["--threads=1"] if fmt == "xpm" else [])) for fmt in FORMATS]
    for fmt in ("png", "jpg", "tiff", "ico"):
        for number, options in enumerate(chain(picture), 1):
            cases.append((f"chain{number}-{fmt}", ["-c", fmt] + options))
    cases += [
        ("tiff-lzw-mask", ["-c", "tiff", "--tiff-compression=lzw",
                           "--filename-mask=%filename%-%width%x%height%-%bpp%.%ext%"]),
        ("tiff-cmyk", ["-c", "tiff", "--tiff-color-model=CMYK"]),
        ("jpg-options", ["-c", "jpg", "--jpg-quality=70", "--jpg-chroma=HIGH",
                         "--jpg-save-as=PROGRESSIVE", "--brightness=20", "--contrast=-10",
                         "--gamma=1.4"]),
        ("png-threshold", ["-c", "png", "--threshold=100", "--invert", "--flip-vertical"]),
        ("png-pages-last", ["-c", "png", "--tiff-frame-loading=last", "--no-subfolders"]),
        ("bmp-8", ["-c", "bmp", "--bmp-bpp=8"]),
        ("gif-strip", ["-c", "gif", "--strip-metadata"]),
        ("frame-mark-tiff", ["-c", "tiff", "--fr-solid-left=31", "--fr-solid-right=0", "--fr-solid-top=7",
                             "--fr-solid-bottom=45", "--fr-solid-left-color=FF8000",
                             "--fr-solid-top-color=00FF80", "--fr-solid-opacity=128", f"--wm-image={picture}",
                             "--wm-image-position=BOTTOMCENTER", "--wm-image-y-offset=3"]),
        ("frame-48-tiff", ["-c", "tiff", "--tiff-bpp=48", "--fr-solid-left=9", "--fr-solid-top=4",
                           "--fr-solid-right=17", "--fr-solid-bottom=2", "--fr-solid-opacity=140"]),
        ("frame-wide-mark-png", ["-c", "png", "--fr-solid-left=5000", "--fr-solid-top=3",
                                 "--fr-solid-bottom-color=2040FF", "--wm-text=Wide %filename%%eol%two",
                                 "--wm-font=Liberation Sans", "--wm-font-size=40", "--wm-text-rotation=15",
                                 "--wm-text-position=MIDDLELEFT", "--wm-back-opacity=200"]),
    ]
    return cases


def keyword_options():
    """(option, keywords) of every option that takes a keyword, from the README's option reference."""
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    return [(match.group(1), [word.strip() for word in match.group(2).split(",")])
            for match in re.finditer(r"^\| `(--[a-z0-9-]+)=KEY` \| ([^|]+) \|", text, re.MULTILINE)]


def choice_cases(picture):
    """Every keyword of every keyword option, with what makes the run use it and the echo show it,
    and keywords an option does not take. Run over the samples only."""
    text_mark = ["--wm-text=Choice", "--wm-font=Liberation Sans", "--fr-solid-left=6"]
    resizing = ["--width=50", "--height=40"]
    contexts = [("--bmp-", ["-c", "bmp", "--bmp-bpp=8"]), ("--exr-", ["-c", "exr"]), ("--jpg-", ["-c", "jpg"]),
                ("--png-", ["-c", "png"]), ("--tga-", ["-c", "tga"]), ("--tiff-co", ["-c", "tiff"]),
                ("--rotation-", ["--rotation=30"]), ("--width-", resizing), ("--height-", resizing),
                ("--resize-", resizing), ("--wm-text-", text_mark), ("--wm-font-", text_mark),
                ("--wm-image-", [f"--wm-image={picture}", "--fr-solid-top=6"]),
                ("--file-timestamp", ["--file-timestamp-custom=1700000000"])]
    cases = []
    for option, keywords in keyword_options():
        context = next((extra for prefix, extra in contexts if option.startswith(prefix)), [])
        # A random page would differ between the two runs.
        taken = [word for word in keywords if not (option == "--tiff-frame-loading" and word == "RANDOM")]
        for word in taken + ["nosuch"]:
            cases.append((f"key{option}={word.lower()}", context + [f"{option}={word.lower()}"]))
    cases += [("key-other-format", ["-c", "png", "--png-compression=lzw", "--bmp-compression=zip"]),
              ("key-near-miss", ["--resize-algorithm=lancos", "--width=20", "--jpg-chroma=highest"])]
    return cases


def text_cases(work, picture):
    """Runs whose whole effect is their text and exit status."""
    many = ["-i", "in"] + [f"--width={n}" for n in range(130)]
    echo_options = ["-c", "tiff", "--tiff-compression=jpeg", "--tiff-bpp=24", "--width=640",
                    "--height=50", "--height-unit=PERCENT", "--resize-algorithm=BICUBIC",
                    "--rotation=15", "--brightness=-5", "--wm-text=echo", "--wm-font=DejaVu Sans",
                    f"--wm-image={picture}", "--fr-solid-left=3", "--jpg-chroma=low",
                    "--png-compression=zlib9", "--threads=2", "--memory=512M"]
    cases = [
        ("help", ["-h"]), ("help-question", ["-?"]), ("version", ["-v"]),
        ("echo-defaults", ["-d", "-q", "-i", "in", "-o", "out", "--dry-run"]),
        ("echo-options", ["-d", "-q", "-i", "in", "-o", "out", "--dry-run"] + echo_options),
        ("dry-run", ["-i", "in", "-o", "out", "--dry-run", "-c", "png"]),
        ("no-input", ["-i", "empty", "-o", "out"]),
        ("error-params-i-last", ["-i"]),
        ("error-params-width", ["-i", "in", "--width"]),
        ("error-params-width-eq", ["-i", "in", "--width="]),
        ("error-params-width-space", ["-i", "in", "--width", "100"]),
        ("error-profile", ["-i", "in", "--profile=missing.ini"]),
        ("error-too-many", many),
        ("error-threads", ["-i", "in", "--threads=0"]),
        ("error-memory", ["-i", "in", "--memory=lots"]),
        ("error-input-file", ["-i", "missing.tif"]),
        ("error-input-folder-up", ["-i", "../in/"]),
        ("error-input-folder", ["-i", "nowhere/"]),
        ("error-output-folder-up", ["-i", "in", "-o", "../out"]),
        ("error-output-folder", ["-i", "in", "-o", "nowhere"]),
        ("error-conversion", ["-i", "in", "-c", "PNG"]),
        ("error-jpg-quality", ["-i", "in", "-o", "out", "-c", "jpg", "--jpg-quality=0"]),
        ("error-width", ["-i", "in", "-o", "out", "--width=0"]),
        ("error-height", ["-i", "in", "-o", "out", "--height=0"]),
        ("error-brightness", ["-i", "in", "-o", "out", "--brightness=101"]),
        ("error-contrast", ["-i", "in", "-o", "out", "--contrast=-101"]),
        ("error-gamma", ["-i", "in", "-o", "out", "--gamma=10"]),
        ("error-wm-font", ["-i", "in", "-o", "out", "--wm-text=x", "--wm-font=No Such Face"]),
        ("error-wm-image", ["-i", "in", "-o", "out", "--wm-image=missing.png"]),
        ("error-report-name", ["-i", "in", "-o", "out", "--report=r.txt"]),
        ("error-report-folder", ["-i", "in", "-o", "out", "--report=nowhere/r.json"]),
        ("error-shard", ["-i", "in", "-o", "out", "--shard=3/2"]),
        ("warning-colour", ["-i", "in", "-o", "out", "--dry-run", "--rotation=10",
                            "--rotation-back-color=red"]),
    ]
    cases += [(f"error-{fmt}-bpp", ["-i", "in", "-o", "out", "-c", fmt, f"--{fmt}-bpp=7"])
              for fmt in FORMATS]
    return cases


def prepare_inputs(work, corpus, per_kind):
    inputs = work / "in"
    shutil.copytree(ROOT / "samples", inputs / "samples")
    if corpus:
        (inputs / "corpus").mkdir()
        for kind in CORPUS_KINDS:
            files = sorted(corpus.glob(f"{kind}*.tif*"))
            for file in files if per_kind == 0 else files[:per_kind]:
                shutil.copy(file, inputs / "corpus")
    bad = inputs / "bad"
    bad.mkdir()
    (bad / "notes.tif").write_text("not a TIFF at all\n")
    document = (ROOT / "samples" / "document-3-pages.tif").read_bytes()
    (bad / "cut.tif").write_bytes(document[: len(document) * 2 // 3])
    (work / "empty").mkdir()
    picture = work / "mark.png"
    write_png(picture, 48, 32)
    return picture


def run(binary, work, arguments):
    env = dict(os.environ, XDG_CONFIG_HOME=str(work / "config"), XDG_RUNTIME_DIR=str(work / "runtime"),
               QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
    done = subprocess.run([str(binary)] + arguments, cwd=work, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=1800)
    return done.returncode, done.stdout, done.stderr


def png_content(path):
    """The chunks of a PNG file but IDAT, and its image data inflated; None if it is no PNG."""
    data = path.read_bytes()
    if not data.startswith(b"\x89PNG\r\n\x1a\n"):
        return None
    chunks, image_data, at = [], bytearray(), 8
    while at + 12 <= len(data):
        (size,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + size]
        if zlib.crc32(kind + body) != struct.unpack(">I", data[at + 8 + size:at + 12 + size])[0]:
            return None
        if kind == b"IDAT":
            if not chunks or chunks[-1][0] != b"IDAT":
                chunks.append((kind, b""))
            image_data += body
        else:
            chunks.append((kind, body))
        at += 12 + size
    try:
        rows = bytearray(zlib.decompress(bytes(image_data)))
    except zlib.error:
        return None
    header = dict(chunks).get(b"IHDR")
    if header is None or len(header) != 13:
        return None
    width, height, depth, _, _, _, interlace = struct.unpack(">IIBBBBB", header)
    if depth < 8:
        clear_padding(rows, width, height, depth, interlace)
    return chunks, bytes(rows)


# Where each pass of an interlaced image starts and how far apart its pixels are: x, y, dx, dy.
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def clear_padding(rows, width, height, depth, interlace):
    """Clears the bits past the last pixel of each row of inflated 1-, 2- or 4-bit image data (its
    rows are unfiltered: libpng filters none below 8 bits)."""
    at = 0
    for x0, y0, dx, dy in ADAM7 if interlace else [(0, 0, 1, 1)]:
        columns = (width - x0 + dx - 1) // dx if width > x0 else 0
        lines = (height - y0 + dy - 1) // dy if height > y0 else 0
        if columns == 0:
            continue
        size = (columns * depth + 7) // 8 + 1
        used = columns * depth % 8
        for _ in range(lines):
            if used and at + size <= len(rows) and rows[at] == 0:
                rows[at + size - 1] &= (0xFF00 >> used) & 0xFF
            at += size


def same_files(left, right, png_image_data):
    if filecmp.cmp(left, right, shallow=False):
        return True
    if not png_image_data or left.suffix.lower() != ".png":
        return False
    content = png_content(left)
    return content is not None and content == png_content(right)


def tree_differences(left, right, png_image_data=False):
    """Relative paths that differ between two folders (missing on one side or other bytes)."""
    def files(top):
        return {str(p.relative_to(top)) for p in top.rglob("*") if p.is_file()} if top.is_dir() else set()
    left_files, right_files = files(left), files(right)
    differing = sorted(left_files ^ right_files)
    for name in sorted(left_files & right_files):
        if not same_files(left / name, right / name, png_image_data):
            differing.append(name)
    return differing, len(left_files)


def compare_case(name, arguments, before, after, work, keep, png_image_data):
    out = work / "out"
    results = {}
    for label, binary in (("before", before), ("after", after)):
        shutil.rmtree(out, ignore_errors=True)
        out.mkdir()
        results[label] = run(binary, work, arguments)
        out.rename(work / f"out-{label}")
    problems = []
    for what, index in (("exit status", 0), ("standard output", 1), ("standard error", 2)):
        if results["before"][index] != results["after"][index]:
            problems.append(what)
    differing, count = tree_differences(work / "out-before", work / "out-after", png_image_data)
    problems += [f"file {name}" for name in differing]
    if problems and keep:
        kept = work / "differences" / name
        kept.mkdir(parents=True, exist_ok=True)
        for label in ("before", "after"):
            (work / f"out-{label}").rename(kept / label)
            code, stdout, stderr = results[label]
            (kept / f"{label}.stdout").write_bytes(stdout)
            (kept / f"{label}.stderr").write_bytes(stderr + f"\nexit {code}\n".encode())
    for label in ("before", "after"):
        shutil.rmtree(work / f"out-{label}", ignore_errors=True)
    return problems, count


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before", type=pathlib.Path)
    parser.add_argument("after", type=pathlib.Path)
    parser.add_argument("--corpus", type=pathlib.Path, help="a folder written by bench/make-corpus.sh")
    parser.add_argument("--per-kind", type=int, default=1, help="corpus files of each kind (0: all)")
    parser.add_argument("--work", type=pathlib.Path, default=pathlib.Path("/tmp/tessaline-compare"))
    parser.add_argument("--keep", action="store_true", help="keep the outputs of differing cases")
    parser.add_argument("--only", help="run only the cases whose name matches this regular expression")
    parser.add_argument("--png-image-data", action="store_true",
                        help="PNG files the same when all but their compressed image data is")
    args = parser.parse_args()

    work = args.work.resolve()
    shutil.rmtree(work, ignore_errors=True)
    for folder in ("config", "runtime"):
        (work / folder).mkdir(parents=True)
    (work / "runtime").chmod(0o700)
    picture = prepare_inputs(work, args.corpus, args.per_kind)

    cases = [(name, ["-d", "-i", "in", "-o", "out"] + options)
             for name, options in conversion_cases(picture.name)]
    cases += [(name, ["-d", "-i", "in/samples", "-o", "out"] + options) for name, options in choice_cases(picture.name)]
    cases += text_cases(work, picture.name)
    if args.only:
        cases = [case for case in cases if re.search(args.only, case[0])]
    failed = 0
    files = 0
    for name, arguments in cases:
        problems, count = compare_case(name, arguments, args.before.resolve(), args.after.resolve(),
                                       work, args.keep, args.png_image_data)
        files += count
        status = "same" if not problems else "DIFFERENT: " + ", ".join(problems[:5])
        print(f"{name:28} {count:4} files  {status}", flush=True)
        failed += bool(problems)
    print(f"{len(cases)} cases, {files} output files compared, {failed} different")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
