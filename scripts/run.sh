#!/usr/bin/env bash
# The program's main job on this machine: installs what is missing, builds, prepares data.db
# beside the program, starts the bundled record site, harvests all 1450 pages from it (in a
# window when a display is available, headless otherwise) and prints a summary.
# Extra arguments go to the harvester (for example --site https://host:port for another site).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build" >/dev/null
program_dir="$root/build/app"
db="$program_dir/data.db"
work=$(mktemp -d)
site_pid=""
cleanup() {
  [[ -n "$site_pid" ]] && kill "$site_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

if [[ -e "$db" ]]; then
  backup="$db.$(date +%Y%m%d-%H%M%S).bak"
  mv "$db" "$backup"
  echo "Kept the previous database as $backup"
fi
sqlite3 "$db" < "$root/tools/food_schema.sql"

site_args=()
if [[ " $* " != *" --site "* && " $* " != *" --site="* ]]; then
  python3 "$root/tools/record_site.py" --port 0 > "$work/site.log" 2>&1 &
  site_pid=$!
  for _ in $(seq 100); do
    grep -q '^listening on' "$work/site.log" 2>/dev/null && break
    sleep 0.1
  done
  address=$(sed -n 's/^listening on //p' "$work/site.log")
  [[ -n "$address" ]] || { echo "The bundled record site did not start:"; cat "$work/site.log"; exit 1; }
  echo "Bundled record site at $address"
  site_args=(--site "$address")
fi

platform_args=()
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then platform_args=(-platform offscreen); fi

echo "Harvesting pages 1 to 1450 ..."
"$program_dir/harvester" "${site_args[@]}" --start --quit-when-done "${platform_args[@]}" "$@" \
  2> "$work/stderr.log" | tee "$work/log.txt" | awk 'NR % 100 == 0 { print "  ... " $0 }'

count() { grep -c -- "$1" "$work/log.txt" || true; }
echo
echo "Summary"
echo "  rows in food:            $(sqlite3 "$db" 'SELECT count(*) FROM food')"
echo "  ids stored:              $(count ' 入库成功！$')"
echo "  ids without a record:    $(count ' 没有记录，无法抓取$')"
echo "  ids without a food name: $(count ' 没有菜品名，入库失败$')"
echo "  retry lines:             $(count ' 正在尝试')"
echo "  database:                $db"
