#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/, then runs each one over its seed corpus
# (fuzz/corpus/<target>/) and fuzzes it for a bounded time, two targets at a time.
#   fuzz/run.sh [SECONDS]   seconds of fuzzing per target (default: $FUZZ_SECONDS, else 60)
# New inputs that reach new code are kept in build-fuzz/fuzz/work/<target>/ for the next run;
# the seeds are never changed. An input that breaks a property or crashes is saved as
# build-fuzz/fuzz/crash-<target>-<hash>, its log printed, and the script fails.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-${FUZZ_SECONDS:-60}}
targets=(fuzz_storagecodec fuzz_eventstream fuzz_mdparser fuzz_mdinline fuzz_jsonrpc fuzz_toolcalls)

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ=ON -DCORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" | grep -v '^\[' || true
for t in "${targets[@]}"; do
  [ -x "$build/fuzz/$t" ] || { echo "fuzz: $t was not built" >&2; exit 1; }
done

run() {
  local t=$1 dict="$root/fuzz/${1#fuzz_}.dict"
  local work="$build/fuzz/work/$t" log="$build/fuzz/$t.log"
  mkdir -p "$work"
  local args=(-max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048
    -artifact_prefix="$build/fuzz/crash-$t-")
  [ -f "$dict" ] && args+=(-dict="$dict")
  if "$build/fuzz/$t" "${args[@]}" "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
    echo "fuzz: $t ok, $(grep -o 'Done [0-9]* runs' "$log" | cut -d' ' -f2) inputs in ${seconds}s"
  else
    cat "$log" >&2
    echo "fuzz: $t FAILED (log: $log)" >&2
    return 1
  fi
}

# Two at a time: the machines this runs on have two cores or more.
status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do
    run "$t" &
    pids+=($!)
  done
  for p in "${pids[@]}"; do
    wait "$p" || status=1
  done
done
exit $status
