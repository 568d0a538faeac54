#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/configure.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target kvwt
if [ -x "$root/build/kvwt" ]; then
  exec "$root/build/kvwt" "$@"
else
  echo "Built. The program window is not part of this build yet."
fi
