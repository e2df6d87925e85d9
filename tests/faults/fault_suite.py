#!/usr/bin/env python3
"""Fault suite for the pixlane CLI: what a batch leaves behind when it is
killed, interrupted, starved of disk space or handed special files.

  fault_suite.py kill       PIXLANE WORKDIR   SIGKILL at random points and at the commit
  fault_suite.py interrupt  PIXLANE WORKDIR   Ctrl-C, once and twice (the second inside a commit)
  fault_suite.py special    PIXLANE WORKDIR   FIFOs, links at every output name, the settings file
  fault_suite.py full-disk  PIXLANE WORKDIR   a small tmpfs as the output folder (root only)

After every run the same invariants are checked: each file under an output
name is byte for byte the output an undisturbed run writes, each input
exists unless its complete output does (a damaged input always exists), at
most the one temporary file being written remains (with -j 2, the files
converted ahead too; after a Ctrl-C none), and a later batch into
the same folder removes it and touches nothing else. Exit status 77 means
the part was skipped (ctest reports it as skipped).
"""
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

from PIL import Image

SKIP = 77
TEMP_NAME = re.compile(r"^\.pixlane-[0-9a-f]{8}-[1-9][0-9]{0,9}-[0-9a-f]{16}\.tmp$")
DAMAGED = "zz_damaged.jpg"


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def make_inputs(folder, count, size):
    """`count` JPEG photos of noise and gradients, plus one cut to a third."""
    os.makedirs(folder)
    rng = random.Random(17)
    width, height = size
    for i in range(count):
        image = Image.effect_noise(size, 40 + 5 * i).convert("RGB")
        gradient = Image.linear_gradient("L").resize(size).convert("RGB")
        image = Image.blend(image, gradient, 0.3 + rng.random() * 0.4)
        image.save(os.path.join(folder, "p%02d.jpg" % i), quality=92)
    whole = os.path.join(folder, "p00.jpg")
    with open(whole, "rb") as f:
        data = f.read()
    with open(os.path.join(folder, DAMAGED), "wb") as f:
        f.write(data[: len(data) // 3])


class Cli:
    def __init__(self, program, workdir):
        self.program = program
        self.ini = os.path.join(workdir, "no-settings.ini")  # never created

    def args(self, inputs, output, *extra):
        return [self.program, "--ini", self.ini, "-q", "--format", "jpeg", *extra, inputs, "-o", output]

    def run(self, inputs, output, *extra, timeout=120):
        return subprocess.run(self.args(inputs, output, *extra), capture_output=True, text=True,
                              timeout=timeout)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def snapshot(folder):
    return {name: read(os.path.join(folder, name)) for name in os.listdir(folder)
            if not TEMP_NAME.match(name)}


def check(case, inputs, outputs, reference, original, max_temps):
    """The invariants after a run; returns the names of temporary files left."""
    temps = []
    for name in sorted(os.listdir(outputs)):
        path = os.path.join(outputs, name)
        if TEMP_NAME.match(name):
            temps.append(name)
            continue
        if name not in reference:
            fail("%s: unexpected file %s in the output folder" % (case, name))
        if read(path) != reference[name]:
            fail("%s: %s is not the complete output" % (case, name))
    if len(temps) > max_temps:
        fail("%s: %d temporary files left: %s" % (case, len(temps), temps))
    for name in original:
        if os.path.exists(os.path.join(inputs, name)):
            if read(os.path.join(inputs, name)) != original[name]:
                fail("%s: input %s was changed" % (case, name))
            continue
        if name == DAMAGED:
            fail("%s: the damaged input was deleted" % case)
        out = os.path.join(outputs, name)
        if not os.path.exists(out) or read(out) != reference[name]:
            fail("%s: input %s is gone without its complete output" % (case, name))
    return temps


def later_batch(case, cli, inputs, outputs):
    """A later batch into the same folder removes what the killed run left
    and changes none of the outputs already there."""
    before = snapshot(outputs)
    result = cli.run(inputs, outputs, "--delete-inputs")
    if result.returncode not in (0, 1):
        fail("%s: the later batch failed: %s" % (case, result.stderr))
    after = os.listdir(outputs)
    left = [name for name in after if TEMP_NAME.match(name)]
    if left:
        fail("%s: the later batch left temporary files: %s" % (case, left))
    for name, data in before.items():
        if read(os.path.join(outputs, name)) != data:
            fail("%s: the later batch changed %s" % (case, name))


class Setup:
    def __init__(self, program, workdir, count=8, size=(640, 480)):
        self.cli = Cli(program, workdir)
        self.workdir = workdir
        self.master = os.path.join(workdir, "inputs")
        make_inputs(self.master, count, size)
        self.original = {name: read(os.path.join(self.master, name)) for name in os.listdir(self.master)}
        ref_in = os.path.join(workdir, "ref-in")
        shutil.copytree(self.master, ref_in)
        self.reference_folder = os.path.join(workdir, "ref-out")
        os.makedirs(self.reference_folder)
        start = time.monotonic()
        result = self.cli.run(ref_in, self.reference_folder)
        self.duration = time.monotonic() - start
        if result.returncode != 0:
            fail("the undisturbed run failed (%d): %s" % (result.returncode, result.stderr))
        if "partial" not in result.stderr:
            fail("the damaged input was not reported as partial: %r" % result.stderr)
        self.reference = snapshot(self.reference_folder)
        if sorted(self.reference) != sorted(self.original):
            fail("the undisturbed run wrote %s" % sorted(self.reference))

    def fresh(self, case):
        inputs = os.path.join(self.workdir, case, "in")
        outputs = os.path.join(self.workdir, case, "out")
        shutil.copytree(self.master, inputs)
        os.makedirs(outputs)
        return inputs, outputs


def strace_args(injections):
    args = ["strace", "-f", "-qq", "-o", os.devnull]
    for calls, sig, when in injections:
        args += ["-e", "inject=%s:signal=%s:when=%d" % (calls, sig, when)]
    return args


def run_kill(program, workdir):
    if shutil.which("strace") is None:
        fail("strace is missing (scripts/setup installs it)")
    setup = Setup(program, workdir)
    rng = random.Random(4711)
    files = len(setup.original)
    targets = ["renameat2", "fsync", "unlink,unlinkat"]
    left_behind = 0
    for i in range(50):
        case = "kill%02d" % i
        inputs, outputs = setup.fresh(case)
        # Sequential runs, and parallel ones whose workers convert up to
        # 2 x jobs files ahead of the commit under way.
        jobs = 1 if i % 4 < 2 else 2
        args = setup.cli.args(inputs, outputs, "--delete-inputs", "-j", str(jobs))
        if i % 2 == 0:
            # Anywhere: reading, converting, writing the temporary file, committing.
            process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0.0, setup.duration * 1.1))
            process.kill()
            process.wait()
        else:
            # Aimed at the commit: on entering its flush, its rename or the
            # input's deletion of a random file.
            calls = targets[(i // 2) % len(targets)]
            when = rng.randint(1, 2 * files if calls == "fsync" else files)
            subprocess.run(strace_args([(calls, "SIGKILL", when)]) + args,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        left_behind += len(check(case, inputs, outputs, setup.reference, setup.original, 2 * jobs + 1))
        later_batch(case, setup.cli, inputs, outputs)
        shutil.rmtree(os.path.join(workdir, case))
    print("kill: 50 runs, %d left a temporary file that the next batch removed" % left_behind)


def run_interrupt(program, workdir):
    setup = Setup(program, workdir)
    rng = random.Random(99)
    for i in range(10):
        case = "int%02d" % i
        inputs, outputs = setup.fresh(case)
        process = subprocess.Popen(setup.cli.args(inputs, outputs, "--delete-inputs", "-j", str(1 + i % 2)),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Ctrl-C is the program's to handle once the batch has begun (the
        # first temporary file shows it); earlier, on a loaded machine, it
        # could still find the program starting up and end it by default.
        while process.poll() is None and not os.listdir(outputs):
            time.sleep(0.001)
        time.sleep(rng.uniform(0.0, setup.duration))
        process.send_signal(signal.SIGINT)
        code = process.wait(timeout=120)
        if code not in (0, 1):
            fail("%s: Ctrl-C ended the run with status %d" % (case, code))
        check(case, inputs, outputs, setup.reference, setup.original, 0)
        shutil.rmtree(os.path.join(workdir, case))
    if shutil.which("strace") is None:
        fail("strace is missing (scripts/setup installs it)")
    # Two Ctrl-C inside one commit: the first as it flushes the file, the
    # second as it renames it. The commit is finished, then the run ends.
    for n, jobs in ((1, 1), (3, 1), (1, 2), (3, 2)):
        case = "twice%d-j%d" % (n, jobs)
        inputs, outputs = setup.fresh(case)
        args = setup.cli.args(inputs, outputs, "--delete-inputs", "-j", str(jobs))
        result = subprocess.run(strace_args([("fsync", "SIGINT", 2 * n - 1), ("renameat2", "SIGINT", n)]) + args,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        if result.returncode == 0:
            fail("%s: the second Ctrl-C did not end the run" % case)
        check(case, inputs, outputs, setup.reference, setup.original, 0)
        committed = sorted(name for name in os.listdir(outputs))
        gone = sorted(name for name in setup.original if not os.path.exists(os.path.join(inputs, name)))
        if len(committed) != n or committed != gone:
            fail("%s: the commit under way was not finished: outputs %s, inputs gone %s"
                 % (case, committed, gone))
        shutil.rmtree(os.path.join(workdir, case))
    print("interrupt: 10 single and 4 double Ctrl-C runs")


def run_special(program, workdir):
    setup = Setup(program, workdir, count=2, size=(64, 48))
    cli = setup.cli
    inputs, outputs = setup.fresh("special")
    # A FIFO named like an image, given as a path and lying in the folder.
    fifo = os.path.join(inputs, "pipe.jpg")
    os.mkfifo(fifo)
    result = cli.run(fifo, outputs, timeout=30)
    if result.returncode != 1 or "NotRegularFile" not in result.stderr:
        fail("a FIFO path: status %d, %r" % (result.returncode, result.stderr))
    result = cli.run(inputs, outputs, timeout=30)
    if result.returncode != 0 or "pipe.jpg" in result.stderr + result.stdout:
        fail("a FIFO in the folder: status %d, %r" % (result.returncode, result.stderr))
    os.unlink(fifo)
    shutil.rmtree(outputs)
    os.makedirs(outputs)
    # Links at every name the batch may create: the output, its "+1" name
    # and the tag file; they point at files of the user or nowhere.
    victim = os.path.join(workdir, "victim.txt")
    with open(victim, "wb") as f:
        f.write(b"precious")
    tag = os.path.join(outputs, os.path.basename(outputs) + ".html")
    links = {os.path.join(outputs, "p00.jpg"): victim,
             os.path.join(outputs, "p00+1.jpg"): os.path.join(workdir, "nowhere"),
             tag: victim}
    for link, target in links.items():
        os.symlink(target, link)
    result = cli.run(os.path.join(inputs, "p00.jpg"), outputs, "--html-tags", "--delete-inputs")
    if result.returncode != 0:
        fail("links at the output names: status %d, %r" % (result.returncode, result.stderr))
    for link, target in links.items():
        if not os.path.islink(link) or os.readlink(link) != target:
            fail("the link %s was removed or replaced" % link)
    if read(victim) != b"precious" or os.path.exists(os.path.join(workdir, "nowhere")):
        fail("a link was written through")
    if read(os.path.join(outputs, "p00+2.jpg")) != setup.reference["p00.jpg"]:
        fail("the output did not go to the first free name")
    # The settings file: a save that does not fit leaves the old file whole;
    # a file over 1 MiB is neither read nor overwritten.
    ini = os.path.join(workdir, "Pixlane.ini")
    with open(ini, "w") as f:
        f.write("[Mine]\nkeep=1\n[CvtPrms]\nOFmt=1\n")
    old = read(ini)
    limited = subprocess.run(["sh", "-c", 'trap "" XFSZ; ulimit -f 1 && exec "$0" "$@"', program, "--ini", ini,
                              "--save-settings", "--comment", "x" * 5000],
                             capture_output=True, text=True)
    if limited.returncode == 0 or read(ini) != old:
        fail("a settings save that does not fit changed the file (status %d)" % limited.returncode)
    if any(TEMP_NAME.match(name) for name in os.listdir(workdir)):
        fail("a failed settings save left its temporary file")
    with open(ini, "a") as f:
        f.write(";" + "x" * (1 << 20) + "\n")
    big = read(ini)
    result = subprocess.run([program, "--ini", ini, "--save-settings"], capture_output=True, text=True)
    if result.returncode == 0 or "1 MiB" not in result.stderr or read(ini) != big:
        fail("a settings file over 1 MiB: status %d, %r" % (result.returncode, result.stderr))
    print("special: FIFOs, links at every output name, settings file")


def run_full_disk(program, workdir):
    if os.geteuid() != 0:
        print("SKIPPED: the full-disk case mounts a small tmpfs and needs root")
        sys.exit(SKIP)
    setup = Setup(program, workdir, count=3, size=(120, 90))
    inputs, outputs = setup.fresh("full")
    # One photo whose output cannot fit, among small ones.
    Image.effect_noise((1600, 1200), 90).convert("RGB").save(os.path.join(inputs, "p01_big.jpg"),
                                                              quality=95)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", outputs]).returncode != 0:
        print("SKIPPED: mounting a tmpfs was refused")
        sys.exit(SKIP)
    try:
        result = setup.cli.run(inputs, outputs, "--delete-inputs")
        if result.returncode != 1:
            fail("full disk: status %d, %r" % (result.returncode, result.stderr))
        if "p01_big.jpg" not in result.stderr or "No space left on device" not in result.stderr:
            fail("full disk: the failing file and the reason are not reported: %r" % result.stderr)
        if not os.path.exists(os.path.join(inputs, "p01_big.jpg")):
            fail("full disk: the input that did not fit was deleted")
        original = dict(setup.original)
        check("full", inputs, outputs, setup.reference, original, 0)
        for name in ("p00.jpg", "p01.jpg", "p02.jpg"):
            if os.path.exists(os.path.join(inputs, name)):
                fail("full disk: the small file %s that fitted was not converted" % name)
    finally:
        subprocess.run(["umount", outputs])
    print("full disk: the file that did not fit failed with its reason, the rest went on")


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    part, program, workdir = sys.argv[1:]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    {"kill": run_kill, "interrupt": run_interrupt, "special": run_special,
     "full-disk": run_full_disk}[part](program, workdir)
    shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
