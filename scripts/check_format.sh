#!/usr/bin/env bash
# Fails when a tracked C or C++ file is not as clang-format (.clang-format)
# would write it; clang-format names each line that differs. Fix with:
#   clang-format -i $(git ls-files '*.c' '*.cpp' '*.h')
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "check_format: some files are not formatted with clang-format (.clang-format); see above" >&2
  exit 1
fi
