#!/usr/bin/env bash
# Fails when an #include runs against the layers: upward, or sideways between two tool folders.
# Order, top to bottom: cli, desktop > ui > workflows > fusion, composite, assess > batch,
# imaging > raster > core. tests/, tools/ and bench/ may include anything.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

rank_of() {
  case "$1" in
    cli|desktop) echo 6 ;;
    ui) echo 5 ;;
    workflows) echo 4 ;;
    fusion|composite|assess) echo 3 ;;
    batch|imaging) echo 2 ;;
    raster) echo 1 ;;
    core) echo 0 ;;
    *) echo -1 ;;
  esac
}

bad=0
for folder in cli desktop ui workflows fusion composite assess batch imaging raster core; do
  [ -d "$folder" ] || continue
  own=$(rank_of "$folder")
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"/]+)\/.*/\1/' <<<"$text")
    [ "$target" = "$folder" ] && continue
    theirs=$(rank_of "$target")
    [ "$theirs" -lt 0 ] && continue
    if [ "$theirs" -ge "$own" ]; then
      echo "$file:$line: $folder/ may not include $target/ ($text)"
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' "$folder" \
             --include='*.h' --include='*.hpp' --include='*.cpp' || true)
done
if [ "$bad" -ne 0 ]; then
  echo "Includes must run downward only (cli, desktop > ui > workflows > fusion, composite, assess > batch, imaging > raster > core)."
  exit 1
fi
echo "layers: every include runs downward"
