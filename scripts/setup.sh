#!/usr/bin/env bash
# Installs the Debian packages the project needs, then the cross-built dependencies: for
# the Windows targets named (x86_64, i686; default both) and natively.
# Usage: scripts/setup.sh [x86_64|i686 ...]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

mapfile -t PKGS < <(grep -v '^\s*#' "$ROOT/scripts/packages.txt" | grep -v '^\s*$')
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

targets=("$@"); ((${#targets[@]})) || targets=(x86_64 i686)
# The two sets at once: each is mostly configure scripts, which run on one core.
"$ROOT/scripts/deps.sh" native "${targets[@]}" &
deps=$!
media=0
"$ROOT/scripts/deps_media.sh" "${targets[@]}" || media=$?
wait "$deps" || exit 1
exit "$media"
