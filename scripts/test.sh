#!/usr/bin/env bash
# Installs, builds and runs every test against a private MariaDB server of its own; extra arguments go to ctest.
# ZOL_SANITIZE=1 builds into build-asan with AddressSanitizer and UndefinedBehaviorSanitizer instead.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sanitize=${ZOL_SANITIZE:-0}
if [ "$sanitize" = 1 ]; then
  build=${ZOL_BUILD_DIR:-$root/build-asan}
  build_type=${ZOL_BUILD_TYPE:-RelWithDebInfo}
  # Line tables are enough for the reports; -O1 keeps the build short and the stacks exact.
  extra_cmake=("-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DZOL_BUILD_BENCH=OFF)
  # Leak checking stays on; the suppressions name third-party libraries only.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=0"
  export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
  build=${ZOL_BUILD_DIR:-$root/build}
  build_type=${ZOL_BUILD_TYPE:-Release}
  extra_cmake=(-DZOL_BUILD_BENCH=ON)
fi
jobs=$(nproc 2>/dev/null || echo 2)
test_jobs=${ZOL_TEST_JOBS:-$jobs}

step() { printf '\n== %s\n' "$*"; }

step "packages"
bash "$root/scripts/install-deps.sh"

# One temporary folder for the run: the database server, and whatever a test leaves behind
# (its ODBC files, saved files). It goes, with the server, on every way out.
work=$(mktemp -d "${TMPDIR:-/tmp}/zol-test.XXXXXX")
ctest_pid=
cleanup() {
  # ctest and the tests it runs form one process group of their own (setsid below).
  if [ -n "$ctest_pid" ]; then kill -TERM -- "-$ctest_pid" 2>/dev/null || true; fi
  bash "$root/scripts/db.sh" stop "$work/db" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir -p "$work/tmp" "$work/xdg"
chmod 700 "$work/xdg"
# The build runs the test programs to list their tests, so this applies to it too.
export TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/xdg" QT_QPA_PLATFORM=offscreen
# The whole server goes at the end, so the tests need not drop their databases one by one.
export ZOL_TEST_KEEP_DB=1

step "configure and build ($build_type, $build)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DZOL_BUILD_TESTS=ON \
  -DZOL_SANITIZE="$([ "$sanitize" = 1 ] && echo ON || echo OFF)" "${extra_cmake[@]}" >/dev/null
cmake --build "$build" -j"$jobs"

step "database"
port=$(bash "$root/scripts/db.sh" start "$work/db")
echo "private MariaDB server on 127.0.0.1:$port ($work/db)"
eval "$(bash "$root/scripts/db.sh" env "$work/db")"

step "tests (ctest -j$test_jobs)"
# In the background so that a signal to this script is handled at once, not after ctest; in a
# process group of its own so that the clean-up can end it with every test it started.
(cd "$build" && exec setsid ctest --output-on-failure --no-tests=error -j"$test_jobs" "$@") &
ctest_pid=$!
status=0
wait "$ctest_pid" || status=$?
ctest_pid=
if [ "$status" -ne 0 ]; then
  echo "TESTS FAILED (ctest exit code $status)" >&2
  exit "$status"
fi
echo "all tests passed"
