#!/usr/bin/env bash
# Fails, naming the files, when a C++ source does not follow the project's .clang-format.
# `clang-format -i <file>` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -d '' files < <(find . -mindepth 1 \( -name 'build*' -o -name '.*' \) -prune -o -type f \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0)
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("${f#./}")
done
if [ ${#bad[@]} -ne 0 ]; then
  echo "Not formatted as .clang-format says (clang-format -i mends them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
