#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds and runs a C program
# with pkg-config and a C++ program with find_package against that copy.
# Usage: check_install.sh BUILD_DIR SONG
set -euo pipefail
build=$1
song=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name orlix.pc)")/..
for f in liborlix.so liborlix.so.1 bin/orlix include/orlix/orlix.h include/orlix/tolvenar.h; do
  if ! find "$prefix" -path "*$f" | grep -q .; then echo "install lacks $f" >&2; exit 1; fi
done

export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -Wall -Werror -o "$work/hello_c" "$here/hello_orlix.c" $(pkg-config --cflags --libs orlix) \
  -Wl,-rpath,"$(pkg-config --variable=libdir orlix)"
"$work/hello_c" "$song"

cmake -S "$here/cxx" -B "$work/cxx" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cxx" >/dev/null
"$work/cxx/hello_orlix" "$song"
echo "install check passed"
