#!/usr/bin/env bash
# Checks the manual pages of the programs: each reads without a warning the way lintian reads it, and names every
# option (and command) that its program's --help names, and no other.
#   tests/packaging/manpages.sh MANDIR PROGRAM...      (the page of PROGRAM is MANDIR/<name of PROGRAM>.1)
set -uo pipefail
mandir=$1
shift
failed=0
fail() {
  echo "$page: $*" >&2
  failed=1
}
# The options a text names, one a line, sorted; roff's \- is a plain hyphen there.
options() { sed 's/\\-/-/g' | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
# The sections of a page that state the program's own options and commands (the description may quote another's).
own_sections() { awk '/^\.SH/ { own = ($2 == "SYNOPSIS" || $2 == "OPTIONS" || $2 == "COMMANDS") } own' "$1"; }
differ() { comm -3 <(sort -u <<<"$1") <(sort -u <<<"$2") | sed 's/^\t/    in the page only: /; t; s/^/    in --help only: /'; }

for program in "$@"; do
  name=$(basename "$program")
  page=$mandir/$name.1
  [ -f "$page" ] || { fail "missing"; continue; }

  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man reports: $warnings"

  # --help, or the usage a program prints for an option it does not know.
  help=$("$program" --help 2>&1)
  [ -n "$help" ] || fail "$program --help printed nothing"
  # Every program takes --help, whether or not its usage says so.
  help_options=$( (options <<<"$help"; echo --help) | sort -u)
  page_options=$( (own_sections "$page" | options; grep -q -- '--help' <<<"$help" || echo --help) | sort -u)
  if [ "$help_options" != "$page_options" ]; then
    fail "options differ from $name --help:"
    differ "$help_options" "$page_options" >&2
  fi

  # A program with commands lists them under "commands:"; the page under COMMANDS, each in bold.
  help_commands=$(sed -n '/^commands:/,$p' <<<"$help" | sed 1d | awk '{print $1}' | sort -u)
  if [ -n "$help_commands" ]; then
    page_commands=$(own_sections "$page" | sed -n '/^\.SH COMMANDS/,$p' | sed 's/\\-/-/g' |
      grep -oE '^\.BI? [a-z][a-z-]*|\\fB[a-z][a-z-]*\\fR' | sed -E 's/^\.BI? //; s/^\\fB//; s/\\fR$//' |
      grep -v -- '^-' | sort -u)
    if [ "$help_commands" != "$page_commands" ]; then
      fail "commands differ from $name --help:"
      differ "$help_commands" "$page_commands" >&2
    fi
  fi
done
exit "$failed"
