#!/bin/bash
# Installs what is missing, builds everything and runs every test twice:
# once in a normal build and once under AddressSanitizer and
# UndefinedBehaviorSanitizer. Extra arguments go to ctest (for example
# "-R store" to run some tests only).
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh

jobs=$(nproc)
CTEST_ARGS="${CTEST_ARGS:-} $*"
run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
    # Tests run side by side and each runs once: a failure is a failure.
    (cd "$dir" && ctest -j"$jobs" --output-on-failure --timeout 600 ${CTEST_ARGS:-})
}

echo "== normal build =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAIL_CRASH_POINTS=ON
echo "== sanitizer build =="
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DMAIL_SANITIZE=ON -DMAIL_CRASH_POINTS=ON
echo "All tests passed in both builds."
