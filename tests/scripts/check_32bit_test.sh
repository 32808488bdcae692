#!/usr/bin/env bash
# The decision that keeps 32-bit Wine off machines that cannot run 32-bit programs:
# scripts/check-32bit with loaders that start and loaders that do not, and scripts/deps
# refusing wine32 when the answer is no.
set -uo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect <what> <wanted exit> <wanted text or ""> env... -- command...
  local what=$1 want=$2 text=$3; shift 3
  local envs=(); while [[ $1 != -- ]]; do envs+=("$1"); shift; done; shift
  local out status=0
  out=$(env "${envs[@]}" "$@" 2>&1) || status=$?
  if [[ $status != "$want" || ( -n $text && $out != *"$text"* ) ]]; then
    echo "FAIL $what: exit $status, output: $out"; failures=$((failures + 1))
  else
    echo "ok   $what"
  fi
}

# What a kernel without 32-bit support makes of an i386 program: an ELF file it cannot run.
printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0' >"$work/i386-loader"
chmod +x "$work/i386-loader"

check=$repo/scripts/check-32bit
expect "a loader that starts: yes" 0 "" EQ_I386_LOADER=/bin/true -- "$check" --no-install
expect "a loader the kernel refuses: no, with the reason" 1 "does not start (Exec format error)" \
  EQ_I386_LOADER="$work/i386-loader" -- "$check" --no-install
expect "a loader that fails: no" 1 "does not start (exit status 1)" EQ_I386_LOADER=/bin/false -- "$check" --no-install
expect "a missing loader: no" 1 "No such file or directory" EQ_I386_LOADER="$work/none" -- "$check" --no-install
expect "EQ_NO_32BIT: no, even with a loader that starts" 1 "EQ_NO_32BIT" \
  EQ_NO_32BIT=1 EQ_I386_LOADER=/bin/true -- "$check" --no-install
expect "deps refuses wine32 where 32-bit programs do not run" 1 "deps: wine32 not installed: this machine does not run" \
  EQ_I386_LOADER="$work/i386-loader" -- "$repo/scripts/deps" wine32

echo "$failures failed"
[[ $failures == 0 ]]
