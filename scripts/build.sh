#!/usr/bin/env bash
# Configures and builds the three trees: build/x64 (runs under wine64), build/x86 (the
# 32-bit target, build only) and build/native (pure logic, server, fuzzers, benchmarks).
# Usage: scripts/build.sh [x64|x86|native ...]   (default: all three)
# KIV_TAG=name gives a private set of trees (build/name-x64 ...), e.g. for parallel work.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
trees=("$@"); ((${#trees[@]})) || trees=(native x64 x86)
for t in "${trees[@]}"; do
  case "$t" in
    x64) tc=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-w64-mingw32.cmake") ;;
    x86) tc=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-w64-mingw32.cmake") ;;
    native) tc=() ;;
    *) echo "build: unknown tree $t"; exit 2 ;;
  esac
  b="$ROOT/build/${KIV_TAG:+$KIV_TAG-}$t"
  if [ ! -f "$b/build.ninja" ]; then
    cmake -S "$ROOT" -B "$b" -G Ninja "${tc[@]}" >/dev/null
  fi
  echo "build: $t"
  cmake --build "$b"
done
