#!/usr/bin/env bash
# A send over a slow network, side by side with curl: the loopback SMTP server
# (tests/support/smtp_server.py: STARTTLS required, AUTH LOGIN) behind bench/delay_proxy.py,
# which holds every chunk 25 ms each way (a 50 ms round trip). One small message to three
# recipients, from our sender (bench/smtp_send_driver, TDevice.SendMail) and from
# `curl --ssl-reqd` uploading the very message ours sent (AUTH LOGIN forced), with and
# without PIPELINING announced by the server. Prints the median wall time of $RUNS sends
# and the round trips the proxy counted (the client's turns to speak that the server
# answered). Our sender speaks TLS 1.2 at most, whose full handshake costs one round trip
# more than the TLS 1.3 handshake curl makes.
#
# Usage: bench/send_over_delay.sh            (builds the linux-release preset first)
#        BUILD_DIR=build/x bench/send_over_delay.sh   (uses an existing Release build there)
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
DELAY_MS=${DELAY_MS:-25}
source bench/bench_lib.sh
use_bench_driver smtp_send_driver

printf '<html><body><p>Benchmark message</p></body></html>\n' >"$work/body.html"
recipients=(a@bench.test b@bench.test c@bench.test)

ours() {
  "$DRIVER" 127.0.0.1 "$proxy_port" bench bench-pass "Bench <from@bench.test>" \
    "a@bench.test; b@bench.test; c@bench.test" "$work/body.html" >/dev/null
}

theirs() {
  local rcpt=()
  for r in "${recipients[@]}"; do rcpt+=(--mail-rcpt "$r"); done
  curl -sS --ssl-reqd -k --url "smtp://127.0.0.1:$proxy_port" --user bench:bench-pass --login-options AUTH=LOGIN \
    --mail-from from@bench.test "${rcpt[@]}" --upload-file "$work/message.eml" >/dev/null
}

# run LABEL COMMAND: $RUNS sends; prints the median wall time and the round trips of
# the last connection.
run() {
  local label=$1 cmd=$2 times=()
  for _ in $(seq "$RUNS"); do
    local start end
    start=$(date +%s.%N)
    "$cmd"
    end=$(date +%s.%N)
    times+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')")
  done
  sleep 0.2  # the proxy writes its line once both sides have closed
  local median trips
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((RUNS + 1) / 2))p")
  trips=$(tail -1 "$stats" | /usr/bin/python3 -c 'import json,sys; print(json.load(sys.stdin)["round_trips"])')
  printf '  %-16s %6.0f ms  %3d round trips\n' "$label" "$(awk -v m="$median" 'BEGIN { print m * 1000 }')" "$trips"
}

echo "STARTTLS + AUTH LOGIN, one message to 3 recipients, ${DELAY_MS} ms each way; median of $RUNS sends"
for mode in plain pipelining; do
  switches=()
  [[ $mode == pipelining ]] && switches=(--pipelining)
  start_server "$mode" "${switches[@]}"
  start_proxy "$mode"
  if [[ ! -s "$work/message.eml" ]]; then
    # The message curl uploads: exactly what our sender delivered.
    ours
    wait_for "$work/$mode.mail/1.eml"
    cp "$work/$mode.mail/1.eml" "$work/message.eml"
  fi
  if [[ $mode == pipelining ]]; then echo "PIPELINING announced"; else echo "PIPELINING not announced"; fi
  run smtp_send_driver ours
  run curl theirs
done
