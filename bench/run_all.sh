#!/usr/bin/env bash
# Builds the benchmarks and runs those of the speed goals, the real-window ones under a virtual
# X server, then prints every figure beside its baseline from the same run in one table.
# REPETITIONS (default 5) sets how often each figure is taken; BUILD_DIR another build folder.
# The benchmarks are no tests: ctest never runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
repetitions="${REPETITIONS:-5}"
jobs=4
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSNIPDOCK_WITH_BENCH=ON >/dev/null
cmake --build "$build" -j"$jobs" --target startup_bench entries_bench startup_wx_bench entries_wx_bench \
  search_bench search_wx_bench

logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT
run() {  # name, command...
  local name="$1"
  shift
  echo "== $name" >&2
  if ! "$@" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=false \
      >"$logs/$name.log" 2>"$logs/$name.err"; then
    echo "$name failed:" >&2
    cat "$logs/$name.err" >&2
  fi
}
xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; }

run startup "$build/bench/startup/startup_bench"
run entries "$build/bench/entries/entries_bench"
run startup_wx xvfb "$build/bench/startup/startup_wx_bench"
run entries_wx xvfb "$build/bench/entries/entries_wx_bench"
run search "$build/bench/search/search_bench"
run search_wx xvfb "$build/bench/search/search_wx_bench"

echo
echo "Each figure beside its baseline, measured in the same run ($repetitions repetitions; ratio of the medians)"
header_printed=0
for name in startup entries startup_wx entries_wx search search_wx; do
  # The reporter's table follows its "figure" header line.
  table="$(sed -n '/^figure /,$p' "$logs/$name.log" | sed 's/\x1b\[[0-9;]*m//g')"
  if [ -z "$table" ]; then
    echo "$name: no figures (see above)"
    continue
  fi
  if [ "$header_printed" -eq 0 ]; then
    echo "$table" | head -1
    header_printed=1
  fi
  case "$name" in
    startup) echo "-- start-up, headless" ;;
    entries) echo "-- listing, headless" ;;
    startup_wx) echo "-- start-up, real window" ;;
    entries_wx) echo "-- listing, real window" ;;
    search) echo "-- search, headless" ;;
    search_wx) echo "-- search, real window" ;;
  esac
  echo "$table" | tail -n +2
done
