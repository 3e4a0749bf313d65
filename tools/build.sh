#!/usr/bin/env bash
# Builds the plug-ins and the host into out/, then runs each plug-in in the host and
# saves a short animation of it beside it (out/<plug-in>.gif).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$root/tools/install-deps.sh"
build_win32
rm -rf "$root/out"
cmake --install "$root/build/win32" --prefix "$root/out" >/dev/null

start_wine
cd "$root/out"
for plugin in *.zvx; do
  # A fixed tick makes the animation the same, byte for byte, on every run.
  "$root/tools/wine.sh" zvxhost.exe render "$plugin" --size 320x240 --frames 60 --tick 20261211 \
    --gif "${plugin%.zvx}.gif"
done
ls -l "$root/out"
