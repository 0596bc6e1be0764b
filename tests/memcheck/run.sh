#!/usr/bin/env bash
# The whole headless show under valgrind's memcheck, with pictures and a trace so that fonts,
# captions and the compositor run too. Fails on any memory error and on any block left at exit,
# lost or still reachable, except the libraries' one-time allocations in valgrind.supp.
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

QT_QPA_PLATFORM=offscreen valgrind --quiet --leak-check=full --show-leak-kinds=all \
    --errors-for-leak-kinds=all --suppressions="$here/valgrind.supp" --error-exitcode=99 \
    --log-file="$out/memcheck.log" \
    "$program" --headless --seed 7 --click 250 --trace "$out/trace.jsonl" \
    --screenshot 20000:"$out/night.png" --screenshot 60000:"$out/rain.png" \
    --screenshot 85000:"$out/concert.png" || {
    status=$?
    cat "$out/memcheck.log"
    echo "memcheck: the show ended with status $status"
    exit 1
}
for picture in night rain concert; do
    [ -s "$out/$picture.png" ] || { echo "memcheck: no $picture.png"; exit 1; }
done
echo "whole headless show under memcheck: no errors, nothing left at exit"
