#!/usr/bin/env bash
# The Debian package that scripts/package makes: its name, version, contents and Depends, its Depends
# resolved by apt against this system, and its programs run headless from the unpacked package.
# usage: package_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/installed_bench.sh"

"$here/../../scripts/package" --no-setup --build-dir "$build" --out "$work/out" >"$work/log" 2>&1 ||
  die "scripts/package: $(cat "$work/log")"
deb=$work/out/oculant_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || die "cpack made no $deb: $(ls "$work/out")"
expect_eq "Package" oculant "$(dpkg-deb -f "$deb" Package)"
expect_eq "Version" "$version" "$(dpkg-deb -f "$deb" Version)"

# Package names only, alternatives and versions dropped.
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*//; s/ //g')
for needed in libsdl2-2.0-0 libglu1-mesa libfontconfig1 libfreetype6 libstdc++6 zlib1g \
  libegl1 libgl1-mesa-dri fonts-liberation2; do
  grep -qx "$needed" <<<"$depends" || fail "Depends lacks $needed: $(dpkg-deb -f "$deb" Depends)"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in bin/oculant bin/oculant-client bin/oculant-scene 'lib/.*liboculant_client\.so\.0' \
  include/oculant/client.h 'lib/.*pkgconfig/oculant-client\.pc' \
  'lib/.*cmake/oculant/oculant-config\.cmake' share/oculant/demo/config.txt; do
  grep -qxE "\./usr/$file" <<<"$contents" || fail "the package lacks /usr/$file"
done
apt-get install --simulate "$deb" >"$work/log" 2>&1 ||
  fail "apt cannot install the package here: $(cat "$work/log")"

root=$work/root
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x failed"
bin=$root/usr/bin
for program in oculant oculant-client oculant-scene; do
  expect_eq "$program --version" "$program $version" "$("$bin/$program" --version 2>&1)"
done
start_bench "$bin" "$root/usr/share/oculant/demo"
until_ok "$bin/oculant-client" grab both -o "$work/pair.bmp" ||
  die "no pair from the packaged bench: $(cat "$work/last") $(cat "$work/bench.log")"
# 24-bit BMPs of 320 x 240: 54 bytes of headers and 240 rows of 960 bytes.
expect_eq "the left frame's size" 230454 "$(stat -c %s "$work/pair-left.bmp")"
expect_eq "the right frame's size" 230454 "$(stat -c %s "$work/pair-right.bmp")"
stop_bench "$bin"
finish
