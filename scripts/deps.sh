#!/usr/bin/env bash
# Cross-builds the third-party libraries from Debian source packages for the Windows
# targets (and RNNoise, TinyXML and TinyXML-2 natively). Each part (x86_64, i686, native)
# is cached on its own outside the checkout, keyed by the hash of this script, so that a
# later call for more parts builds only those; build/deps links to the cache.
# Usage: scripts/deps.sh [x86_64|i686|native ...]   (default: all three)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KEY="$(sha256sum "$ROOT/scripts/deps.sh" | cut -c1-16)"
CACHE="${KIV_DEPS_CACHE:-/var/cache/parleywright-deps}"
OUT="$CACHE/$KEY"
parts=("$@"); ((${#parts[@]})) || parts=(x86_64 i686 native)
for p in "${parts[@]}"; do
  case "$p" in x86_64 | i686 | native) ;; *) echo "deps: unknown part $p" >&2; exit 2 ;; esac
done
mkdir -p "$ROOT/build" "$OUT"
ln -sfn "$OUT" "$ROOT/build/deps"
# One build of this cache at a time; a second caller waits and then finds its parts done.
exec 9>"$OUT/.lock"
flock 9
todo=()
for p in "${parts[@]}"; do [ -f "$OUT/.complete-$p" ] || todo+=("$p"); done
if ((${#todo[@]} == 0)); then
  echo "deps: cached at $OUT (${parts[*]})"
  exit 0
fi
WORK="$(mktemp -d "$OUT/work.XXXXXX")"
chmod 755 "$WORK"  # apt-get fetches as _apt
JOBS="$(nproc)"

# Private apt state with deb-src entries derived from the machine's own sources.
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
(cd "$SRC" && "${APT[@]}" -qq source curl tinyxml tinyxml2 libyuv obs-studio >/dev/null 2>&1)
CURL_SRC="$(ls -d "$SRC"/curl-*/ | head -1)"
TINYXML_SRC="$(ls -d "$SRC"/tinyxml-*/ | head -1)"
TINYXML2_SRC="$(ls -d "$SRC"/tinyxml2-*/ | head -1)"
YUV_SRC="$(ls -d "$SRC"/libyuv-*/ | head -1)"
RNN_SRC="$(ls -d "$SRC"/obs-studio-*/ | head -1)plugins/obs-filters/rnnoise"

build_curl() { # triple prefix
  local t="$1" p="$2" b="$WORK/curl-$1"
  rm -rf "$b"; cp -a "$CURL_SRC" "$b"
  (cd "$b" && ./configure -q --host="$t" --prefix="$p" --with-schannel --disable-shared --enable-static \
      --disable-ldap --disable-ldaps --disable-rtsp --disable-dict --disable-telnet --disable-tftp \
      --disable-pop3 --disable-imap --disable-smtp --disable-gopher --disable-mqtt --disable-smb \
      --disable-ftp --disable-file --disable-manual --disable-docs \
      --without-zlib --without-brotli --without-zstd --without-libidn2 --without-libpsl \
      --without-nghttp2 --without-libssh2 >/dev/null &&
   make -s -C lib -j"$JOBS" >/dev/null && make -s -C lib install >/dev/null && make -s -C include install >/dev/null)
}

build_small() { # triple prefix cc cxx extra-flags
  local t="$1" p="$2" cc="$3" cxx="$4" fl="$5" b="$WORK/small-$1"
  mkdir -p "$b/tinyxml" "$b/rnnoise" "$p/include/tinyxml" "$p/include/rnnoise" "$p/lib"
  for f in tinyxml tinystr tinyxmlerror tinyxmlparser; do
    $cxx $fl -O2 -DTIXML_USE_STL -c "$TINYXML_SRC/$f.cpp" -o "$b/tinyxml/$f.o"
  done
  ${t:+$t-}ar rcs "$p/lib/libtinyxml.a" "$b"/tinyxml/*.o
  cp "$TINYXML_SRC"/tinyxml.h "$TINYXML_SRC"/tinystr.h "$p/include/tinyxml/"
  for f in "$RNN_SRC"/src/*.c; do
    $cc $fl -O2 -DCOMPILE_OPUS -I"$RNN_SRC/include" -I"$RNN_SRC/src" -c "$f" -o "$b/rnnoise/$(basename "$f" .c).o"
  done
  ${t:+$t-}ar rcs "$p/lib/librnnoise.a" "$b"/rnnoise/*.o
  cp "$RNN_SRC"/include/rnnoise.h "$p/include/rnnoise/"
}

build_cmake_lib() { # triple prefix name srcdir target extra...
  local t="$1" p="$2" n="$3" s="$4" tgt="$5"; shift 5
  local b="$WORK/$n-$t"
  cmake -S "$s" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$t.cmake" -DCMAKE_INSTALL_PREFIX="$p" "$@" >/dev/null
  cmake --build "$b" --target "$tgt" >/dev/null
}

build_native() {
  local p="$OUT/native"
  mkdir -p "$p/include" "$p/lib"
  build_small "" "$p" gcc g++ "-fPIC"
  g++ -O2 -fPIC -c "$TINYXML2_SRC/tinyxml2.cpp" -o "$WORK/tinyxml2-native.o"
  ar rcs "$p/lib/libtinyxml2.a" "$WORK/tinyxml2-native.o"
  cp "$TINYXML2_SRC/tinyxml2.h" "$p/include/"
}

build_tinyxml2() { # triple prefix
  build_cmake_lib "$1" "$2" tinyxml2 "$TINYXML2_SRC" tinyxml2 -DBUILD_SHARED_LIBS=OFF -Dtinyxml2_BUILD_TESTING=OFF
  cp "$WORK/tinyxml2-$1/libtinyxml2.a" "$2/lib/"; cp "$TINYXML2_SRC/tinyxml2.h" "$2/include/"
}

build_yuv() { # triple prefix flags
  build_cmake_lib "$1" "$2" yuv "$YUV_SRC" yuv -DCMAKE_CXX_FLAGS="$3" -DCMAKE_C_FLAGS="$3"
  cp "$WORK/yuv-$1/libyuv.a" "$2/lib/"; cp -r "$YUV_SRC/include/libyuv" "$YUV_SRC/include/libyuv.h" "$2/include/"
}

build_target() { # triple
  local t="$1" p="$OUT/$1" fl="" pids=() ok=0 pid log
  [ "$t" = i686-w64-mingw32 ] && fl="-msse2 -mfpmath=sse"
  mkdir -p "$p/include" "$p/lib"
  # The libraries do not depend on each other (curl's configure alone takes minutes).
  build_small "$t" "$p" "$t-gcc-posix" "$t-g++-posix" "$fl" > "$WORK/log-small-$t" 2>&1 &
  pids+=($!)
  build_tinyxml2 "$t" "$p" > "$WORK/log-tinyxml2-$t" 2>&1 &
  pids+=($!)
  build_yuv "$t" "$p" "$fl" > "$WORK/log-yuv-$t" 2>&1 &
  pids+=($!)
  CFLAGS="-O2 $fl" build_curl "$t" "$p" > "$WORK/log-curl-$t" 2>&1 &
  pids+=($!)
  for pid in "${pids[@]}"; do wait "$pid" || ok=1; done
  [ $ok = 0 ] || for log in "$WORK"/log-*-"$t"; do echo "== $log"; tail -20 "$log"; done
  return $ok
}

echo "deps: building ${todo[*]} into $OUT (a few minutes, once)"
declare -A pid
for p in "${todo[@]}"; do
  case "$p" in
    x86_64) rm -rf "$OUT/x86_64-w64-mingw32"; build_target x86_64-w64-mingw32 > "$WORK/$p.log" 2>&1 & ;;
    i686) rm -rf "$OUT/i686-w64-mingw32"; build_target i686-w64-mingw32 > "$WORK/$p.log" 2>&1 & ;;
    native) rm -rf "$OUT/native"; build_native > "$WORK/$p.log" 2>&1 & ;;
  esac
  pid[$p]=$!
done
ok=1
for p in "${todo[@]}"; do
  if wait "${pid[$p]}"; then touch "$OUT/.complete-$p"; else ok=0; tail -30 "$WORK/$p.log"; fi
done
[ $ok = 1 ] || { echo "deps: build failed (logs in $WORK)"; exit 1; }
rm -rf "$WORK"
echo "deps: done"
