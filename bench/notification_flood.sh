#!/usr/bin/env bash
# Floods a running Tucklet with test commands and review requests, valid and malformed, as fast as
# dbus-send sends them, and reports its resident memory before, right after and 5 s after the
# flood, whether the last smoke report is valid JSON, and how long a SIGTERM then takes to end it.
# Usage: bench/notification_flood.sh [COUNT] (COUNT of each kind, default 10000). Runs on a private
# session bus, with the program of TUCKLET_BUILD_DIR (default build/). With TUCKLET_FLOOD_JSON set,
# the figures are also written there as one JSON object (scripts/bench puts them in its table).
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${TUCKLET_FLOOD_INNER:-}" ]; then
  exec env TUCKLET_FLOOD_INNER=1 dbus-run-session -- "$0" "$@"
fi
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/defaults"
python3 - "$work/defaults" <<'PY'
import plistlib, sys
with open(f"{sys.argv[1]}/local.quenby.Quiverly.plist", "wb") as f:
    plistlib.dump({"setupComplete": True}, f, fmt=plistlib.FMT_BINARY)
PY
TUCKLET_DEFAULTS_DIR="$work/defaults" "${TUCKLET_BUILD_DIR:-build}/tucklet" --smoke-test "$work/report.json" \
  --ux-review "$work/review" --sim-do 'setScreenCaptureApproved true@0' 2>/dev/null &
pid=$!
for _ in $(seq 200); do [ -e "$work/report.json" ] && break; sleep 0.05; done
rss() { awk '/VmRSS/ {print $2}' "/proc/$pid/status"; }
before=$(rss)
send() {
  dbus-send --session --type=signal /org/tucklet/DistributedNotificationCenter \
    org.tucklet.DistributedNotificationCenter.Notification "$@"
}
commands=(diagnose reveal collapse picker close-menu tab-items open-first wait-collapse)
start=$(date +%s.%N)
for i in $(seq "$count"); do
  send "string:local.quenby.Quiverly.test.${commands[$((i % ${#commands[@]}))]}"
  case $((i % 4)) in
    0) send string:local.quenby.Quiverly.ux string:json "string:{\"name\": \"flood\"}" ;;
    1) send string:local.quenby.Quiverly.ux string:json "string:not json $i" ;;
    2) send string:local.quenby.Quiverly.ux string:json "string:{\"action\": \"key\", \"code\": 99999}" ;;
    3) send string:local.quenby.Quiverly.ux string:json "string:{\"action\": \"move\", \"x\": $((i % 1500)), \"y\": 300, \"name\": \"move\"}" ;;
  esac
done
sent=$(python3 -c "import time; print(round(time.time() - $start, 1))")
after=$(rss)
sleep 5
settled=$(rss)
alive=$(kill -0 "$pid" 2>/dev/null && echo yes || echo no)
valid=$(python3 -c "import json,sys; json.load(open('$work/report.json')); print('yes')" 2>/dev/null || echo no)
stop=$(date +%s.%N)
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
stopped=$(python3 -c "import time; print(round(time.time() - $stop, 2))")
echo "flood: $count commands + $count review requests in ${sent}s; running afterwards: $alive;" \
  "RSS before $before kB, after $after kB, 5 s later $settled kB; last report valid JSON: $valid;" \
  "SIGTERM to exit ${stopped}s"
if [ -n "${TUCKLET_FLOOD_JSON:-}" ]; then
  printf '{"count": %s, "sendSeconds": %s, "alive": %s, "validReport": %s, "rssBeforeKB": %s, "rssAfterKB": %s, "rssSettledKB": %s, "termSeconds": %s}\n' \
    "$count" "$sent" "$([ "$alive" = yes ] && echo true || echo false)" \
    "$([ "$valid" = yes ] && echo true || echo false)" "${before:-0}" "${after:-0}" "${settled:-0}" \
    "$stopped" >"$TUCKLET_FLOOD_JSON"
fi
