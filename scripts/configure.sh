#!/usr/bin/env bash
# configure.sh BUILD_DIR [cmake options...]: configures with Ninja, ccache when present.
set -euo pipefail
dir=$1; shift
root=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Precompiled headers are cacheable only with this sloppiness; paths relative to the checkout
  # let another clone of the project (CI's) reuse the cache.
  cc="env;CCACHE_SLOPPINESS=pch_defines,time_macros;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER="$cc" -DCMAKE_C_COMPILER_LAUNCHER="$cc")
fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@"
