#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test: the
# normal build and its tests, then the core and its tests under
# AddressSanitizer and UndefinedBehaviorSanitizer (that build made beside the
# first). Each step's wall and CPU time (user + system) go to the end of the
# output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

steps=()
# CPU time (user + system) of the commands this script has waited for, in
# milliseconds, into cpu_ms; `times` runs in this shell (a subshell would
# count only its own).
cpu_file=$(mktemp)
trap 'rm -f "$cpu_file"' EXIT
cpu_now() {
  times >"$cpu_file"
  cpu_ms=$(awk 'NR == 2 { t = 0; for (i = 1; i <= 2; i++) { split($i, a, /[ms]/); t += a[1] * 60000 + a[2] * 1000 } printf "%d", t }' "$cpu_file")
}
step() {
  local name="$1" start=$SECONDS cpu; shift
  cpu_now; cpu=$cpu_ms
  "$@"
  cpu_now
  steps+=("$(printf '%-12s %4d s  cpu %5d s' "$name" $((SECONDS - start)) $(((cpu_ms - cpu) / 1000)))")
}

# Both builds compile the tests' own code and the uninstrumented libraries
# alike with the same flags: the compiler cache, told to name paths below
# this folder relative to the build folder, serves the second build what the
# first made. The programs are optimised at -O1, which compiles in a fifth
# less time than -O2; line tables (-g1) are debug information enough for the
# tests' backtraces and take a sixth less compile time than full debug
# information. Each test program runs as a few shards (one process for many
# tests) rather than one process a test. The benchmarks are not tests and
# are not built here: they are built optimised in a folder of their own and
# run by hand (bench/README.md).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DDLVR_TEST_SHARDS=ON -DDLVR_BENCH=OFF)

# The sanitizer build runs from the start beside the first build and its
# tests, at the lowest priority: it takes only the processor time they leave
# (a build's last links, the tests' waits) and slows neither. It makes its
# instrumented libraries first, and the rest (the tool's own code, the
# tests) only once the first build is done, so that the cache has their
# units. It runs in a session of its own (so
# that it can be stopped whole); where the kernel groups the processes of
# each session for scheduling, that group gets the lowest priority too, or
# it would get half the machine whatever its nice value. Its output is shown
# when it has ended.
asan_log=$(mktemp)
built_mark=$(mktemp -u)
asan_steps() {
  scripts/build.sh build-asan --target dlvr_canvas -DDLVR_SANITIZE=ON -DDLVR_CORE_ONLY=ON "${flags[@]}"
  while [ ! -e "$built_mark" ]; do sleep 1; done
  scripts/build.sh build-asan
}
setsid -w nice -n 19 bash -c "set -euo pipefail; echo 19 >/proc/self/autogroup 2>/dev/null || true
  $(declare -p flags built_mark); $(declare -f asan_steps); asan_steps" >"$asan_log" 2>&1 &
asan_pid=$!
trap 'kill -- -"$asan_pid" 2>/dev/null || true; rm -f "$cpu_file" "$asan_log" "$built_mark"' EXIT
asan_build() {
  local rc=0
  wait "$asan_pid" || rc=$?
  if [ "$rc" -ne 0 ]; then cat "$asan_log"; return "$rc"; fi
  tail -n 1 "$asan_log"
}

step build scripts/build.sh build "${flags[@]}"
touch "$built_mark"
step tests ctest --test-dir build --output-on-failure -j "$jobs"

step build-asan asan_build
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
step tests-asan ctest --test-dir build-asan --output-on-failure -j "$jobs"

printf '%s\n' "${steps[@]}"
