#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each over its seeds plus a few
# thousand generated inputs. Longer runs by hand: build-fuzz/fuzz/fuzz_stg_read -max_total_time=600 DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
CC=clang CXX=clang++ "$root/scripts/configure.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKV_BUILD_FUZZ=ON -DKV_BUILD_TESTS=OFF -DKV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target make_stg_seeds make_strzt_seeds make_device_seeds fuzz_stg_read fuzz_stg_header \
  fuzz_str_read fuzz_zt_read fuzz_http_response fuzz_vs_frames fuzz_ant_messages
for set in stg strzt device; do
  rm -rf "$build/seeds/$set" && "$build/fuzz/make_${set}_seeds" "$build/seeds/$set"
done
export ASAN_OPTIONS=${FUZZ_ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for run in fuzz_stg_read:stg fuzz_stg_header:stg fuzz_str_read:strzt fuzz_zt_read:strzt \
  fuzz_vs_frames:device fuzz_ant_messages:device; do
  target=${run%%:*}
  seeds="$build/seeds/${run##*:}"
  work="$build/corpus/$target"
  rm -rf "$work" && mkdir -p "$work"
  echo "== $target"
  "$build/fuzz/$target" -runs=3000 -seed=1 -max_len=16384 "$work" "$seeds" 2>&1 | tail -n 3
done
# The HTTP response reader starts from its dictionary instead of seed files.
work="$build/corpus/fuzz_http_response"
rm -rf "$work" && mkdir -p "$work"
echo "== fuzz_http_response"
"$build/fuzz/fuzz_http_response" -runs=20000 -seed=1 -max_len=16384 -dict="$root/fuzz/http.dict" "$work" 2>&1 |
  tail -n 3
