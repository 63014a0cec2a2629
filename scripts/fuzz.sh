#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each: first once over every
# input in fuzz/<target>/hostile/ (large inputs that once crashed, hung or ate memory; kept out of
# the seed corpus because inputs of their size would slow every mutation), then fuzzing from the
# small seed corpus in fuzz/<target>/corpus/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   SECONDS of fuzzing per target (default 5); targets: the
#                                           names of fuzz/*.cpp (default all)
# New inputs go to build-fuzz/corpus/<target>/, never into the seed corpus; an input that crashes,
# hangs or runs out of memory is saved as build-fuzz/artifacts/<target>-*.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-5}
shift || true
build=${ZOL_FUZZ_BUILD_DIR:-$root/build-fuzz}
# Memory and time of one input: a picture or reply that takes more is a finding.
rss_limit_mb=${ZOL_FUZZ_RSS_MB:-2048}
timeout_s=${ZOL_FUZZ_TIMEOUT_S:-10}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

bash "$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DZOL_FUZZ=ON -DZOL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/artifacts"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  limits=(-rss_limit_mb="$rss_limit_mb" -timeout="$timeout_s" -artifact_prefix="$build/artifacts/$t-")
  hostile=("$root/fuzz/$t/hostile"/*)
  if [ -e "${hostile[0]}" ]; then
    echo "== fuzz_$t over ${#hostile[@]} hostile input(s)"
    if ! "$build/fuzz/fuzz_$t" "${limits[@]}" "${hostile[@]}" 2>"$build/fuzz_$t.hostile.log"; then
      tail -n 40 "$build/fuzz_$t.hostile.log" >&2
      echo "fuzz_$t FAILED on a hostile input (log: $build/fuzz_$t.hostile.log)" >&2
      status=1
      continue
    fi
  fi
  echo "== fuzz_$t (${seconds} s)"
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" "${limits[@]}" -print_final_stats=1 \
      "$build/corpus/$t" "$root/fuzz/$t/corpus" 2>"$build/fuzz_$t.log"; then
    tail -n 40 "$build/fuzz_$t.log" >&2
    echo "fuzz_$t FAILED (log: $build/fuzz_$t.log)" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/fuzz_$t.log" | tr '\n' ' '
    echo
  fi
done
exit "$status"
