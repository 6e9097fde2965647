#!/usr/bin/env bash
# The engine program under Wine as an administrator's collectors see it: node_exporter, on a free
# loopback port, serves the metrics file of the folder that monitor.ini names, which promtool accepts;
# a killed item shows brennix_item_up 0 then 1 and moves its counters; the events of the start, the
# kill, the restart and the end reach ReportEventA (Wine's eventlog channel) with their ids and types;
# the engine that ends removes its file. Run by CTest with the environment of scripts/env.sh.
set -euo pipefail
app=$1
name=fleet-$$
dir="$WINEPREFIX/drive_c/$name"
win="C:\\$name"
exporter=
engine=
cleanup() {
  # What this run started, by its id: a failed run leaves nothing behind.
  for pid in $engine $exporter; do kill "$pid" 2>/dev/null || true; done
  wine taskkill /im worker.exe /f >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  cat "$dir/log.text" >&2 || true
  exit 1
}
# Waits up to 15 s for the command to succeed.
until_true() {
  local i
  for i in $(seq 150); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

mkdir -p "$dir/metrics"
cp "$app/BrennixMonitor.exe" "$app/shutdownBrennixMonitor.exe" "$dir/"
cp "$app/../bin/monitored.exe" "$dir/worker.exe"
printf ' \r\nworker.exe|%s\\worker.exe\r\n' "$win" >"$dir/processes.ob"
# Restart after 2 s, and log.
{ printf '1\r\n2\r\n1\r\n'; for _ in $(seq 16); do printf ' \r\n'; done; } >"$dir/settings.ob"
printf '[Engine]\r\nMetricsFolder = %s\\metrics\r\n' "$win" >"$dir/monitor.ini"

wine "$win\\worker.exe" </dev/null >/dev/null 2>&1 &
WINEDEBUG=+eventlog wine "$win\\BrennixMonitor.exe" </dev/null >/dev/null 2>"$dir/trace.txt" &
engine=$!

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
prometheus-node-exporter --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
  --collector.textfile --collector.textfile.directory="$dir/metrics" >"$dir/exporter.txt" 2>&1 &
exporter=$!
served() { curl -s "http://127.0.0.1:$port/metrics" | grep -F "$1" >/dev/null; }
series='{engine="program",item="worker.exe",kind="program"}'

until_true served "brennix_item_up$series 1" || fail "node_exporter does not serve the item up"
promtool check metrics <"$dir/metrics/brennix_monitor_program.prom" || fail "promtool check metrics"
# Counted from here: the engine's first walk may have come before the worker had begun.
value() { curl -s "http://127.0.0.1:$port/metrics" | grep -F "$1$series " | awk '{print $2}'; }
stops=$(value brennix_item_stops_total) restarts=$(value brennix_item_restarts_total)
wine taskkill /im worker.exe /f >/dev/null 2>&1
until_true served "brennix_item_up$series 0" || fail "the item is not seen down"
until_true served "brennix_item_up$series 1" || fail "the item is not seen up again"
for line in "brennix_item_stops_total$series $((stops + 1))" \
  "brennix_item_restarts_total$series $((restarts + 1))" \
  'brennix_engine_info{engine="program",mode="program",version="'; do
  until_true served "$line" || fail "not served: $line"
done

wine "$win\\shutdownBrennixMonitor.exe" </dev/null >/dev/null 2>&1
wait "$engine" || true
engine=
[ ! -e "$dir/metrics/brennix_monitor_program.prom" ] || fail "the metrics file is left after the end"
# ReportEventA (handle, type, category, id, ...): information 4, warning 2.
for call in "0x0004,0x0000,0x000003e8" "0x0002,0x0000,0x000007d0" "0x0004,0x0000,0x000007d1" \
  "0x0004,0x0000,0x000003e9"; do
  grep -q "ReportEventA ([0-9A-F]*,$call," "$dir/trace.txt" || fail "no event $call in the trace"
done
grep -q 'eventlog:ReportEventW L"worker.exe restarted (program)"' "$dir/trace.txt" || fail "no restart text"
echo "metrics served on port $port, events reported"
