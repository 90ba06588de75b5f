# Sourced by the install and setup tests: a scratch folder removed at the end, checks that name
# what broke, and an installed bench run headless on the installed demo scene.

work=$(mktemp -d)
bench_group=
failures=0
cleanup() {
  if [ -n "$bench_group" ]; then kill -KILL -- "-$bench_group" 2>/dev/null; fi
  # The package test's throwaway system is mounted there; its /dev and /proc are never removed.
  if mountpoint -q "$work/root" 2>/dev/null; then umount -R -l "$work/root"; fi
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

die() { echo "FAIL: $*" >&2; exit 1; }
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"; }  # WHAT EXPECTED ACTUAL
finish() { [ "$failures" -eq 0 ] || exit 1; echo "all checks passed"; }
# quietly WHAT COMMAND...: runs COMMAND with its output kept aside; a failure ends the test with it.
quietly() { "${@:2}" >"$work/log" 2>&1 || die "$1: $(cat "$work/log")"; }

# Installed programs run as a user's would: nothing in LD_LIBRARY_PATH, no display (the bench
# then runs on SDL's offscreen driver) and a runtime folder of their own.
unset LD_LIBRARY_PATH DISPLAY WAYLAND_DISPLAY
export OCULANT_RUNTIME_DIR=$work/runtime

# start_bench BIN_DIR DEMO_DIR: starts BIN_DIR/oculant in a copy of the demo scene, in a session
# of its own so that the cameras it starts end with it however the test ends.
start_bench() {
  mkdir -p "$work/scene" && cp "$2"/* "$work/scene/" || die "cannot copy the demo scene $2"
  (cd "$work/scene" && exec setsid "$1/oculant" 2>"$work/bench.log") &
  bench_group=$!
}

# until_ok COMMAND...: runs COMMAND until it succeeds, for at most 30 s; its last output is in
# $work/last.
until_ok() {
  for _ in $(seq 150); do
    "$@" >"$work/last" 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

# stop_bench BIN_DIR: ends the bench with BIN_DIR/oculant-client quit; checks that all three
# processes end within 30 s, the scene with status 0, and that nothing went to stderr.
stop_bench() {
  "$1/oculant-client" quit || fail "oculant-client quit failed"
  until_ok eval '! kill -0 -- "-$bench_group"' || die "the bench still runs 30 s after quit"
  wait "$bench_group"
  expect_eq "the bench's exit status" 0 "$?"
  bench_group=
  expect_eq "the headless bench's stderr" "" "$(cat "$work/bench.log")"
}
