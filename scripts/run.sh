#!/usr/bin/env bash
# Starts the application, or explains how to when there is no display.
set -euo pipefail
binary="$1"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."
  echo "Zandrel is a desktop application. To start it anyway on a virtual display:"
  echo "  xvfb-run -a $binary"
  echo "or, without any window system:"
  echo "  QT_QPA_PLATFORM=offscreen $binary"
  exit 1
fi
exec "$binary"
