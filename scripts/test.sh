#!/usr/bin/env bash
# Installs what is missing, builds the Linux and Windows builds, and runs every test:
# the Linux suites plainly and again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the Windows suites under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux -j2

cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan
ctest --preset linux-asan -j2

bash scripts/test-windows.sh
