#!/usr/bin/env bash
# Builds the plug-ins and the host into out/, then runs each plug-in in the host and
# saves a picture of it beside it (out/<plug-in>.png).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$root/tools/install-deps.sh"
build_win32
rm -rf "$root/out"
cmake --install "$root/build/win32" --prefix "$root/out" >/dev/null

start_wine
cd "$root/out"
for plugin in *.zvx; do
  # A fixed tick makes the picture the same on every run.
  "$root/tools/wine.sh" zvxhost.exe render "$plugin" --size 640x480 --frames 90 --tick 20261211 \
    --out "${plugin%.zvx}.png"
done
ls -l "$root/out"
