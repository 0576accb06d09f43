#!/usr/bin/env bash
# Cross-builds the media libraries from Debian source packages for the Windows targets:
# OpenH264 (video), libopus (voice), SoundTouch (pitch), and FFmpeg's libavformat and
# libavcodec configured with only the mp4 muxer and the AAC encoder (recordings).
# The native tree uses the distribution's -dev packages instead. Cached like deps.sh:
# each target (x86_64, i686) on its own, keyed by the hash of this script, and linked to
# build/deps-media.
# Usage: scripts/deps_media.sh [x86_64|i686 ...]   (default: both)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KEY="$(sha256sum "$ROOT/scripts/deps_media.sh" | cut -c1-16)"
CACHE="${KIV_DEPS_CACHE:-/var/cache/parleywright-deps}"
OUT="$CACHE/media-$KEY"
parts=("$@"); ((${#parts[@]})) || parts=(x86_64 i686)
for p in "${parts[@]}"; do
  case "$p" in x86_64 | i686) ;; *) echo "deps-media: unknown part $p" >&2; exit 2 ;; esac
done
mkdir -p "$ROOT/build" "$OUT"
ln -sfn "$OUT" "$ROOT/build/deps-media"
exec 9>"$OUT/.lock"
flock 9
todo=()
for p in "${parts[@]}"; do [ -f "$OUT/.complete-$p" ] || todo+=("$p"); done
if ((${#todo[@]} == 0)); then
  echo "deps-media: cached at $OUT (${parts[*]})"
  exit 0
fi
WORK="$(mktemp -d "$OUT/work.XXXXXX")"
chmod 755 "$WORK"  # apt-get fetches as _apt
JOBS="$(nproc)"

APTD="$WORK/apt"; mkdir -p "$APTD/lists/partial" "$APTD/sources.d" "$APTD/cache/archives/partial"
if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
  for f in /etc/apt/sources.list.d/*.sources; do
    sed 's/^Types: deb$/Types: deb-src/' "$f" > "$APTD/sources.d/$(basename "$f")"
  done
fi
if [ -f /etc/apt/sources.list ]; then
  grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$APTD/sources.d/src.list" || true
fi
APT=(apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$APTD/sources.d"
     -o Dir::State::Lists="$APTD/lists" -o Dir::Cache="$APTD/cache")
"${APT[@]}" -qq update
SRC="$WORK/src"; mkdir -p "$SRC"
(cd "$SRC" && "${APT[@]}" -qq source openh264 opus ffmpeg soundtouch >/dev/null 2>&1)
H264_SRC="$(ls -d "$SRC"/openh264-*/ | head -1)"
OPUS_SRC="$(ls -d "$SRC"/opus-*/ | head -1)"
FFMPEG_SRC="$(ls -d "$SRC"/ffmpeg-*/ | head -1)"
ST_SRC="$(ls -d "$SRC"/soundtouch-*/ | head -1)"

build_openh264() { # triple prefix arch
  local t="$1" p="$2" b="$WORK/openh264-$1"
  rm -rf "$b"; cp -a "$H264_SRC" "$b"
  make -s -C "$b" -j"$JOBS" OS=mingw_nt ARCH="$3" CC="$t-gcc-posix" CXX="$t-g++-posix" \
    AR="$t-ar" libopenh264.a >/dev/null
  cp "$b/libopenh264.a" "$p/lib/"
  mkdir -p "$p/include/wels"; cp "$b"/codec/api/wels/*.h "$p/include/wels/"
}

build_opus() { # triple prefix flags
  local t="$1" p="$2" b="$WORK/opus-$1"
  rm -rf "$b"; cp -a "$OPUS_SRC" "$b"
  (cd "$b" && ./configure -q --host="$t" CC="$t-gcc-posix" CFLAGS="-O2 $3" --prefix="$p" \
      --disable-shared --enable-static --disable-doc --disable-extra-programs \
      --disable-stack-protector >/dev/null &&
   make -s -j"$JOBS" >/dev/null && make -s install >/dev/null)
}

build_soundtouch() { # triple prefix flags
  local t="$1" p="$2" b="$WORK/soundtouch-$1"
  cmake -S "$ST_SRC" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$t.cmake" -DCMAKE_CXX_FLAGS="$3" \
    -DSOUNDSTRETCH=OFF -DSOUNDTOUCH_DLL=OFF -DBUILD_SHARED_LIBS=OFF >/dev/null
  cmake --build "$b" --target SoundTouch >/dev/null
  cp "$b/libSoundTouch.a" "$p/lib/"
  mkdir -p "$p/include/soundtouch"; cp "$ST_SRC"/include/*.h "$p/include/soundtouch/"
}

build_ffmpeg() { # triple prefix arch flags
  local t="$1" p="$2" b="$WORK/ffmpeg-$1"
  rm -rf "$b"; mkdir -p "$b"
  (cd "$b" && "$FFMPEG_SRC/configure" --enable-cross-compile --cross-prefix="$t-" \
      --cc="$t-gcc-posix" --cxx="$t-g++-posix" --arch="$3" --target-os=mingw32 \
      --extra-cflags="$4" --prefix="$p" \
      --disable-everything --disable-programs --disable-doc --disable-autodetect \
      --disable-network --disable-debug --enable-static --disable-shared \
      --disable-swscale --disable-avdevice --disable-postproc --disable-avfilter \
      --disable-swresample --enable-muxer=mp4 --enable-encoder=aac --enable-protocol=file \
      --enable-parser=h264 --disable-x86asm >/dev/null &&
   make -s -j"$JOBS" >/dev/null 2>&1 && make -s install >/dev/null 2>&1)
}

build_target() { # triple arch-openh264 arch-ffmpeg
  local t="$1" p="$OUT/$1" fl="" pids=() ok=0 pid log
  [ "$t" = i686-w64-mingw32 ] && fl="-msse2 -mfpmath=sse"
  mkdir -p "$p/include" "$p/lib"
  # The libraries do not depend on each other (FFmpeg's configure alone takes minutes).
  build_opus "$t" "$p" "$fl" > "$WORK/log-opus-$t" 2>&1 &
  pids+=($!)
  build_soundtouch "$t" "$p" "$fl" > "$WORK/log-soundtouch-$t" 2>&1 &
  pids+=($!)
  build_openh264 "$t" "$p" "$2" > "$WORK/log-openh264-$t" 2>&1 &
  pids+=($!)
  build_ffmpeg "$t" "$p" "$3" "$fl" > "$WORK/log-ffmpeg-$t" 2>&1 &
  pids+=($!)
  for pid in "${pids[@]}"; do wait "$pid" || ok=1; done
  [ $ok = 0 ] || for log in "$WORK"/log-*-"$t"; do echo "== $log"; tail -20 "$log"; done
  return $ok
}

echo "deps-media: building ${todo[*]} into $OUT (several minutes, once)"
declare -A pid
for p in "${todo[@]}"; do
  case "$p" in
    x86_64) rm -rf "$OUT/x86_64-w64-mingw32"; build_target x86_64-w64-mingw32 x86_64 x86_64 > "$WORK/$p.log" 2>&1 & ;;
    i686) rm -rf "$OUT/i686-w64-mingw32"; build_target i686-w64-mingw32 i386 x86 > "$WORK/$p.log" 2>&1 & ;;
  esac
  pid[$p]=$!
done
ok=1
for p in "${todo[@]}"; do
  if wait "${pid[$p]}"; then touch "$OUT/.complete-$p"; else ok=0; tail -30 "$WORK/$p.log"; fi
done
[ $ok = 1 ] || { echo "deps-media: build failed (logs in $WORK)"; exit 1; }
rm -rf "$WORK"
echo "deps-media: done"
