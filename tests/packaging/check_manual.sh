#!/usr/bin/env bash
# The manual page must say what `brindlecot-cli --help` says: every word of the help, in
# the same order, in the page as man renders it. help2man makes headings of the help's
# "Usage:" and "Options:", so words are compared without case or a closing colon, and
# "Usage:" is the page's SYNOPSIS. Usage: check_manual.sh CLI MANUAL.1.gz
set -euo pipefail
cli=$1
manual=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ -f "$manual" ]] || fail "no manual page at $manual"
# man renders ` and ' as typographic quotes and may break words at hyphens: compare the
# words without quotes, in the C locale, on a line too wide to be broken.
words() { tr -d "\`'\"" | tr -s ' \t\n' '\n\n\n' | sed 's/:$//; /^$/d' | tr '[:upper:]' '[:lower:]'; }
help=$("$cli" --help | words | sed '1{/^usage$/d}')
page=$(LC_ALL=C MANWIDTH=1000 man --no-hyphenation --no-justification -l "$manual" 2>/dev/null | col -b | words)
[[ -n "$page" ]] || fail "man rendered nothing from $manual"
# Walk the page once, matching the help's words in order.
missing=$(awk 'NR == FNR { want[++n] = $0; next }
               i < n && $0 == want[i + 1] { i++ }
               END { if (i < n) print "word " i + 1 " of the help, \"" want[i + 1] "\"" }' \
              <(printf '%s\n' "$help") <(printf '%s\n' "$page"))
[[ -z "$missing" ]] || fail "the manual page lacks $missing in its order"
"$cli" --version | grep -qx "brindlecot-cli [0-9][0-9.]*" || fail "--version prints $("$cli" --version)"
footer=$(LC_ALL=C MANWIDTH=1000 man -l "$manual" 2>/dev/null | col -b | tail -n 1)
grep -qF "$("$cli" --version)" <<<"$footer" || fail "the page's footer does not name the version: $footer"
echo "manual page: matches --help"
