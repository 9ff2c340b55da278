#!/usr/bin/env bash
# The program's main job, against the bundled fake server: it probes the server, logs in and
# keeps polling, while a second start hands it a mailto: link the way a browser would.
# Everything runs in a scratch profile with tracing on. Ctrl+C ends it (when run in a terminal).
# `demo.sh windows` shows the Windows program under Wine instead (scripts/demo-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = windows ]; then exec bash scripts/demo-windows.sh; fi

bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target tovela_notifier tovela_fake_server

profile=$(mktemp -d /tmp/tovela-demo.XXXXXX)
export HOME="$profile" XDG_CONFIG_HOME="$profile/config" XDG_RUNTIME_DIR="$profile/run"
mkdir -p "$XDG_CONFIG_HOME/NotificadorTovela" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
trace="$XDG_CONFIG_HOME/NotificadorTovela/debug.log"
: > "$trace"

server=build/linux/tools/fake-server/tovela-fake-server
exe=build/linux/src/tovela-notifier

"$server" --port 0 --port-file "$profile/port" --scenario tools/fake-server/scenarios/demo.json \
  --log "$profile/requests.log" > "$profile/server.out" 2>&1 &
server_pid=$!
first=""
cleanup() {
  [ -n "$first" ] && kill -TERM "$first" 2>/dev/null && wait "$first" 2>/dev/null
  kill -TERM "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null
  echo
  echo "--- trace ($trace)"
  cut -c1-110 "$trace"   # Base64 exchange lines are long: shortened here
  echo "--- settings ($XDG_CONFIG_HOME/NotificadorTovela/Settings.ini)"
  cat "$XDG_CONFIG_HOME/NotificadorTovela/Settings.ini"
}
trap cleanup EXIT

for _ in $(seq 100); do [ -s "$profile/port" ] && break; sleep 0.1; done
port=$(cat "$profile/port")
echo "Fake server on 127.0.0.1:$port (account demo/demo)."
printf '[Settings]\nTovelaHost=127.0.0.1:%s\nHTTPS=0\nUsername=demo\nPassword=text:demo\n' "$port" \
  > "$XDG_CONFIG_HOME/NotificadorTovela/Settings.ini"

"$exe" > "$profile/desktop.jsonl" &
first=$!
for _ in $(seq 100); do grep -q '"infoTitle":"[^"]' "$profile/desktop.jsonl" 2>/dev/null && break; sleep 0.1; done
sleep 0.5
echo "The program probed the server and logged in:"
grep -o '"method":"[A-Z]*","path":"[^"]*"' "$profile/requests.log" | sed 's/^/  /'
echo "What it shows in the notification area (the Linux build prints it as JSON lines):"
grep '"event":"notifyIcon"' "$profile/desktop.jsonl" | sed 's/^/  /'

echo "A second start hands over a mailto: link and ends:"
"$exe" "mailto:someone@example.com?subject=Hello"
grep -m1 'OnAbreTovela' "$trace" | sed 's/^/  /'

if [ -t 0 ]; then
  echo "The program keeps polling every 30 s; press Ctrl+C to end it."
  wait "$first"
fi
