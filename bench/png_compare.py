#!/usr/bin/python3
"""Compares Pixlane's PNG decoding and level-9 encoding with libpng through
ImageMagick (/usr/bin/convert) and libvips (vips) on the same files.

Makes a 2000 x 1500 photo-like picture with ImageMagick and writes it with
libpng (ImageMagick) as truecolour, truecolour + alpha, interlaced
truecolour, 16-bit truecolour, 8-bit gray and 8-bit palette files. Pixlane's
times come from png_bench (in-process, from memory); the tools' times are
those of a whole run minus a run on a 1 x 1 file (start-up), the best of
several runs. Times are CPU seconds (user + system, all threads), which other
work on the machine disturbs less than wall time; wall times are shown too.
Usage: png_compare.py <png_bench binary> [work folder]
"""

import json
import os
import resource
import subprocess
import sys
import tempfile

CONVERT = "/usr/bin/convert"
VIPS = "vips"
RUNS = 5


def run_cpu(args):
    """CPU and wall seconds of one run of args."""
    import time
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return cpu, wall


def best(args):
    results = [run_cpu(args) for _ in range(RUNS)]
    return min(r[0] for r in results), min(r[1] for r in results)


def tool_time(make_args, path, tiny):
    cpu, wall = best(make_args(path))
    cpu0, wall0 = best(make_args(tiny))
    return max(cpu - cpu0, 0.0), max(wall - wall0, 0.0)


def make_files(folder):
    photo = os.path.join(folder, "photo.ppm")
    subprocess.run([CONVERT, "-size", "2000x1500", "-seed", "7", "plasma:fractal", "-blur", "0x1",
                    "(", "-size", "2000x1500", "xc:", "-seed", "9", "+noise", "Gaussian",
                    "-colorspace", "gray", ")", "-compose", "overlay", "-composite", photo],
                   check=True)
    png = lambda *a: [CONVERT, photo, "-strip", "-define", "png:compression-level=6", *a]
    files = {
        "rgb8.png": png("PNG24:" + os.path.join(folder, "rgb8.png")),
        "rgba8.png": png("-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel",
                         "PNG32:" + os.path.join(folder, "rgba8.png")),
        "rgb8_interlaced.png": png("-interlace", "PNG", "PNG24:" + os.path.join(folder, "rgb8_interlaced.png")),
        "rgb16.png": png("-depth", "16", "PNG48:" + os.path.join(folder, "rgb16.png")),
        "gray8.png": png("-colorspace", "gray", "-depth", "8", "-define", "png:color-type=0",
                         os.path.join(folder, "gray8.png")),
        "palette8.png": png("-colors", "256", "PNG8:" + os.path.join(folder, "palette8.png")),
    }
    for args in files.values():
        subprocess.run(args, check=True)
    subprocess.run([CONVERT, "-size", "1x1", "xc:gray", "PNG24:" + os.path.join(folder, "tiny.png")], check=True)
    subprocess.run([CONVERT, "-size", "1x1", "xc:gray", os.path.join(folder, "tiny.ppm")], check=True)
    return list(files), photo


def ours(bench, folder):
    env = dict(os.environ, PIXLANE_PNG_BENCH_DIR=folder)
    out = subprocess.run([bench, "--benchmark_format=json", "--benchmark_min_time=1"],
                         env=env, check=True, capture_output=True, text=True).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        results[b["name"]] = (b["cpu_time"] * scale, b["real_time"] * scale, b.get("bytes"))
    return results


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    bench = os.path.abspath(sys.argv[1])
    folder = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="png-compare-")
    os.makedirs(folder, exist_ok=True)
    names, photo = make_files(folder)
    tiny = os.path.join(folder, "tiny.png")
    measured = ours(bench, folder)

    print("Decoding (ms CPU / ms wall):")
    print(f"{'file':22} {'bytes':>9} {'Pixlane':>15} {'ImageMagick':>15} {'vips':>15} {'ratio':>7}")
    for name in names:
        path = os.path.join(folder, name)
        cpu, wall, _ = measured["Decode/" + name]
        im = tool_time(lambda p: [CONVERT, p, "null:"], path, tiny)
        vp = tool_time(lambda p: [VIPS, "avg", p], path, tiny)
        ratio = cpu / min(im[0], vp[0])
        print(f"{name:22} {os.path.getsize(path):9d} {cpu*1e3:7.1f}/{wall*1e3:<7.1f} "
              f"{im[0]*1e3:7.1f}/{im[1]*1e3:<7.1f} {vp[0]*1e3:7.1f}/{vp[1]*1e3:<7.1f} {ratio:7.2f}")

    print("\nEncoding at level 9 (ms CPU, output bytes):")
    print(f"{'image':22} {'Pixlane':>20} {'ImageMagick':>20} {'vips':>20}")
    tiny_ppm = os.path.join(folder, "tiny.ppm")
    for name, im_type in (("rgb8.png", "PNG24:"), ("gray8.png", ""),
                          ("palette8.png", "PNG8:")):
        cpu, _, size = measured["EncodeLevel9/" + name]
        source = os.path.join(folder, name[:-4] + ".ppm" if name != "gray8.png" else "gray8.pgm")
        subprocess.run([CONVERT, os.path.join(folder, name), "-depth", "8", source], check=True)
        im_out = os.path.join(folder, "im_" + name)
        im = tool_time(lambda p: [CONVERT, p, "-define", "png:compression-level=9", "-define",
                                  "png:compression-filter=5", im_type + im_out], source, tiny_ppm)
        subprocess.run([CONVERT, source, "-define", "png:compression-level=9", "-define",
                        "png:compression-filter=5", im_type + im_out], check=True)
        vips_out = os.path.join(folder, "vips_" + name)
        # vips writes no palette without quantising anew: not compared there.
        vips_text = f"{'-':>9} {'-':>10}"
        if name != "palette8.png":
            vips_args = lambda p: [VIPS, "copy", p, vips_out + "[compression=9,filter=all]"]
            vp = tool_time(vips_args, source, tiny_ppm)
            subprocess.run(vips_args(source), check=True)
            vips_text = f"{vp[0]*1e3:9.0f} {os.path.getsize(vips_out):10d}"
        print(f"{name:22} {cpu*1e3:9.0f} {int(size):10d} {im[0]*1e3:9.0f} {os.path.getsize(im_out):10d} "
              f"{vips_text}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
