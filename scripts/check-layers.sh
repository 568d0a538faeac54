#!/usr/bin/env bash
# Fails when a folder includes a header of a layer above it. Layers, lowest first:
# platform -> foundation -> devices, net -> widgets -> shell, session, analysis, update.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

allowed() {  # the folders a folder may include from
  case $1 in
    platform) echo "platform" ;;
    foundation) echo "platform foundation" ;;
    devices) echo "platform foundation devices resources" ;;
    net) echo "platform foundation net" ;;
    widgets) echo "platform foundation widgets" ;;
    shell|session|analysis|update) echo "platform foundation devices net resources widgets shell session analysis update" ;;
  esac
}

bad=0
for layer in platform foundation devices net widgets shell session analysis update; do
  [ -d "$layer" ] || continue
  ok=" $(allowed "$layer") "
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ "$target" = "$text" ] && continue  # a header of the same folder, without a path
    if [[ $ok != *" $target "* ]]; then
      echo "$file:$line: $layer may not include from $target/"
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$layer" --include='*.h' --include='*.cpp' || true)
done
exit $bad
