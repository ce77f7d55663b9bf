#!/bin/sh
# language_to_utf8.sh IN OUT: a language file as UTF-8 with its byte-order
# mark (the reader takes both forms). A file that already starts with the
# mark is copied; any other is Windows-1252.
set -eu
if [ "$(head -c 3 "$1" | od -An -tx1 | tr -d ' \n')" = "efbbbf" ]; then
  cp "$1" "$2"
else
  { printf '\357\273\277'; iconv -f WINDOWS-1252 -t UTF-8 "$1"; } > "$2.part"
  mv "$2.part" "$2"
fi
