#!/usr/bin/env bash
# Installs the library into a fresh prefix, then builds and runs an outside
# client against that tree, once through pkg-config and once through CMake.
set -euo pipefail
cmake=$1 build=$2 client=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

for component in runtime development; do
  "$cmake" --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
for f in lib/libbrimtally.so lib/libbrimtally.so.1 lib/libbrimtally.so.1.0.0 include/brimtally.h \
  lib/pkgconfig/brimtally.pc lib/cmake/brimtally/brimtallyConfig.cmake; do
  [[ -e $prefix/$f ]] || { echo "not installed: $f"; exit 1; }
done

# The client must run against the installed copy, not the build tree's.
uses_installed() {
  # grep reads everything (no -q), so ldd never dies of SIGPIPE under pipefail.
  ldd "$1" | grep -F "=> $prefix/lib/libbrimtally.so.1 " >/dev/null ||
    { echo "$1 does not load the installed library"; ldd "$1"; exit 1; }
}

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
cc -std=c11 -Wall -Wextra -Werror $(pkg-config --cflags brimtally) "$client/client.c" \
  $(pkg-config --libs brimtally) -Wl,-rpath,"$prefix/lib" -o "$work/client-pc"
uses_installed "$work/client-pc"
"$work/client-pc"

"$cmake" -S "$client" -B "$work/client-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
"$cmake" --build "$work/client-build" >/dev/null
uses_installed "$work/client-build/client"
"$work/client-build/client"
