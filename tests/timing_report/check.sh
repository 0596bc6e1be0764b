#!/usr/bin/env bash
# Runs scripts/timing-report on a hand-made window trace and compares its report with the one
# worked out by hand: late ticks, a tick held back by a busy pause, a repeated period that
# changes nothing, and the effect timers' rates.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
diff -u "$here/expected.txt" <("$here/../../scripts/timing-report" "$here/tiny_trace.jsonl")
