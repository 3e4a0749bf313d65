#!/usr/bin/env bash
# The long run: each plug-in for many frames in one process under Wine, at its default
# setting and at its largest, with the process's GDI objects and private bytes sampled.
#
#   tools/soak.sh [FRAMES]     frames per plug-in and setting (default 10000)
#
# Prints one line of figures per run and fails when anything grew after the warm-up.
# tools/test.sh runs the same test with 1000 frames.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

frames=${1:-10000}
"$root/tools/install-deps.sh" || exit 1
build_win32 >/dev/null || exit 1
start_wine
ZVX_SOAK_FRAMES=$frames "$root/tools/wine.sh" "$root/build/win32/bin/soak_wine_test.exe"
