# What the sending benchmarks share, sourced by them from the repository's root: the
# benchmark program, a private work folder with the servers started in it stopped and
# removed on exit, and the loopback SMTP server (tests/support/smtp_server.py: STARTTLS
# required, AUTH LOGIN as bench / bench-pass) with bench/delay_proxy.py in front of it.

# use_bench_driver TARGET: sets DRIVER to the program, from $BUILD_DIR when it is set
# (an existing Release build), else built in the linux-release preset first.
use_bench_driver() {
  local target=$1
  if [[ -z "${BUILD_DIR:-}" ]]; then
    scripts/deps build mail
    cmake --preset linux-release >/dev/null
    cmake --build --preset linux-release --target "$target" >/dev/null
    BUILD_DIR=build/linux-release
  fi
  DRIVER="$BUILD_DIR/bench/$target"
  [[ -x "$DRIVER" ]] || { echo "no $DRIVER; build the $target target" >&2; exit 2; }
}

work=$(mktemp -d)
pids=()
bench_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap bench_cleanup EXIT

# Waits up to 30 s for a file another process writes.
wait_for() { for _ in $(seq 300); do [[ -s "$1" ]] && return 0; sleep 0.1; done; echo "no $1" >&2; exit 1; }

# start_server NAME [server switches...]: sets port; the messages go to $work/NAME.mail.
start_server() {
  local name=$1
  shift
  /usr/bin/python3 tests/support/smtp_server.py --port-file "$work/$name.port" --maildir "$work/$name.mail" \
    --cert-dir "$work/$name.cert" --user bench --password bench-pass "$@" >/dev/null &
  pids+=($!)
  wait_for "$work/$name.port"
  port=$(cat "$work/$name.port")
}

# start_proxy NAME: a delay proxy ($DELAY_MS each way) in front of $port; sets
# proxy_port, and stats to the file where it writes a line of counts a connection.
start_proxy() {
  local name=$1
  /usr/bin/python3 bench/delay_proxy.py --target-port "$port" --port-file "$work/$name.proxy-port" \
    --stats "$work/$name.stats" --delay-ms "$DELAY_MS" &
  pids+=($!)
  wait_for "$work/$name.proxy-port"
  proxy_port=$(cat "$work/$name.proxy-port")
  stats="$work/$name.stats"
}
