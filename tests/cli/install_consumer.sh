#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds and runs a
# small program against the installed library twice: found with
# find_package(vintutil) and with pkg-config. The installed vintutil program
# must run too.
#   install_consumer.sh BUILD_DIR CONSUMER_SOURCE_DIR
set -euo pipefail
build=$1
consumer=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
export VINTUTIL_REGISTRY=$work/registry
mkdir -p "$VINTUTIL_REGISTRY"

cmake --install "$build" --prefix "$prefix" >/dev/null

for header in vintutil/VarnoRegInit.h vintutil/varnoerr.h vintutil/port/windows.h vintutil/port/afx.h; do
  test -f "$prefix/include/$header" || { echo "not installed: include/$header" >&2; exit 1; }
done
soname=$(objdump -p "$(find "$prefix" -name 'libvintutil.so.*.*.*')" | awk '/SONAME/ {print $2}')
test "$soname" = libvintutil.so.1 || { echo "libvintutil SONAME is '$soname'" >&2; exit 1; }

echo "== find_package(vintutil)"
cmake -S "$consumer" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
"$work/with-cmake/consumer"

echo "== pkg-config vintutil"
pc=$(dirname "$(find "$prefix" -name vintutil.pc)")
libdir=$(PKG_CONFIG_PATH=$pc pkg-config --variable=libdir vintutil)
# shellcheck disable=SC2046
c++ -std=c++17 "$consumer/consumer.cpp" -o "$work/with-pkg-config" \
  $(PKG_CONFIG_PATH=$pc pkg-config --cflags --libs vintutil) -Wl,-rpath,"$libdir"
"$work/with-pkg-config"

echo "== installed vintutil"
"$prefix/bin/vintutil" reg query 'HKCU\SOFTWARE\TORVALE\VARNO4\USERINFO' /v NAME
