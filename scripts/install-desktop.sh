#!/usr/bin/env bash
# Adds Zandrel to the user's applications menu: the desktop entry (which also makes Zandrel the
# handler of "zdltp" links), the icon and the file types of comics and parts files.
# Usage: scripts/install-desktop.sh PATH/TO/zandrel ICON_DIR
#   ICON_DIR holds the rendered icon (build/src/interface/images).
# Installs under $XDG_DATA_HOME (default ~/.local/share); nothing outside it is touched.
set -euo pipefail
binary="$(readlink -f "$1")"
icons="$2"
here="$(cd "$(dirname "$0")/.." && pwd)"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
id=org.zandrel.Zandrel

mkdir -p "$data/applications" "$data/mime/packages" \
         "$data/icons/hicolor/128x128/apps" "$data/icons/hicolor/256x256/apps"
# The entry starts this very program, wherever it was built.
sed "s|^Exec=zandrel |Exec=\"$binary\" |" "$here/resources/desktop/$id.desktop" > "$data/applications/$id.desktop"
cp "$here/resources/desktop/$id.xml" "$data/mime/packages/$id.xml"
cp "$icons/zandrel.png" "$data/icons/hicolor/128x128/apps/$id.png"
cp "$icons/zandrel@2x.png" "$data/icons/hicolor/256x256/apps/$id.png"

# The desktop's caches, where its tools are installed.
if command -v update-mime-database > /dev/null; then update-mime-database "$data/mime" > /dev/null 2>&1 || true; fi
if command -v update-desktop-database > /dev/null; then update-desktop-database "$data/applications" > /dev/null 2>&1 || true; fi
if command -v xdg-mime > /dev/null; then
  XDG_DATA_HOME="$data" xdg-mime default "$id.desktop" x-scheme-handler/zdltp \
    application/x-zandrel-comic application/x-zandrel-parts > /dev/null 2>&1 || true
fi
echo "Installed Zandrel for $(id -un) under $data"
