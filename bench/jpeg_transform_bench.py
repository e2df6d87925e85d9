#!/usr/bin/python3
"""Times the lossless JPEG transform beside libjpeg-turbo's jpegtran.

Usage: bench/jpeg_transform_bench.py [TOOL]
       (default TOOL: build/linux/tests/codecs/jpeg_reference_tool)

TransformJpegFile (through jpeg_reference_tool) and jpegtran run with the
same options on the same photos, one process per file for both, and the
script prints the CPU time (user + system of the child processes, the best
of PIXLANE_BENCH_RUNS runs, default 5) and the ratio ours / jpegtran. CPU
time rather than wall time, because the machines are shared. Our transform
always recomputes the Huffman tables, so the like-for-like jpegtran run has
-optimize; plain jpegtran is shown as well. Photos: the corpus that
bench/compare_cli.sh keeps in the cache (4:4:4 wallpapers), and 4:2:0
re-encodings of them made here with djpeg | cjpeg -quality 90.
"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOL = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    ROOT, "build/linux/tests/codecs/jpeg_reference_tool")
CACHE = os.path.join(os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache")),
                     "pixlane", "bench", "jpeg")
RUNS = int(os.environ.get("PIXLANE_BENCH_RUNS", "5"))
if not os.access(TOOL, os.X_OK) or not os.path.isdir(CACHE):
    sys.exit("needs %s and photos in %s (run bench/compare_cli.sh once)" % (TOOL, CACHE))

work = tempfile.mkdtemp()
try:
    layouts = {"4:4:4": [], "4:2:0": []}
    for name in sorted(os.listdir(CACHE)):
        if not name.endswith(".jpg"):
            continue
        layouts["4:4:4"].append(os.path.join(CACHE, name))
        reencoded = os.path.join(work, "420_" + name)
        pixels = subprocess.run(["djpeg", layouts["4:4:4"][-1]], stdout=subprocess.PIPE,
                                check=True).stdout
        with open(reencoded, "wb") as f:
            subprocess.run(["cjpeg", "-quality", "90", "-sample", "2x2", "-optimize"],
                           input=pixels, stdout=f, check=True)
        layouts["4:2:0"].append(reencoded)
    out = os.path.join(work, "out.jpg")

    def cpu_time(commands):
        best = None
        for _ in range(RUNS):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            for command in commands:
                subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            t = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
            best = t if best is None else min(best, t)
        return best

    print("photos: %d per layout" % len(layouts["4:4:4"]))
    for layout, files in layouts.items():
        for op, value in [("rotate", "90"), ("rotate", "180"), ("rotate", "270"),
                          ("flip", "horizontal"), ("flip", "vertical")]:
            ours = cpu_time([[TOOL, "transform", f, out, "--" + op, value, "--copy", "all"]
                             for f in files])
            opt = cpu_time([["jpegtran", "-" + op, value, "-trim", "-copy", "all", "-optimize",
                             "-outfile", out, f] for f in files])
            plain = cpu_time([["jpegtran", "-" + op, value, "-trim", "-copy", "all",
                               "-outfile", out, f] for f in files])
            print("%s %-16s ours %5.2fs   jpegtran -optimize %5.2fs (x%.2f)   jpegtran %5.2fs (x%.2f)"
                  % (layout, op + " " + value, ours, opt, ours / opt, plain, ours / plain))
finally:
    shutil.rmtree(work)
