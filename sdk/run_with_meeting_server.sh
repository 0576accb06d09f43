#!/usr/bin/env bash
# Runs a Windows test program under wine64 against a private meeting_server on loopback.
# Usage: run_with_meeting_server.sh <meeting_server> <program.exe> [arguments...]
# The program finds the server in KIV_HOSTS_SERVER ("127.0.0.1:<http port>"), the
# application in KIV_HOSTS_APP and an access token per test user in KIV_HOSTS_TOKEN_<user>.
# Exits 77 (skipped) when the server has not been built (it comes from the native tree).
set -u
server="$1"; shift
if [ ! -x "$server" ]; then
  echo "meeting_server not built: $server (build the native tree first)"
  exit 77
fi
app=hostsapp1
secret=0123456789abcdef
# The fixed initialisation vector of the token cipher, shared with the server's check.
iv=3a915c07e42b68d01fa673be450c992e

dir="$(mktemp -d)"
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

printf '{"apps":[{"app_id":"%s","secret":"%s"}]}\n' "$app" "$secret" >"$dir/apps.json"
"$server" --config "$dir/apps.json" --bind 127.0.0.1 --port 0 --http-port 0 \
  --port-file "$dir/ports.json" >"$dir/server.log" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -s "$dir/ports.json" ] && break; sleep 0.1; done
if [ ! -s "$dir/ports.json" ]; then
  echo "meeting_server did not start:"; cat "$dir/server.log"
  exit 1
fi
http="$(sed -E 's/.*"http":([0-9]+).*/\1/' "$dir/ports.json")"

# "001" + Base64(AES-128-CBC(JSON padded with spaces to whole blocks)), keyed with the secret.
token() {
  local plain key
  plain="{\"aid\":\"$app\",\"uid\":\"$1\",\"ts\":12345,\"r\":678}"
  while [ $(( ${#plain} % 16 )) -ne 0 ]; do plain="$plain "; done
  key="$(printf '%s' "$secret" | od -An -tx1 | tr -d ' \n')"
  printf '001%s' "$(printf '%s' "$plain" | openssl enc -aes-128-cbc -K "$key" -iv "$iv" -nopad | base64 -w0)"
}

export KIV_HOSTS_SERVER="127.0.0.1:$http" KIV_HOSTS_APP="$app"
for user in alice bob carol; do export "KIV_HOSTS_TOKEN_$user=$(token "$user")"; done
/usr/lib/wine/wine64 "$@"
status=$?
if [ "$status" -ne 0 ]; then echo "--- meeting_server log"; cat "$dir/server.log"; fi
exit "$status"
