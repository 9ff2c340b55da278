#!/usr/bin/env bash
# Builds the Windows program and its test suites with MinGW-w64 and runs the suites under
# Wine: in a throw-away prefix, on a virtual X display of their own (the mailbox window
# needs a display driver), with the fake server on the loopback address for the HTTP
# tests. Then the end-to-end run: the program in a Wine virtual desktop of a second fresh
# prefix against the fake server, then a person's use of it (settings window, tray menu,
# webmail, reminders) in a third, and mail from other programs and Send To in a fourth
# (tests/wine/; screenshots and logs are left in build/windows/e2e/). Every wait is
# bounded, so a hung Wine fails the run instead of stopping it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset windows >/dev/null
cmake --build --preset windows
echo "Windows build: $(ls build/windows/src/TovelaNotifier.exe build/windows/TovelaNotifier-*-win64.zip build/windows/TovelaNotifier-*-setup.exe)"
echo "Companion library: $(ls build/windows/companion/tnmapi32.dll build/windows/companion/x86/tnmapi32.dll)"
# The fake server and the end-to-end driver are Linux programs.
cmake --preset linux >/dev/null
cmake --build --preset linux --target tovela_fake_server tovela_wine_e2e

work=$(mktemp -d /tmp/tovela-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installers: the suites need neither .NET nor the HTML engine.
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid="" server_pid=""
cleanup() {
  # The prefixes' wineservers and desktop processes outlive the tests; end them before the
  # display they are connected to.
  for prefix in "$work/prefix" "$work/e2e-prefix" "$work/tray-prefix" "$work/submission/prefix" \
                "$work/integration/prefix" "$work/installer/prefix"; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
  done
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb writes its display number to -displayfd once it accepts connections.
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log"; }
xvfb_pid=$XVFB_PID
if ! read -r -t 30 -u "${XVFB[0]}" display; then
  echo "Xvfb did not start within 30 s:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$display"

mkdir -p "$WINEPREFIX"
echo "Creating a Wine prefix (at most 300 s)..."
if ! timeout -k 10 300 wine wineboot -i >"$work/wineboot.log" 2>&1 ||
   ! timeout -k 10 300 wineserver -w; then
  echo "Wine prefix not ready within 300 s:" >&2
  cat "$work/wineboot.log" >&2
  exit 1
fi

# Prefixes untouched by the suites for the end-to-end runs.
cp -a "$WINEPREFIX" "$work/e2e-prefix"
cp -a "$WINEPREFIX" "$work/tray-prefix"
# Autorun off there: the run ends the program and then looks at the desktop again, and
# Wine's next start of the prefix would start the program anew from the Run value it
# writes. The integration and setup tests set the option themselves.
if ! WINEPREFIX="$work/e2e-prefix" timeout 60 wine reg add \
       'HKCU\Software\VB and VBA Program Settings\NotificadorTovela\Settings' \
       /v AutoRun /d 0 /f >/dev/null 2>&1 ||
   ! WINEPREFIX="$work/e2e-prefix" timeout 60 wineserver -w; then
  echo "Could not prepare the end-to-end prefix" >&2
  exit 1
fi

build/linux/tools/fake-server/tovela-fake-server --port 0 --port-file "$work/server.port" \
  --scenario tools/fake-server/scenarios/demo.json --log "$work/server.log" >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/server.port" ] && break; sleep 0.1; done
if [ ! -s "$work/server.port" ]; then
  echo "The fake server did not start:" >&2
  cat "$work/server.out" >&2
  exit 1
fi
export TOVELA_FAKE_SERVER="127.0.0.1:$(cat "$work/server.port")"

# The numbers of a suite's closing lines ("[==========] N tests from ... ran.",
# "[  PASSED  ] N tests.", "[  SKIPPED ] N tests."); the brief output lists failed tests
# without counting them. 0 when the line is missing.
count() {
  local n
  n=$(tr -d '\r' <"$2" | sed -n "s/^\[ *$1 *\] \([0-9][0-9]*\) tests\{0,1\}[ .,].*/\1/p" | tail -1)
  echo "${n:-0}"
}

passed=0 failed=0 skipped=0 broken=()
# Runs one GoogleTest program, bounded by `limit` seconds, and adds its numbers to the
# totals: run_suite NAME LIMIT COMMAND...
run_suite() {
  local name=$1 limit=$2 log="$work/$1.log" rc=0
  shift 2
  echo "== $name"
  # Into a file rather than a pipe: a Wine process left behind cannot hold the run open.
  timeout -k 10 "$limit" "$@" --gtest_brief=1 >"$log" 2>&1 || rc=$?
  tr -d '\r' <"$log"
  # A suite that crashed or hung has no summary of its own.
  if ! grep -q '^\[==========\] .* ran\.' "$log"; then
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
      broken+=("$name: no result within $limit s")
    else
      broken+=("$name: ended without a summary (exit $rc)")
    fi
    return
  fi
  local ran ok skip
  ran=$(count "=*" "$log") ok=$(count PASSED "$log") skip=$(count SKIPPED "$log")
  passed=$((passed + ok)) skipped=$((skipped + skip)) failed=$((failed + ran - ok - skip))
  # A failing test is reason enough for a non-zero exit; any other is a problem of its own.
  [ "$rc" -eq 0 ] || [ "$ran" -gt $((ok + skip)) ] || broken+=("$name: exit $rc")
}

for suite in tovela_unit_tests tovela_backend_tests; do
  run_suite "$suite" 300 wine "build/windows/tests/$suite.exe"
done
# The companion mail library in both its builds, each beside its tests (the 32-bit one
# runs on Wine's 32-bit side), with tovela-sendmail.exe beside the 64-bit one.
run_suite tnmapi32_tests 120 wine build/windows/companion/tnmapi32_tests.exe
run_suite tnmapi32_tests_x86 120 wine build/windows/companion/x86/tnmapi32_tests.exe
timeout 30 wineserver -k >/dev/null 2>&1 || true

WINEPREFIX="$work/e2e-prefix" TOVELA_WINDOWS_BUILD="$PWD/build/windows" \
  run_suite end-to-end 600 build/linux/tests/tovela_wine_e2e --gtest_filter='WineEndToEndTest.*'
# One virtual desktop on the display at a time.
WINEPREFIX="$work/e2e-prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
# Mail handed over by programs through Simple MAPI and by Send To, in a copy of the tray
# prefix taken before that run changes it (after the end-to-end run, which empties e2e/).
WINEPREFIX="$work/tray-prefix" TOVELA_WINDOWS_BUILD="$PWD/build/windows" \
  run_suite submission 180 build/linux/tests/tovela_wine_e2e --gtest_filter='SubmissionWineTest.*'
if [ -d "$work/submission/prefix" ]; then
  WINEPREFIX="$work/submission/prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
fi
WINEPREFIX="$work/tray-prefix" TOVELA_WINDOWS_BUILD="$PWD/build/windows" \
  run_suite tray-and-settings 600 build/linux/tests/tovela_wine_e2e \
  --gtest_filter='TrayAndSettingsTest.*'
WINEPREFIX="$work/tray-prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
# The registration and the setup program, each in a copy of the first run's prefix.
WINEPREFIX="$work/e2e-prefix" TOVELA_WINDOWS_BUILD="$PWD/build/windows" \
  run_suite integration-and-setup 600 build/linux/tests/tovela_wine_e2e \
  --gtest_filter='IntegrationWineTest.*:InstallerWineTest.*'
echo "End-to-end screenshots and logs: build/windows/e2e/"

for problem in "${broken[@]}"; do echo "$problem" >&2; done
echo "Wine: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && [ ${#broken[@]} -eq 0 ]
