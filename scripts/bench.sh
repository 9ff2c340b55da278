#!/usr/bin/env bash
# Builds and runs the benchmarks (Linux build). They report, they do not judge.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target tovela_bench tovela_fake_server
build/linux/bench/tovela_bench "$@"
