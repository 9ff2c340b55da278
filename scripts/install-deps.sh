#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need; does nothing when all are there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libxml2-dev libcurl4-openssl-dev libboost1.81-dev
  libcpp-httplib-dev nlohmann-json3-dev libssl-dev zlib1g-dev libz-mingw-w64-dev
  zip unzip curl
  # The fuzz build: clang over libstdc++, its sanitizer and libFuzzer runtimes, and
  # llvm-symbolizer for readable reports.
  clang libclang-rt-14-dev llvm
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 wine32:i386 xvfb fonts-ipafont-gothic nsis
  locales
)

# The 32-bit companion mail library is tested under 32-bit Wine (about a minute more).
# locales: the sources from which the submission tests compile a Japanese locale for Wine.
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
