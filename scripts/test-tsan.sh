#!/usr/bin/env bash
# The threaded tests under ThreadSanitizer (pass a ctest -R filter to narrow them further).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build-tsan" -DHARVEST_SANITIZE=thread
cd "$root/build-tsan"
filter=${1:-'Lock|ThreadPool|Database|Harvest|Log'}
# Qt's and libcurl's own internals are not what is being checked here.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp" \
  ctest --output-on-failure -j "$(nproc)" --timeout 600 -R "$filter"
