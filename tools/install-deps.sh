#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only where missing;
# packages named on the command line are added to them (tools/bench.sh names its own).
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for p in cmake make g++ googletest libgtest-dev \
         g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
         wine wine32:i386 wine64 qemu-user-static libstb-dev locales \
         clang libclang-rt-14-dev "$@"; do
  have "$p" || need+=("$p")
done

[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${need[*]} (run as root to install them)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
