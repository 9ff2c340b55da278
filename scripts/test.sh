#!/usr/bin/env bash
# Installs what is missing, builds the Linux and Windows builds, and runs every test:
# the Linux suites plainly and again under AddressSanitizer and UndefinedBehaviorSanitizer
# in the clang build, with a 30-second run of each fuzz target, then the Windows suites
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux -j2

cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz
ctest --preset linux-fuzz -j2
bash scripts/fuzz.sh --smoke

bash scripts/test-windows.sh
