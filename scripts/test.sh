#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UBSan and runs all tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/configure.sh" "$root/build-test" -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON >/dev/null
cmake --build "$root/build-test"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}

# The file readers under libFuzzer (separate clang build); its output only when it fails.
if ! "$root/scripts/fuzz-smoke.sh" > "$root/build-test/fuzz-smoke.log" 2>&1; then
  tail -n 40 "$root/build-test/fuzz-smoke.log"
  echo "fuzz smoke run failed" >&2
  exit 1
fi
echo "Fuzz smoke run passed."

cd "$root/build-test"
ctest --output-on-failure -j "$(nproc)"
