#!/usr/bin/env bash
# Runs every benchmark: the thread pool, pattern extraction (beside Python's re), web_request over
# HTTPS (beside the curl command-line tool) and the full crawl against the bundled record site.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build-bench"
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release -DHARVEST_BENCH=ON -DHARVEST_TESTS=OFF >/dev/null
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Thread pool: empty tasks (items_per_second), beside a mutex-and-condition-variable queue"
"$dir/bench/thread_pool_bench" --benchmark_min_time=0.5

echo
echo "== Extracting the 24 amounts and the name of a record page"
"$dir/bench/regex_bench" --benchmark_min_time=1
python3 "$root/bench/regex_extract.py"

echo
echo "== web_request of a 50 KB page over HTTPS on loopback, fresh connection each call"
python3 "$root/tests/http/http_test_server.py" --until-killed > "$work/server.log" &
pids+=($!)
for _ in $(seq 100); do grep -q '^ports' "$work/server.log" 2>/dev/null && break; sleep 0.1; done
https_port=$(awk '{print $3}' "$work/server.log")
url="https://127.0.0.1:$https_port/page?size=51200"
calls=200
"$dir/bench/web_request_bench" "$url" "$calls"
TIMEFORMAT="curl (one process per fetch): $calls fetches in %R s, %U s user + %S s system CPU"
time (for _ in $(seq "$calls"); do curl -sk -o /dev/null "$url"; done)

echo
echo "== Full crawl of the bundled record site, no faults (dispatch floor: 1450 x 10 ms = 14.5 s)"
program="$work/program"
mkdir -p "$program"
cp "$dir/app/harvester" "$program/"
sqlite3 "$program/data.db" < "$root/tools/food_schema.sql"
python3 "$root/tools/record_site.py" --port 0 > "$work/site.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^listening' "$work/site.log" 2>/dev/null && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$work/site.log")
/usr/bin/time -f "%e s wall, %U s user + %S s system CPU, %M KiB peak resident" \
  -o "$work/time.txt" "$program/harvester" --site "$address" --start --quit-when-done \
  -platform offscreen > /dev/null 2>&1
rows=$(sqlite3 "$program/data.db" 'SELECT count(*) FROM food')
echo "harvester: $(cat "$work/time.txt"); $rows rows stored"
awk '{ printf "  CPU per page: %.2f ms\n", ($4 + $8) / 1450 * 1000 }' "$work/time.txt"
