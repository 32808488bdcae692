#!/usr/bin/env bash
# Many small messages through one driver object, side by side with Python's smtplib, to
# the loopback SMTP server (tests/support/smtp_server.py: aiosmtpd, STARTTLS required,
# AUTH LOGIN).
#
# 1. Rate: $COUNT messages (1000 by default) from bench/smtp_bulk_driver (one TDevice,
#    SendMail after SendMail) with SmtpKeepAlive 0 and 30, and from smtplib sending the
#    very message ours delivered on one connection and on a new connection each
#    (STARTTLS and login each time). Messages a second, the median of $RUNS runs, and the
#    driver's CPU time (user + system) a message.
# 2. Round trips a message through bench/delay_proxy.py (25 ms each way), with and
#    without PIPELINING announced: with keep-alive, (R(10) - R(1)) / 9 from the round
#    trips of one connection carrying 10 messages and of one carrying 1; without, the
#    round trips of a send's whole connection.
#
# Usage: bench/bulk_send.sh            (builds the linux-release preset first)
#        BUILD_DIR=build/x bench/bulk_send.sh   (uses an existing Release build there)
set -euo pipefail
cd "$(dirname "$0")/.."

COUNT=${COUNT:-1000}
RUNS=${RUNS:-3}
DELAY_MS=${DELAY_MS:-25}
source bench/bench_lib.sh
use_bench_driver smtp_bulk_driver

ours() {  # PORT COUNT KEEP_ALIVE
  "$DRIVER" 127.0.0.1 "$1" bench bench-pass "Shop <shop@bench.test>" buyer@bench.test "$2" "$3"
}

smtplib_send() {  # PORT COUNT one|each
  /usr/bin/python3 - "$1" "$2" "$3" "$work/message.eml" <<'PY'
import json, smtplib, ssl, sys, time
port, count, mode, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
message = open(path, "rb").read()
context = ssl.create_default_context()
context.check_hostname = False
context.verify_mode = ssl.CERT_NONE
def connect():
    s = smtplib.SMTP("127.0.0.1", port)
    s.starttls(context=context)
    s.login("bench", "bench-pass")
    return s
start = time.perf_counter()
cpu = time.process_time()
s = connect()
for i in range(count):
    if mode == "each" and i > 0:
        s.quit()
        s = connect()
    s.sendmail("shop@bench.test", ["buyer@bench.test"], message)
s.quit()
print(json.dumps({"messages": count, "seconds": time.perf_counter() - start, "cpu_seconds": time.process_time() - cpu}))
PY
}

# rate LABEL COMMAND...: the median rate of $RUNS runs, and the CPU time a message.
rate() {
  local label=$1
  shift
  local lines=()
  for _ in $(seq "$RUNS"); do lines+=("$("$@")"); done
  printf '%s\n' "${lines[@]}" | /usr/bin/python3 -c '
import json, statistics, sys
runs = [json.loads(l) for l in sys.stdin if l.strip()]
rates = [r["messages"] / r["seconds"] for r in runs]
cpu = statistics.median(r["cpu_seconds"] / r["messages"] for r in runs)
print("  %-34s %7.0f messages/s (min %.0f, max %.0f)   client CPU %6.0f us a message" %
      (sys.argv[1], statistics.median(rates), min(rates), max(rates), cpu * 1e6))' "$label"
}

start_server rate --pipelining
# The message smtplib sends: exactly what our driver delivered.
ours "$port" 1 0 >/dev/null
wait_for "$work/rate.mail/1.eml"
cp "$work/rate.mail/1.eml" "$work/message.eml"
echo "$COUNT messages of $(stat -c %s "$work/message.eml") bytes, STARTTLS + AUTH, loopback, median of $RUNS runs"
rate "driver, SmtpKeepAlive 30" ours "$port" "$COUNT" 30
rate "smtplib, one connection" smtplib_send "$port" "$COUNT" one
rate "driver, SmtpKeepAlive 0" ours "$port" "$COUNT" 0
rate "smtplib, a new connection each" smtplib_send "$port" "$COUNT" each

echo "Round trips a message, ${DELAY_MS} ms each way"
for mode in pipelining plain; do
  switches=()
  [[ $mode == pipelining ]] && switches=(--pipelining)
  start_server "trips-$mode" "${switches[@]}"
  start_proxy "trips-$mode"
  ours "$proxy_port" 1 30 >/dev/null
  ours "$proxy_port" 10 30 >"$work/ten.json"
  ours "$proxy_port" 1 0 >/dev/null
  sleep 0.5  # the proxy writes its line once both sides have closed
  /usr/bin/python3 - "$stats" "$mode" "$work/ten.json" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
one, ten, alone = (l["round_trips"] for l in lines[:3])
seconds = json.load(open(sys.argv[3]))["seconds"]
print("  %-22s keep-alive: %.1f a message (10 messages on one connection: %d, %.0f ms a message); "
      "SmtpKeepAlive 0: %d a message" % ("PIPELINING" if sys.argv[2] == "pipelining" else "no PIPELINING",
                                         (ten - one) / 9, ten, seconds * 100, alone))
PY
done
