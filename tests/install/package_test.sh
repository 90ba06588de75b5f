#!/usr/bin/env bash
# The Debian package that scripts/package makes: its name, version, Depends and contents; then
# installed as a user installs it, and its bench run headless from there.
# usage: package_test.sh BUILD_DIR VERSION
set -uo pipefail
# As root, the test runs in a mount namespace of its own, for the throwaway system below; it
# notes the namespace it came from, so it mounts nothing where that one can see it.
if [ "$(id -u)" -eq 0 ] && [ -z "${OCULANT_FIRST_MOUNTS:-}" ] && unshare -m true 2>/dev/null; then
  OCULANT_FIRST_MOUNTS=$(readlink /proc/self/ns/mnt) exec unshare -m --propagation private "$0" "$@"
fi
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/installed_bench.sh"

quietly scripts/package \
  "$here/../../scripts/package" --no-setup --build-dir "$build" --out "$work/out"
deb=$work/out/oculant_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || die "scripts/package made no $deb: $(ls "$work/out")"
expect_eq "Package" oculant "$(dpkg-deb -f "$deb" Package)"
expect_eq "Version" "$version" "$(dpkg-deb -f "$deb" Version)"

# Package names only, alternatives and versions dropped.
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*//; s/ //g')
for needed in libsdl2-2.0-0 libglu1-mesa libfontconfig1 libfreetype6 libstdc++6 zlib1g \
  libegl1 libgl1-mesa-dri fonts-liberation2; do
  grep -qx "$needed" <<<"$depends" || fail "Depends lacks $needed: $(dpkg-deb -f "$deb" Depends)"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
# The library and what finds it lie in the architecture's own folder, as Debian keeps them.
libdir=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for file in bin/oculant bin/oculant-client bin/oculant-scene "$libdir/liboculant_client.so.0" \
  include/oculant/client.h "$libdir/pkgconfig/oculant-client.pc" \
  "$libdir/cmake/oculant/oculant-config.cmake" share/oculant/demo/config.txt \
  lib/python3/dist-packages/oculant_client.py share/doc/oculant/copyright; do
  grep -qxF "./usr/$file" <<<"$contents" || fail "the package lacks /usr/$file"
done
# The copyright file in Debian's machine-readable format, with the licence and holder of LICENSE.
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/oculant/copyright)
expect_eq "the copyright file's first line" \
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" "${copyright%%$'\n'*}"
holder=$(sed -n 's/^Copyright (c) //p' "$here/../../LICENSE")
grep -qxF "Copyright: $holder" <<<"$copyright" || fail "the copyright file lacks 'Copyright: $holder'"
grep -qxF "License: Expat" <<<"$copyright" || fail "the copyright file lacks 'License: Expat'"

# Installed with apt-get into a copy-on-write copy of this system (an overlay over /, seen only
# in this mount namespace, so the real system is untouched). Without the rights for that, apt
# only resolves the Depends and the package is unpacked with dpkg-deb -x.
root=$work/root
mkdir -p "$root" "$work/upper" "$work/overlay"
own_mounts=${OCULANT_FIRST_MOUNTS:-}
[ "$own_mounts" = "$(readlink /proc/self/ns/mnt)" ] && own_mounts=
if [ -n "$own_mounts" ] &&
  mount -t overlay overlay -o "lowerdir=/,upperdir=$work/upper,workdir=$work/overlay" "$root"; then
  touch "$root/dev/null" && mount --bind /dev/null "$root/dev/null" &&
    mount -t proc proc "$root/proc" && mount -t tmpfs tmpfs "$root/tmp" && cp "$deb" "$root/tmp/" ||
    die "cannot set up the throwaway system"
  quietly "apt-get install of the package failed" \
    chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/${deb##*/}"
  expect_eq "dpkg's status of the package" "install ok installed" \
    "$(chroot "$root" dpkg-query -W -f='${Status}' oculant 2>&1)"
  echo "installed with apt-get into a throwaway system"
  installed_root=
  in_system() { chroot "$root" env -u PYTHONPATH -u PKG_CONFIG_PATH "$@"; }
else
  apt-get install --simulate "$deb" >"$work/log" 2>&1 ||
    fail "apt cannot install the package here: $(cat "$work/log")"
  dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x failed"
  echo "unpacked with dpkg-deb -x (a throwaway system needs root and mount namespaces)"
  installed_root=$root
  in_system() {
    PYTHONPATH=$root/usr/lib/python3/dist-packages PKG_CONFIG_PATH=$root/usr/$libdir/pkgconfig "$@"
  }
fi

# Under /usr the compiler finds the headers and the library by itself: no flag names a folder.
expect_eq "pkg-config --cflags --libs" "-loculant_client" \
  "$(in_system pkg-config --cflags --libs oculant-client 2>&1 | sed 's/ *$//')"
expect_eq "pkg-config's libdir" "/usr/$libdir" \
  "$(in_system pkg-config --variable=libdir oculant-client 2>&1)"
expect_eq "the Python client under Debian's python3" \
  "$version $installed_root/usr/lib/python3/dist-packages/oculant_client.py" \
  "$(in_system /usr/bin/python3 -c \
    'import oculant_client as c; print(c.__version__, c.__file__)' 2>&1)"

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

# Removed again, the package leaves nothing behind, not even the Python client's byte code.
if [ -z "$installed_root" ]; then
  chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q oculant \
    >"$work/log" 2>&1 || fail "apt-get remove of the package failed: $(cat "$work/log")"
  expect_eq "what the removed package left in /usr" "" \
    "$(find "$work/upper/usr" -name '*oculant*' 2>&1)"
fi
finish
