#!/usr/bin/env bash
# Builds the Linux program if needed and runs it in a scratch profile with tracing on,
# then hands it a mailto: link from a second start, the way a browser would. Ctrl+C ends it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target tovela_notifier

profile=$(mktemp -d /tmp/tovela-demo.XXXXXX)
export HOME="$profile" XDG_CONFIG_HOME="$profile/config" XDG_RUNTIME_DIR="$profile/run"
mkdir -p "$XDG_CONFIG_HOME/NotificadorTovela" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
trace="$XDG_CONFIG_HOME/NotificadorTovela/debug.log"
: > "$trace"

exe=build/linux/src/tovela-notifier
"$exe" &
first=$!
trap 'kill -TERM $first 2>/dev/null; wait $first 2>/dev/null; echo; echo "--- trace ($trace)"; cat "$trace"' EXIT

until [ -S "$XDG_RUNTIME_DIR/NotificadorTovela/mailbox.sock" ]; do sleep 0.1; done
echo "Running instance is up (pid $first). A second start hands over a mailto: link:"
"$exe" "mailto:someone@example.com?subject=Hello"
"$exe" /settings
sleep 0.5
echo "--- settings stored in $XDG_CONFIG_HOME/NotificadorTovela/Settings.ini"
cat "$XDG_CONFIG_HOME/NotificadorTovela/Settings.ini"
if [ -t 0 ]; then
  echo "Press Ctrl+C to end the program."
  wait $first
fi
