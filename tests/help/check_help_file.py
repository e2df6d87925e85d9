#!/usr/bin/env python3
"""Checks the built help file with chmls (fp-utils): every context number
the program opens (2, 14, 16, 18, 20, 22) is mapped to the topic the help
project names for it and that topic is in the file; every topic page is in
the contents and every contents or index entry exists; the pages, contents,
title and language are Shift-JIS (CP932) for Japanese (0x411).

Usage: check_help_file.py HELP.chm DOCS_HELP_DIR [BUILD_HELP_SCRIPT]
With the build script, a file compiled by plain chmcmd (outside its own
root directory) is checked too and must be rejected for its context map:
that is the fault the build works around, and it shows this check sees it.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

# The program's table (HelpContextForTab): the overview and one per tab.
PROGRAM_CONTEXTS = {2, 14, 16, 18, 20, 22}


def run(*args, cwd=None):
    return subprocess.run(args, cwd=cwd, check=True, capture_output=True).stdout


def extract(chm, name, work):
    target = os.path.join(work, "extracted")
    if os.path.exists(target):
        os.remove(target)
    run("chmls", "extract", chm, name, target)
    if not os.path.exists(target):
        return None
    with open(target, "rb") as f:
        return f.read()


def sitemap_locals(data):
    text = data.decode("cp932")
    return re.findall(r'<param name="Local" value="([^"]*)">', text, re.IGNORECASE)


def expected_map(source_dir):
    """{context: "/page"} from the project's [ALIAS] and the #define file."""
    with open(os.path.join(source_dir, "pixlane_help.hhp"), encoding="utf-8") as f:
        project = f.read()
    alias = dict(re.findall(r"^(IDH_\w+)=(\S+)$", project, re.MULTILINE))
    include = re.search(r"^#include (\S+)$", project, re.MULTILINE).group(1)
    with open(os.path.join(source_dir, include), encoding="utf-8") as f:
        numbers = dict(re.findall(r"^#define (IDH_\w+) (\d+)$", f.read(), re.MULTILINE))
    return {int(number): "/" + alias[name] for name, number in numbers.items()}


def source_title(source_dir, page):
    with open(os.path.join(source_dir, page), encoding="utf-8") as f:
        return re.search(r"<title>(.*?)</title>", f.read()).group(1)


def check(chm, source_dir):
    """Returns the list of faults found in the help file."""
    if not os.path.isfile(chm):
        return [f"{chm} does not exist"]
    faults = []
    work = tempfile.mkdtemp(prefix="check-help-")
    try:
        names = {line.strip() for line in run("chmls", "-n", "list", chm).decode("latin-1").splitlines()
                 if line.strip().startswith("/")}
        pages = {name for name in names if name.endswith(".htm")}

        # The context map: #IVB holds the byte count, then pairs of context
        # number and offset of the target's name in #STRINGS.
        ivb = extract(chm, "/#IVB", work)
        strings = extract(chm, "/#STRINGS", work)
        if ivb is None or strings is None:
            return ["no context map (#IVB, #STRINGS)"]
        (size,) = struct.unpack_from("<I", ivb, 0)
        mapped = {}
        for offset in range(4, 4 + size, 8):
            context, at = struct.unpack_from("<II", ivb, offset)
            mapped[context] = strings[at:strings.index(b"\0", at)].decode("cp932")
        if set(mapped) != PROGRAM_CONTEXTS:
            faults.append(f"mapped contexts {sorted(mapped)}, the program opens {sorted(PROGRAM_CONTEXTS)}")
        wanted = expected_map(source_dir)
        for context in sorted(PROGRAM_CONTEXTS):
            target = mapped.get(context)
            if target != wanted.get(context):
                faults.append(f"context {context} leads to {target!r}, not {wanted.get(context)!r}")
            elif target not in pages:
                faults.append(f"context {context} leads to {target}, which is not in the file")

        # Contents and index.
        system = extract(chm, "/#SYSTEM", work)
        entries = {}
        at = 4
        while at + 4 <= len(system):
            code, length = struct.unpack_from("<HH", system, at)
            entries[code] = system[at + 4:at + 4 + length]
            at += 4 + length
        contents_name = "/" + entries.get(0, b"").rstrip(b"\0").decode("ascii")
        index_name = "/" + entries.get(1, b"").rstrip(b"\0").decode("ascii")
        contents = extract(chm, contents_name, work)
        index = extract(chm, index_name, work)
        if contents is None or index is None:
            return faults + [f"contents {contents_name} or index {index_name} missing"]
        listed = {"/" + local for local in sitemap_locals(contents)}
        for page in sorted(pages - listed):
            faults.append(f"topic {page} is not in the contents")
        for local in sorted(listed - pages):
            faults.append(f"contents entry {local} is not in the file")
        for local in sorted({"/" + local for local in sitemap_locals(index)} - pages):
            faults.append(f"index entry {local} is not in the file")

        # Language and text encoding.
        lcid = struct.unpack_from("<I", entries.get(4, b"\0\0\0\0"), 0)[0]
        if lcid != 0x411:
            faults.append(f"language {lcid:#x}, not 0x411")
        title = entries.get(3, b"").rstrip(b"\0")
        if title.decode("cp932", errors="replace") != "Pixlane ヘルプ":
            faults.append(f"title {title!r} is not Pixlane ヘルプ in CP932")
        for page in sorted(pages):
            data = extract(chm, page, work)
            try:
                text = data.decode("cp932")
            except UnicodeDecodeError:
                faults.append(f"{page} is not CP932 text")
                continue
            if "charset=Shift_JIS" not in text:
                faults.append(f"{page} does not declare charset=Shift_JIS")
            found = re.search(r"<title>(.*?)</title>", text)
            if not found or found.group(1) != source_title(source_dir, page[1:]):
                faults.append(f"{page}: title differs from its source page")
    finally:
        shutil.rmtree(work)
    return faults


def plain_chmcmd_build(build_script, work):
    """The project compiled by chmcmd in an ordinary folder."""
    stage = os.path.join(work, "stage")
    run(build_script, "--stage-only", stage)
    run("chmcmd", "pixlane_help.hhp", cwd=stage)
    return os.path.join(stage, "Pixlane.chm")


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    chm, source_dir = sys.argv[1], sys.argv[2]
    faults = check(chm, source_dir)
    for fault in faults:
        print("FAIL", fault)
    if not faults:
        print(f"ok: {chm}: contexts {sorted(PROGRAM_CONTEXTS)} lead to their topics; contents, index and "
              "encoding complete")
    if len(sys.argv) == 4:
        work = tempfile.mkdtemp(prefix="plain-chmcmd-")
        try:
            plain = check(plain_chmcmd_build(sys.argv[3], work), source_dir)
        finally:
            shutil.rmtree(work)
        if any(fault.startswith("context ") for fault in plain):
            print("ok: a plain chmcmd build is rejected for its context map:", plain[0])
        else:
            print("note: plain chmcmd now maps the contexts correctly; the build's own root directory may no "
                  "longer be needed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
