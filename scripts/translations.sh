#!/usr/bin/env bash
# The window's translations (translations/xmca_<lang>.ts, English the source language).
#   scripts/translations.sh update   re-reads every tr()/.ui text under src/ into the .ts
#                                    files: new texts come in unfinished, texts no longer in
#                                    the sources are dropped. Then translate the unfinished
#                                    ones (e.g. with linguist) and run `check`.
#   scripts/translations.sh check    fails when a .ts lacks a text of the sources, or holds
#                                    an unfinished, empty or obsolete message. Changes nothing.
# lupdate is taken from $LUPDATE, else the PATH, else Qt's host binaries.
set -euo pipefail
cd "$(dirname "$0")/.."

lupdate="${LUPDATE:-}"
if [ -z "$lupdate" ]; then
  if command -v lupdate >/dev/null 2>&1; then lupdate=lupdate
  elif [ -x /usr/lib/qt6/bin/lupdate ]; then lupdate=/usr/lib/qt6/bin/lupdate
  elif command -v qtpaths6 >/dev/null 2>&1; then lupdate="$(qtpaths6 --query QT_HOST_BINS)/lupdate"
  else echo "translations.sh: lupdate not found (Debian: qt6-l10n-tools)" >&2; exit 2
  fi
fi

# No source locations in the .ts: line numbers would change with every edit and turn
# each merge into a conflict.
run_lupdate() {  # <ts file> <lang> [extra options]
  local ts=$1 lang=$2; shift 2
  "$lupdate" -silent -recursive src -extensions cpp,h,ui -locations none \
    -source-language en -target-language "$lang" "$@" -ts "$ts"
}

case "${1:-}" in
  update)
    for ts in translations/xmca_*.ts; do
      lang=$(basename "$ts" .ts); lang=${lang#xmca_}
      # A text that moved to another class keeps its translation: read without
      # dropping the old one, carry it across, then drop what is gone.
      run_lupdate "$ts" "$lang"
      if command -v python3 >/dev/null 2>&1; then python3 scripts/ts_carry.py "$ts"; fi
      run_lupdate "$ts" "$lang" -no-obsolete
      echo "$ts: $(grep -c 'type="unfinished"' "$ts" || true) unfinished"
    done
    ;;
  check)
    tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
    status=0
    for ts in translations/xmca_*.ts; do
      lang=$(basename "$ts" .ts); lang=${lang#xmca_}
      cp "$ts" "$tmp/"
      run_lupdate "$tmp/$(basename "$ts")" "$lang"
      # Each fault with the English source text it belongs to.
      bad=$(awk '
        /<source>/ { src = $0; sub(/.*<source>/, "", src); sub(/<\/source>.*/, "", src) }
        /<translation[^>]*type="unfinished"/ { print "unfinished: " src }
        /<translation[^>]*type="(vanished|obsolete)"/ { print "obsolete:   " src }
        /<translation>[[:space:]]*<\/translation>|<translation\/>/ { print "empty:      " src }
      ' "$tmp/$(basename "$ts")")
      if [ -n "$bad" ]; then
        echo "$ts: messages to translate or remove (run scripts/translations.sh update, then translate):" >&2
        echo "$bad" >&2
        status=1
      else
        echo "$ts: complete"
      fi
    done
    exit $status
    ;;
  *)
    echo "usage: scripts/translations.sh update|check" >&2
    exit 2
    ;;
esac
