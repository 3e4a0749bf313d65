#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine in the project's own prefix.
#
#   tools/wine.sh PROGRAM.exe [ARGS...]   run a program (the prefix is made on first use)
#   tools/wine.sh --server-start          keep one wineserver alive for a series of runs
#   tools/wine.sh --server-stop           end it
#
# Where the kernel runs 32-bit programs, plain Wine is used. Elsewhere Wine's 32-bit
# loader runs under qemu user-mode emulation (ZVX_WINE_MODE=qemu forces that path).
# ZVX_WINEPREFIX chooses the prefix (default build/wineprefix); ZVX_WINE_DISPLAY=x11
# uses a second prefix that draws windows on $DISPLAY instead of the null driver.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${ZVX_WINE_DISPLAY:-null}" = x11 ]; then
  prefix=${ZVX_WINEPREFIX:-$root/build/wineprefix-x11}
else
  prefix=${ZVX_WINEPREFIX:-$root/build/wineprefix}
  unset DISPLAY
fi
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
# Code page 932, as on the host's Japanese Windows.
unset LC_ALL LC_CTYPE LC_MESSAGES
export LANG=ja_JP.UTF-8
# Wine takes the code page from the C library's locale, which must exist: without it
# Wine falls back to code page 1252. Where ja_JP.UTF-8 is not installed, a private
# copy is compiled into the build tree once (localedef, package "locales").
if ! grep -qix 'ja_JP\.utf-\?8' <<<"$(locale -a 2>/dev/null)"; then
  export LOCPATH=$root/build/locale
  if [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    staging=$(mktemp -d "$LOCPATH/.staging.XXXXXX")
    localedef -i ja_JP -f UTF-8 "$staging/ja_JP.UTF-8" >/dev/null 2>&1 || true
    # Parallel runs may race here; the first complete copy wins.
    [ -f "$staging/ja_JP.UTF-8/LC_CTYPE" ] && mv -T "$staging/ja_JP.UTF-8" "$LOCPATH/ja_JP.UTF-8" 2>/dev/null || true
    rm -rf "$staging"
    [ -d "$LOCPATH/ja_JP.UTF-8" ] || echo "wine.sh: cannot make the ja_JP.UTF-8 locale; Wine uses code page 1252" >&2
  fi
fi

mode=${ZVX_WINE_MODE:-}
if [ -z "$mode" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then mode=plain; else mode=qemu; fi
fi

if [ "$mode" = plain ]; then
  wine=(/usr/lib/wine/wine)
  wineserver=/usr/lib/wine/wineserver
else
  # A private copy of the loader, so that the child processes Wine starts through
  # "wine-preloader" beside it go through qemu as well.
  loaderdir=$root/build/wine-loader/lib/wine
  if [ ! -x "$loaderdir/wine-preloader" ]; then
    mkdir -p "$loaderdir"
    cp /usr/lib/wine/wine "$loaderdir/wine"
    ln -sfn /usr/lib/i386-linux-gnu "$loaderdir/../i386-linux-gnu"
    ln -sfn /usr/share "$loaderdir/../../share"
    cat > "$loaderdir/wine-preloader.tmp" <<'SH'
#!/bin/sh
loader=$1; shift
WINELOADERNOEXEC=1 exec qemu-i386-static -R 0x81000000 "$loader" "$@"
SH
    chmod +x "$loaderdir/wine-preloader.tmp"
    mv "$loaderdir/wine-preloader.tmp" "$loaderdir/wine-preloader"
  fi
  export WINELOADERNOEXEC=1
  wineserver=/usr/lib/wine/wineserver64
  export WINESERVER=$wineserver
  wine=(qemu-i386-static -R 0x81000000 "$loaderdir/wine")
fi

make_prefix() {
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.zvx-ready-2" ]; then
    rm -rf "$prefix"
    "${wine[@]}" wineboot --init >/dev/null 2>&1 || true
    if [ "${ZVX_WINE_DISPLAY:-null}" != x11 ]; then
      # No X server needed: windows and dialogs still work on the null driver.
      "${wine[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    fi
    # A crashing program ends at once instead of waiting in Wine's debugger.
    "${wine[@]}" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /d '' /f >/dev/null 2>&1
    "$wineserver" -w
    [ -f "$prefix/system.reg" ] || { echo "wine.sh: could not create the prefix $prefix" >&2; exit 1; }
    touch "$prefix/.zvx-ready-2"
  fi
  flock -u 9
}

case "${1:-}" in
  --server-start)
    make_prefix
    "$wineserver" -p || true  # already running is fine
    # Wine's background services start with the first program and keep its output
    # open; let them start here, so that the programs run later end cleanly.
    "${wine[@]}" cmd /c exit >/dev/null 2>&1 </dev/null || true
    ;;
  --server-stop)  "$wineserver" -k 2>/dev/null || true ;;
  "" )            echo "usage: tools/wine.sh PROGRAM [ARGS...] | --server-start | --server-stop" >&2; exit 2 ;;
  * )             make_prefix; exec "${wine[@]}" "$@" ;;
esac
