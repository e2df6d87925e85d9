#!/usr/bin/env python3
"""Writes the manual page pixlane(1) from the program's own `--help` text, so
that the page lists exactly the options the program takes.

  make_manpage.py VERSION < help.txt > pixlane.1

The help text is read as it stands: the "usage:" lines become the synopsis,
the first paragraph the description, each "heading:" line a subsection of
OPTIONS with one entry per option line (continuation lines join the entry
above), and the closing "Exit status:" paragraph its own section. Anything
that is not ASCII is written as a groff Unicode escape, so the page needs no
input-encoding guess.
"""
import re
import sys

FILES = [
    ("Pixlane.ini", "beside the program: the settings file, when it is there."),
    ("$XDG_CONFIG_HOME/Pixlane/Pixlane.ini",
     "(~/.config/Pixlane/Pixlane.ini) otherwise. Read at start, written only "
     "with --save-settings; the same file works with the Windows program."),
]


def escape(text, option=False):
    out = []
    for ch in text:
        if ch == "\\":
            out.append("\\e")
        elif ch == "-" and option:
            out.append("\\-")
        elif ord(ch) > 127:
            out.append("\\[u%04X]" % ord(ch))
        else:
            out.append(ch)
    line = "".join(out)
    # A line starting with a control character would be read as a request.
    if line.startswith((".", "'")):
        line = "\\&" + line
    return line


def option_term(term):
    """Options and the program name in bold, arguments in italics:
    "-o, --output DIR", "pixlane [--ini FILE]"."""
    parts = []
    for token in re.split(r"(\s+)", term):
        if not token or token.isspace():
            parts.append(token)
            continue
        lead, core, tail = re.match(r"^([\[(]*)(.*?)([\]),]*)$", token).groups()
        if re.match(r"^--?[A-Za-z]", core) or core == "pixlane":
            core = "\\fB%s\\fR" % escape(core, True)
        elif core:
            core = "\\fI%s\\fR" % escape(core, True)
        parts.append(lead + core + tail)
    return "".join(parts)


def main():
    version = sys.argv[1]
    lines = sys.stdin.read().splitlines()
    out = ['.TH PIXLANE 1 "" "pixlane %s" "User Commands"' % escape(version),
           ".SH NAME",
           "pixlane \\- batch image converter",
           ".SH SYNOPSIS"]
    i = 0
    synopsis = []
    while i < len(lines) and lines[i].strip():
        synopsis.append(re.sub(r"^(usage:)?\s*", "", lines[i]))
        i += 1
    for entry in synopsis:
        usage = re.split(r"\s{2,}", entry.strip())[0]
        out += [".PP", option_term(usage)]
    out.append(".SH DESCRIPTION")
    section_open = False
    paragraph = []

    def flush_paragraph():
        if paragraph:
            out.append(".PP")
            out.extend(escape(p) for p in paragraph)
            paragraph.clear()

    for line in lines[i:]:
        if not line.strip():
            flush_paragraph()
            continue
        if line.startswith("Exit status:"):
            flush_paragraph()
            out.append(".SH EXIT STATUS")
            paragraph.append(line[len("Exit status:"):].strip())
            continue
        heading = re.match(r"^(\S.*):$", line)
        if heading:
            flush_paragraph()
            if not section_open:
                out.append(".SH OPTIONS")
                section_open = True
            out.append(".SS " + escape(heading.group(1).capitalize()))
            continue
        entry = re.match(r"^  (-\S.*)$", line)
        if entry:
            flush_paragraph()
            if not section_open:
                out.append(".SH OPTIONS")
                section_open = True
            term, _, text = entry.group(1).partition("  ")
            out += [".TP", option_term(term.strip())]
            if text.strip():
                out.append(escape(text.strip()))
            continue
        if line.startswith("   ") and out and not paragraph:
            # Continuation of the option entry above.
            out.append(escape(line.strip()))
            continue
        paragraph.append(line.strip())
    flush_paragraph()
    out.append(".SH FILES")
    for name, text in FILES:
        out += [".TP", "\\fI%s\\fR" % escape(name, True), escape(text)]
    out += [
            ".SH SEE ALSO",
            ".PP",
            "The HTML help in /usr/share/doc/pixlane/help/ (in Japanese)."]
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
