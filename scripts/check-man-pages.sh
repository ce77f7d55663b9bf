#!/bin/sh
# Every option and command a program's --help names is in its manual page.
# Usage: check-man-pages.sh MANDIR PROGRAM... (each PROGRAM's page is NAME.1)
set -u
mandir=$1; shift
missing=0
for program in "$@"; do
  name=$(basename "$program")
  page="$mandir/$name.1"
  # troff writes a hyphen as \-; compare the page with its escapes taken out.
  text=$(sed 's/\\-/-/g' "$page")
  help=$(QT_QPA_PLATFORM=offscreen "$program" --help 2>&1)
  words=$(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z-]*' | sort -u)
  if [ "$name" = rkt410-cli ]; then
    words="$words $(printf '%s\n' "$help" | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p; s/^  \([a-z][a-z]*\)$/\1/p')"
  fi
  for word in $words; do
    case "$word" in --help-all) continue ;; esac
    if ! printf '%s\n' "$text" | grep -qF -- "$word"; then
      echo "$page does not mention $word"
      missing=1
    fi
  done
done
exit $missing
