#!/usr/bin/env bash
# End-to-end sending cost, side by side with curl, against the loopback SMTP server
# (tests/support/smtp_server.py: STARTTLS required, AUTH LOGIN):
#  1. CPU time (user + system) of sending one message with a 20 MB attachment: our
#     sender (bench/smtp_send_driver, TDevice.SendMail) and `curl --ssl-reqd` with the
#     same file as a MIME part. Best of $RUNS runs each. Then `curl --upload-file` of
#     the finished message our sender delivered: the cost of the transfer alone.
#  2. Peak resident memory of our sender with a 1 MB and with a 100 MB attachment, and
#     the growth between them.
#
# Usage: bench/send_vs_curl.sh            (builds the linux-release preset first)
#        BUILD_DIR=build/x bench/send_vs_curl.sh   (uses an existing Release build there)
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
source bench/bench_lib.sh
use_bench_driver smtp_send_driver
start_server send

head -c $((20 * 1024 * 1024)) /dev/urandom >"$work/20mb.bin"
head -c $((1 * 1024 * 1024)) /dev/urandom >"$work/1mb.bin"
head -c $((100 * 1024 * 1024)) /dev/urandom >"$work/100mb.bin"
printf '<html><body><p>Benchmark message</p></body></html>\n' >"$work/body.html"

# Runs a command under GNU time; prints "cpu_seconds max_rss_kb".
measure() {
  /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" >/dev/null
  awk '{ printf "%.3f %d\n", $1 + $2, $3 }' "$work/time"
}

ours() {
  measure "$DRIVER" 127.0.0.1 "$port" bench bench-pass "Bench <from@bench.test>" to@bench.test \
    "$work/body.html" "$1"
}

theirs() {
  measure curl -sS --ssl-reqd -k --url "smtp://127.0.0.1:$port" --user bench:bench-pass \
    --mail-from from@bench.test --mail-rcpt to@bench.test -H 'Subject: Benchmark' \
    -F "=<$work/body.html;type=text/html;encoder=quoted-printable" \
    -F "file=@$1;type=application/octet-stream;encoder=base64"
}

best() { sort -n | head -1; }

echo "20 MB attachment over STARTTLS to 127.0.0.1:$port, best of $RUNS runs (CPU seconds, user + system)"
ours_cpu=$(for _ in $(seq "$RUNS"); do ours "$work/20mb.bin" | cut -d' ' -f1; done | best)
curl_cpu=$(for _ in $(seq "$RUNS"); do theirs "$work/20mb.bin" | cut -d' ' -f1; done | best)
printf '  smtp_send_driver  %s s\n  curl --ssl-reqd   %s s\n' "$ours_cpu" "$curl_cpu"

# The cheapest a client can be: curl uploading the finished message (the one our sender
# delivered first, as the server saved it), with no composing or encoding of its own.
upload() {
  measure curl -sS --ssl-reqd -k --url "smtp://127.0.0.1:$port" --user bench:bench-pass \
    --mail-from from@bench.test --mail-rcpt to@bench.test --upload-file "$1"
}
cp "$work/send.mail/1.eml" "$work/ready.eml"
upload_cpu=$(for _ in $(seq "$RUNS"); do upload "$work/ready.eml" | cut -d' ' -f1; done | best)
printf '  curl --upload-file of the ready message (%d bytes)  %s s  (ours / this: %s)\n' \
  "$(stat -c %s "$work/ready.eml")" "$upload_cpu" \
  "$(awk -v a="$ours_cpu" -v b="$upload_cpu" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')"

rss1=$(ours "$work/1mb.bin" | cut -d' ' -f2)
rss100=$(ours "$work/100mb.bin" | cut -d' ' -f2)
echo "Peak resident memory of smtp_send_driver"
printf '  1 MB attachment    %d KB\n  100 MB attachment  %d KB\n  growth             %d KB\n' \
  "$rss1" "$rss100" $((rss100 - rss1))

delivered=$(find "$work/send.mail" -name '*.json' | wc -l)
echo "messages delivered: $delivered (expected $((3 * RUNS + 2)))"
