#!/usr/bin/env bash
# Reformats every C++ source with the checked-in style; with --check, fails when anything changes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
git ls-files '*.cpp' '*.h' | xargs clang-format -i
if [[ "${1:-}" == "--check" ]]; then git diff --exit-code; fi
