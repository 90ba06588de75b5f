#!/usr/bin/env bash
# scripts/setup's sets, read without installing anything: --help names them all, the demo's set
# leaves out the Windows toolchain and Wine, and the tests' set holds every other set.
# usage: setup_sets_test.sh SOURCE_DIR
set -uo pipefail
setup=$1/scripts/setup
. "$(dirname "$0")/installed_bench.sh"

help=$("$setup" --help) || fail "scripts/setup --help failed"
for set in build demo windows package test; do
  grep -qE "^  $set +[a-z]" <<<"$help" || fail "scripts/setup --help does not list the set $set"
done

demo=$("$setup" --list demo) || fail "scripts/setup --list demo failed"
for needed in xvfb imagemagick libsdl2-dev; do
  grep -qx "$needed" <<<"$demo" || fail "the demo set lacks $needed"
done
unwanted=$(grep -E 'wine|mingw' <<<"$demo")
[ -z "$unwanted" ] || fail "the demo set installs $(echo $unwanted)"

everything=$("$setup" --list test) || fail "scripts/setup --list test failed"
[ "$everything" = "$("$setup" --list)" ] || fail "scripts/setup without a set is not the test set"
missing=$(comm -23 <("$setup" --list build demo windows package) <(echo "$everything"))
[ -z "$missing" ] || fail "the test set lacks $(echo $missing)"
for needed in wine64 g++-mingw-w64-x86-64 lintian; do
  grep -qx "$needed" <<<"$everything" || fail "the test set lacks $needed"
done
finish
