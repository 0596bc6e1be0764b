#!/usr/bin/env bash
# Runs scripts/timing-report on a hand-made window trace and compares its report with the one
# worked out by hand: late ticks, periods counted from their handler's time, a tick held back by
# busy pauses, a repeated period that changes nothing, a handler held up past 20 ms whose period
# counts from when it was set, and the effect timers' rates.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
diff -u "$here/expected.txt" <("$here/../../scripts/timing-report" "$here/tiny_trace.jsonl")
