#!/usr/bin/env bash
# Screenshots of the dialogs for the README, made headless on the bundled
# photograph: bash scripts/dialog_screenshots.sh [BUILD_DIR] (after a build).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUILLMERE_REGISTRY="$work/registry" QUILLMERE_SHARED_DATA="$work/shared"

shoot() {  # plug-in, script, then the marks to keep as docs/NAME.png
    local plugin="$1" script="$2"
    shift 2
    printf '%b' "$script" > "$work/script.txt"
    "$build/quillmere" apply "$plugin" "$here/samples/seeding.jpg" -o "$work/out.png" \
        --dialog --ui-script "$work/script.txt" --screenshot "$work" >/dev/null 2>&1 || true
    for mark in "$@"; do cp "$work/$mark.png" "$here/docs/$mark.png"; done
}

shoot "Keenwright" 'idle\nmark keenwright-dialog window\nkey escape\n' keenwright-dialog
shoot "Keenwright HD" 'idle\nmark keenwrighthd-dialog window\nselect 1033 "SAVE USER PRESET"\ntype 2000 "Soft portrait"\nmark preset-dialog window\nkey escape\nkey escape\n' \
    keenwrighthd-dialog preset-dialog
shoot "Lumivex" 'select 1033 "Beetle"\nidle\nmark lumivex-dialog window\nkey escape\n' lumivex-dialog
shoot "Plaitwork 2000" 'idle\nmark plaitwork-dialog window\nkey escape\n' plaitwork-dialog
# The preview, the pattern viewer (pointer over "Pasta") and its editor.
shoot "Marbleloom 3D" 'idle\nmark marbleloom-dialog window\nclick left 618 283\nmove 150 100\nidle\nmark marbleloom-viewer window\nclick right 150 100\nidle\nmark marbleloom-editor window\nkey escape\nkey escape\n' \
    marbleloom-dialog marbleloom-viewer marbleloom-editor
echo "written: docs/marbleloom-dialog.png docs/marbleloom-viewer.png docs/marbleloom-editor.png docs/plaitwork-dialog.png docs/keenwright-dialog.png docs/keenwrighthd-dialog.png docs/preset-dialog.png docs/lumivex-dialog.png"
