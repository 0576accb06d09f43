#!/usr/bin/env bash
# Configures and builds the trees: build/x64 (runs under wine64), build/x86 (the 32-bit
# target, build only), build/native (pure logic, server, fuzzers, benchmarks), and the
# native tests under sanitizers: build/asan (AddressSanitizer with UndefinedBehaviorSanitizer)
# and build/tsan (ThreadSanitizer).
# Usage: scripts/build.sh [x64|x86|native|asan|tsan ...]   (default: all five)
# A tree may name the targets to build: native:meeting_server x64:Parleywright,kiv_sdk
# (default: all of the tree).
# KIV_TAG=name gives a private set of trees (build/name-x64 ...), e.g. for parallel work.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
trees=("$@"); ((${#trees[@]})) || trees=(native x64 x86 asan tsan)
for spec in "${trees[@]}"; do
  t="${spec%%:*}"
  targets=()
  if [ "$spec" != "$t" ]; then IFS=, read -r -a targets <<<"${spec#*:}"; fi
  case "$t" in
    x64) tc=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-w64-mingw32.cmake") ;;
    x86) tc=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-w64-mingw32.cmake") ;;
    native) tc=() ;;
    asan) tc=(-DKIV_SANITIZE=address) ;;
    tsan) tc=(-DKIV_SANITIZE=thread) ;;
    *) echo "build: unknown tree $t"; exit 2 ;;
  esac
  b="$ROOT/build/${KIV_TAG:+$KIV_TAG-}$t"
  if [ ! -f "$b/build.ninja" ]; then
    cmake -S "$ROOT" -B "$b" -G Ninja "${tc[@]}" >/dev/null
  fi
  echo "build: $t${targets[*]:+ (${targets[*]})}"
  cmake --build "$b" ${targets[@]:+--target "${targets[@]}"}
done
