#!/usr/bin/env python3
"""Writes the bash completion of `pixlane` from the program's own `--help`
text, so that every option it lists completes, with its values where the
help gives them as a list ("--format bmp|png|jpeg|tiff|gif"), folders after
options taking a DIR, files after a FILE.

  make_completion.py < help.txt > pixlane

The script uses plain bash (compgen), not bash-completion's helpers, and
reads the current word from COMP_LINE so that values with colons ("4:2:0")
complete although bash splits words at ":".
"""
import re
import sys

OPTION = re.compile(
    r"(?<![\w-])(--?[A-Za-z][\w-]*)"
    r"(?:[ =]([A-Z][A-Z_=]*\b|[\w:.]+(?:\|[\w:.]+)+))?")


def main():
    text = sys.stdin.read()
    options = {}   # name -> argument ("" for none, "DIR", "a|b|c", ...)
    for name, argument in OPTION.findall(text):
        if name not in options or (argument and not options[name]):
            options[name] = argument or ""
    # "-o, --output DIR": the short form takes what the long one does.
    for short, long_ in re.findall(r"(?<![\w-])(-[A-Za-z]), (--[\w-]+)", text):
        options[short] = options.get(long_, "")

    cases = []
    by_kind = {}
    for name, argument in sorted(options.items()):
        if "|" in argument:
            words = " ".join(argument.split("|"))
            cases.append("    %s) words='%s' ;;" % (name, words))
        elif argument == "DIR":
            by_kind.setdefault("dirs", []).append(name)
        elif argument == "FILE":
            by_kind.setdefault("files", []).append(name)
        elif argument:
            by_kind.setdefault("free", []).append(name)
    if "dirs" in by_kind:
        cases.append("    %s) COMPREPLY=($(compgen -d -- \"$cur\")); return ;;" % "|".join(by_kind["dirs"]))
    if "files" in by_kind:
        cases.append("    %s) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;" % "|".join(by_kind["files"]))
    if "free" in by_kind:
        cases.append("    %s) COMPREPLY=(); return ;;" % "|".join(by_kind["free"]))

    sys.stdout.write("""# bash completion for pixlane, generated from `pixlane --help`.
_pixlane() {
  local line=${COMP_LINE:0:COMP_POINT} cur= prev= words=
  local -a parts
  read -r -a parts <<<"$line"
  if [[ $line == *[[:space:]] ]]; then
    prev=${parts[${#parts[@]}-1]:-}
  else
    cur=${parts[${#parts[@]}-1]:-}
    ((${#parts[@]} > 1)) && prev=${parts[${#parts[@]}-2]}
  fi
  case $prev in
%s
  esac
  if [[ -n $words ]]; then
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
  elif [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '%s' -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
    return
  fi
  # Bash takes ":" as a word break: offer only what follows the last one.
  if [[ $cur == *:* && $COMP_WORDBREAKS == *:* ]]; then
    local i colon_prefix=${cur%%"${cur##*:}"}
    for i in "${!COMPREPLY[@]}"; do COMPREPLY[i]=${COMPREPLY[i]#"$colon_prefix"}; done
  fi
}
complete -o filenames -o bashdefault -F _pixlane pixlane
""" % ("\n".join(cases), " ".join(sorted(options))))


if __name__ == "__main__":
    main()
