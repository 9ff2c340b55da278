#!/usr/bin/env bash
# The Windows program as a person meets it, under Wine against the bundled fake server: the
# settings window comes up empty, gets filled in and confirmed, the program logs in and goes
# to the notification area, a mail arrives, the tray menu's check finds it and a balloon
# tells of it. Runs in a Wine virtual desktop on $DISPLAY, or on a virtual X display of its
# own when there is none. Screenshots of each step go to build/windows/demo/.
# Called by `bash scripts/demo.sh windows`.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target tovela_notifier tovela_wine_probe
cmake --preset linux >/dev/null
cmake --build --preset linux --target tovela_fake_server

exe=build/windows/src/TovelaNotifier.exe
probe=build/windows/tests/tovela-wine-probe.exe
shots=$PWD/build/windows/demo
template=$PWD/build/windows/demo-prefix
rm -rf "$shots"
mkdir -p "$shots"
profile=$(mktemp -d /tmp/tovela-demo-windows.XXXXXX)
export WINEPREFIX="$profile/prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installers: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid="" server_pid="" program_pid=""
cleanup() {
  [ -d "$WINEPREFIX" ] && timeout 30 wineserver -k >/dev/null 2>&1 || true
  [ -n "$program_pid" ] && wait "$program_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$profile"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>"$profile/xvfb.log"; }
  xvfb_pid=$XVFB_PID
  read -r -t 30 -u "${XVFB[0]}" display || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$display"
  echo "No display: running on a virtual one; the screenshots show what it looked like."
fi

# A fresh prefix takes a minute to make: one is made once and copied for each run, so the
# program always starts without settings.
if [ ! -f "$template/system.reg" ]; then
  echo "Creating a Wine prefix (once, at most 300 s)..."
  rm -rf "$template"
  WINEPREFIX="$template" timeout -k 10 300 wine wineboot -i >"$profile/wineboot.log" 2>&1 &&
    WINEPREFIX="$template" timeout -k 10 300 wineserver -w ||
    { cat "$profile/wineboot.log" >&2; rm -rf "$template"; exit 1; }
fi
cp -a "$template" "$WINEPREFIX"

# A Japanese font for the dialog fonts, and a virtual desktop (with its own notification
# area) that second starts share.
cat >"$profile/setup.reg" <<'EOF'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"=hex(7):69,70,61,67,2e,74,74,66,2c,49,50,41,47,6f,74,68,69,63,00,00
"MS Shell Dlg"=hex(7):69,70,61,67,2e,74,74,66,2c,49,50,41,47,6f,74,68,69,63,00,00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="tovela"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"tovela"="800x600"
EOF
timeout 60 wine regedit /S "Z:$profile/setup.reg"
timeout 60 wineserver -w

build/linux/tools/fake-server/tovela-fake-server --port 0 --port-file "$profile/port" \
  --scenario tools/fake-server/scenarios/demo.json --log "$profile/requests.log" \
  >"$profile/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$profile/port" ] && break; sleep 0.1; done
port=$(cat "$profile/port")
echo "Fake server on 127.0.0.1:$port (account demo/demo)."

# Runs the probe inside the desktop (it waits up to 10 s for what it looks for).
probe() { timeout 60 wine "$probe" "$@" | tr -d '\r'; }
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1
  shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 1; done
  echo "Gave up after $limit s waiting for: $*" >&2
  return 1
}
form_showing() { probe windows | grep -q $'\tTovelaNotifierForm\t1\t'; }
form_hidden() { ! form_showing; }
balloon_showing() { probe windows | awk -F'\t' '$2 == "tooltips_class32" && $3 == 1' | grep -q .; }
balloon_gone() { ! balloon_showing; }
logged_in() { grep -q '<AuthRequest' "$profile/requests.log"; }
shot() { probe screenshot "Z:$shots/$1" && echo "  $shots/$1"; }
capture() { probe capture "$1" "$2" "Z:$shots/$3" && echo "  $shots/$3"; }
admin() {
  python3 -c 'import os, sys, urllib.request
urllib.request.urlopen(urllib.request.Request(sys.argv[1], os.fsencode(sys.argv[2]),
                       {"Content-Type": "application/json"}), timeout=10).read()' \
    "http://127.0.0.1:$port$1" "$2" >/dev/null
}

# The demo's appointment comes up later, on a step of its own.
admin /admin/appointment '{"id": 400, "startInMinutes": 600}'

wine "$exe" >"$profile/program.out" 2>&1 &
program_pid=$!
echo "Started TovelaNotifier.exe without settings: its settings window comes up empty."
wait_for 60 form_showing
capture TovelaNotifierForm "Tovela Notifier" 01-settings-empty.png

echo "Filling it in as a user would: server, no secure connection (the fake server speaks"
echo "plain HTTP), user name and password; then OK."
form=(TovelaNotifierForm "Tovela Notifier")
probe set-text "${form[@]}" 1001 "127.0.0.1:$port"
probe click "${form[@]}" 1009
probe set-text "${form[@]}" 1003 demo
probe set-text "${form[@]}" 1005 demo
capture "${form[@]}" 02-settings-filled.png
probe click "${form[@]}" 1
wait_for 60 logged_in
echo "It logged in; it asks once whether to be the default mail program (answered No):"
probe dialog "デフォルトのメールアプリケーションとして設定" >/dev/null
capture "#32770" "*" 03-mail-program-question.png
probe dialog "デフォルトのメールアプリケーションとして設定" 7 >/dev/null
wait_for 30 form_hidden
echo "It went to the notification area and tells what is unread:"
wait_for 60 balloon_showing
shot 04-logged-in.png
# The next balloon must be the new mail's, not this one still showing.
wait_for 90 balloon_gone

echo "A mail arrives on the server; the tray menu's 新着メールを確認 finds it at once:"
admin /admin/mail '{"folder": 2, "from": {"address": "boss@example.test", "personal": "上司"},
                    "subject": "至急: 見積もり", "unread": true}'
# The tray icon's right click, as the shell reports it to the program.
probe tray rbuttonup
capture "#32768" "*" 05-tray-menu.png
shot 06-tray-menu-on-the-desktop.png
probe pick-menu "#2"
wait_for 60 balloon_showing
shot 07-new-mail.png

echo "An appointment moves to ten minutes from now: its reminder gets an icon and a balloon:"
wait_for 90 balloon_gone
admin /admin/appointment '{"id": 400, "startInMinutes": 10}'
probe tray rbuttonup
probe pick-menu "#2"
wait_for 60 balloon_showing
shot 08-reminder.png

echo "What the program asked the server:"
grep -o '"method":"[A-Z]*","path":"[^"]*"' "$profile/requests.log" | sort | uniq -c | sed 's/^/  /'
echo "Screenshots: $shots/"
if [ -t 0 ] && [ -z "$xvfb_pid" ]; then
  echo "The program runs on in the Wine desktop window: right click its tray icon for the"
  echo "menu, 終了 ends it. Press Ctrl+C here to end everything."
  wait "$program_pid" || true
fi
