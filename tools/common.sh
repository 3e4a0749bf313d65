# Shared by build.sh and test.sh: set-up and the cross build.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

build_win32() {
  cmake -S "$root" -B "$root/build/win32" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
  cmake --build "$root/build/win32" -j "$jobs"
}

# Keeps one wineserver for the whole run, and ends it however the script ends.
start_wine() {
  "$root/tools/wine.sh" --server-start
  trap '"$root/tools/wine.sh" --server-stop' EXIT
}

# The fuzz targets: a native clang build of their own.
build_fuzz() {
  cmake -S "$root/tests/fuzz" -B "$root/build/fuzz" -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
    cmake --build "$root/build/fuzz" -j "$jobs"
}
