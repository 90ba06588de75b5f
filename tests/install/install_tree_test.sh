#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the bench, both tools and the client library run from
# there as they are, and an outside program builds against it with find_package(oculant) or
# pkg-config and fetches a pair from the installed bench.
# usage: install_tree_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/installed_bench.sh"

# The client component alone, as the README installs it: the tool finds its library.
quietly "cmake --install --component client" \
  cmake --install "$build" --component client --prefix "$work/client"
expect_eq "oculant-client --version (client component)" "oculant-client $version" \
  "$("$work/client/bin/oculant-client" --version 2>&1)"

prefix=$work/prefix
quietly "cmake --install" cmake --install "$build" --prefix "$prefix"
for program in oculant oculant-client oculant-scene; do
  expect_eq "$program --version" "$program $version" "$("$prefix/bin/$program" --version 2>&1)"
done
pc=$(find "$prefix" -name oculant-client.pc)
export PKG_CONFIG_PATH=${pc%/*}
expect_eq "pkg-config --modversion" "$version" "$(pkg-config --modversion oculant-client 2>&1)"

consumer=$work/consumer
quietly "the find_package(oculant) consumer did not configure" cmake -S "$here/consumer" \
  -B "$consumer" -DCMAKE_PREFIX_PATH="$prefix" -DOCULANT_WANTED_VERSION="$version"
quietly "the find_package(oculant) consumer did not build" cmake --build "$consumer"
quietly "the consumer did not build with pkg-config" \
  c++ -std=c++17 -o "$work/grab_pair_pc" "$here/consumer/grab_pair.cpp" \
  $(pkg-config --cflags --libs oculant-client) \
  -Wl,-rpath,"$(pkg-config --variable=libdir oculant-client)"

expect_eq "the consumer without a bench" \
  "no left camera is running (looked in $OCULANT_RUNTIME_DIR)" "$("$consumer/grab_pair" 2>&1)"
start_bench "$prefix/bin" "$prefix/share/oculant/demo"
until_ok "$consumer/grab_pair" ||
  die "no pair from the installed bench: $(cat "$work/last") $(cat "$work/bench.log")"
expect_eq "the pair (find_package consumer)" "320 x 240, 320 x 240" "$(cat "$work/last")"
expect_eq "the pair (pkg-config consumer)" "320 x 240, 320 x 240" "$("$work/grab_pair_pc" 2>&1)"
stop_bench "$prefix/bin"
finish
