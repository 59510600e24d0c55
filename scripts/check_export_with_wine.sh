#!/usr/bin/env bash
# The preset export read by the Windows registry editor: saves two presets in
# Keenwright HD's dialog (one name holding a quote and a backslash), exports
# them, imports the file with Wine's regedit and compares what `reg query`
# reads back with the exported bytes. Skipped when Wine is not installed.
#   bash scripts/check_export_with_wine.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
if ! command -v wine >/dev/null; then echo "wine is not installed: skipped"; exit 0; fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUILLMERE_REGISTRY="$work/registry" QUILLMERE_SHARED_DATA="$work/shared"

cat > "$work/script.txt" <<SCRIPT
select 1033 "Hdry"
select 1033 "SAVE USER PRESET"
type 2000 "Soft \\"q\\" \\\\ x"
key enter
select 1033 "Landscape"
select 1033 "SAVE USER PRESET"
type 2000 "Plain"
key enter
select 1033 "SAVE USER PRESET"
click left 10 10
choose "$work/presets.reg"
key escape
SCRIPT
"$build/quillmere" apply "Keenwright HD" "$here/samples/seeding.jpg" -o "$work/out.png" \
    --dialog --ui-script "$work/script.txt" >/dev/null 2>&1 || true
[ -s "$work/presets.reg" ] || { echo "no export was written"; exit 1; }

export WINEPREFIX="$work/wine" WINEDEBUG=-all
wine regedit /S "$work/presets.reg" >/dev/null 2>&1
wine reg query 'HKCU\Software\Quillmere\KeenwrightHD' > "$work/query.txt" 2>/dev/null

python3 - "$work/presets.reg" "$work/query.txt" <<'PY'
import re, sys
exported = {}
for line in open(sys.argv[1], encoding="latin-1", newline="").read().split("\r\n"):
    m = re.match(r'^"((?:[^"\\]|\\.)*)"=hex:([0-9a-f,]+)$', line)
    if m:
        name = re.sub(r'\\(.)', r'\1', m.group(1))
        exported[name] = m.group(2).replace(",", "").upper()
read = {}
for line in open(sys.argv[2], encoding="latin-1"):
    m = re.match(r'^    (.*?)    REG_BINARY    ([0-9A-F]*)\s*$', line.rstrip("\r\n"))
    if m:
        read[m.group(1)] = m.group(2)
ok = bool(exported) and exported == read
for name in sorted(set(exported) | set(read)):
    print(("same " if exported.get(name) == read.get(name) else "DIFFERENT ") + repr(name))
print("regedit read back every exported value byte for byte" if ok else "MISMATCH")
sys.exit(0 if ok else 1)
PY
