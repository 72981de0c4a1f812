#!/usr/bin/env bash
# Draws the contact sheet of placeholder icons (a document, an image and a
# folder; no progress and 0 to 100 %) with shellhost and the built DLL.
#   tools/shellhost/placeholder-sheet.sh [BUILD_DIR] [OUTPUT_PNG]
# Runs in a Wine prefix of its own that reports Windows 10: Wine 8 reports
# Windows 7 by default, where the large folder comes from the stock folder
# icon, and Wine's stock icon answer names its generic file icon instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$root/build/x64}" && pwd)"
output="${2:-$root/docs/placeholder-icons.png}"
wine=/usr/lib/wine/wine64

export WINEPREFIX="$build/wineprefix-sheet"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 "$wine" wineboot --init </dev/null >/dev/null 2>&1 || true
  timeout 60 wineserver -w </dev/null >/dev/null 2>&1 || true
fi
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'timeout 30 wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
timeout 60 "$wine" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f </dev/null >/dev/null 2>&1

# Wine keeps the stream "name" of a file as a file literally named
# "file:name" beside it, so the records are written from here.
sheet="$WINEPREFIX/drive_c/placeholder-sheet"
rm -rf "$sheet"
mkdir -p "$sheet/Sync/.sync"
: >"$sheet/Sync/.sync/ID"
printf 'd4:modei1ee' >"$sheet/Sync/.sync/ID:com.tamvera.Sync"

paths=()
for item in "report.docx:1" "photo.jpg:1" "Albums:2"; do
  name="${item%%:*}" type="${item##*:}"
  for step in none 0 25 50 75 100; do
    if [ "$step" = none ]; then label="no progress"; record="d8:kvx_typei${type}ee"
    else label="$step %"; record="d10:kvx_statusi${step}e8:kvx_typei${type}ee"; fi
    stem="${name%%.*}" extension="${name#"$stem"}"
    file="$stem, $label$extension.tmvs"
    : >"$sheet/Sync/$file"
    printf '%s' "$record" >"$sheet/Sync/$file:com.tamvera.Sync"
    paths+=("C:\\placeholder-sheet\\Sync\\$file")
  done
done

timeout 300 "$wine" "$build/bin/shellhost.exe" icon "${paths[@]}" --size both \
  --out 'C:\placeholder-sheet\icons' --sheet 'C:\placeholder-sheet\sheet.png' --columns 6 \
  --dll "$(WINEPREFIX="$WINEPREFIX" winepath -w "$build/bin/SyncShellContextMenu.dll" 2>/dev/null)" \
  </dev/null >"$sheet/shellhost.log" 2>&1 || { cat "$sheet/shellhost.log" >&2; exit 1; }
mkdir -p "$(dirname "$output")"
cp "$sheet/sheet.png" "$output"
echo "$output"
