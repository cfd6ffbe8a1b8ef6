#!/usr/bin/env bash
# Every tracked *.cpp and *.h of the repository at $1 is formatted as its .clang-format says.
# Skipped (77) without clang-format or outside a git checkout. `make format` mends what it lists.
cd "$1" || exit 1
command -v clang-format >/dev/null || { echo "SKIP: clang-format is not installed"; exit 77; }
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "SKIP: not a git checkout"; exit 77; }
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
