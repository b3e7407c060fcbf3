#!/usr/bin/env bash
# Builds and runs every benchmark, then prints one table: each figure beside its baseline, measured
# in the same run (medians of 5 or more). The window benchmarks need a display: an Xvfb one is used
# when none is set. Xvfb has no GPU, so GTK draws with its cairo renderer there, as both the
# baselines and Tarn do here.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" >/dev/null
bin="$root/build/bench"
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT

run_window() {
  if [ -n "${DISPLAY:-}" ]; then GSK_RENDERER=${GSK_RENDERER:-cairo} "$@"
  else GSK_RENDERER=${GSK_RENDERER:-cairo} xvfb-run -a -s "-screen 0 1600x1000x24" "$@"; fi
}

echo "window start-up and memory..." >&2
run_window "$bin/tarn_bench_window" | tee /dev/stderr | grep '^TABLE' >>"$rows"
echo "open to preview..." >&2
run_window "$bin/tarn_bench_open_to_preview" | tee /dev/stderr | grep '^TABLE' >>"$rows"

echo "re-opening from the command line..." >&2
run_window "$bin/tarn_bench_reopen" | tee /dev/stderr | grep '^TABLE' >>"$rows"
echo "agent steps..." >&2
run_window "$bin/tarn_bench_agent_steps" | tee /dev/stderr | grep '^TABLE' >>"$rows"
echo "an ACP agent..." >&2
run_window "$bin/tarn_bench_acp" | tee /dev/stderr | grep '^TABLE' >>"$rows"
echo "main-loop stalls and a long session..." >&2
run_window "$bin/tarn_bench_session" | tee /dev/stderr | grep '^TABLE' >>"$rows"

echo "server log throughput..." >&2
output=$("$bin/tarn_bench_output")
echo "$output" >&2
rate() { echo "$output" | awk -v name="$1" 'index($0, name) == 1 { for (i = 1; i <= NF; i++) if ($i == "lines/s") print $(i-1) }'; }
cat_rate=$(rate "cat > /dev/null"); runner_rate=$(rate "runStreaming"); server_rate=$(rate "DevServerController")
calc() { awk "BEGIN { print $1 }"; }
printf 'TABLE\tserver log, 1M lines (DevServerController)\t%.1fM lines/s\t%.1fM lines/s (cat)\t%.2fx\t-\n' \
  "$(calc "$server_rate / 1000000")" "$(calc "$cat_rate / 1000000")" "$(calc "$server_rate / $cat_rate")" >>"$rows"
printf 'TABLE\tcommand output, 1M lines (runStreaming)\t%.1fM lines/s\t%.1fM lines/s (cat)\t%.2fx\t-\n' \
  "$(calc "$runner_rate / 1000000")" "$(calc "$cat_rate / 1000000")" "$(calc "$runner_rate / $cat_rate")" >>"$rows"

echo "local agent search..." >&2
replace=$("$bin/tarn_bench_replace")
echo "$replace" >&2
alone=$(echo "$replace" | awk '/^sources alone/ { print $(NF-4) }')
with=$(echo "$replace" | awk '/^with 200,000/ { print $(NF-4) }')
printf 'TABLE\tlocal agent search, 2,000 sources + 200,000 in node_modules\t%s ms\t%s ms (sources alone)\t%.2fx\t-\n' \
  "$with" "$alone" "$(calc "$with / $alone")" >>"$rows"
inline=$(echo "$replace" | awk '/^inline edit search/ { for (i = 1; i <= NF; i++) if ($i == "ms") { print $(i-1); exit } }')
printf 'TABLE\tinline edit search (as the page shows text), same project\t%s ms\t%s ms (plain search)\t%.2fx\t<= 1.50x\n' \
  "$inline" "$with" "$(calc "$inline / $with")" >>"$rows"

echo "markup reader..." >&2
if starters=$(bash "$root/bench/starters.sh" 2>/dev/null | tail -n 1) && [ -d "$starters" ]; then
  reader=$("$bin/tarn_bench_reader" "$starters")
  echo "$reader" >&2
  read_ms=$(echo "$reader" | sed -nE 's/^read and search.*: ([0-9.]+) ms; plain search: ([0-9.]+) ms.*/\1/p')
  plain_ms=$(echo "$reader" | sed -nE 's/^read and search.*: ([0-9.]+) ms; plain search: ([0-9.]+) ms.*/\2/p')
  worst=$(echo "$reader" | sed -nE 's/^half-edited .*: ([0-9.]+) ms/\1/p' | sort -n | tail -n 1)
  printf 'TABLE\tmarkup reader, largest starter file to 1 MB (read + search)\t%s ms\t%s ms (plain search)\tlinear\t-\n' "$read_ms" "$plain_ms" >>"$rows"
  printf 'TABLE\tmarkup reader, 1 MB of unclosed templates (worst shape)\t%s ms\t-\tlinear\t-\n' "$worst" >>"$rows"
  echo "element locations..." >&2
  locations=$(run_window "$bin/tarn_bench_locations" "$starters"/*/ 2>/dev/null)
  echo "$locations" >&2
  summary=$(echo "$locations" | tail -n 1)
  printf 'TABLE\telement locations on the starters (file / line right)\t%s / %s\t-\t-\t>= 95%% / >= 90%%\n' \
    "$(echo "$summary" | sed -nE 's/.*file right ([0-9.]+%).*/\1/p')" "$(echo "$summary" | sed -nE 's/.*line right ([0-9.]+%).*/\1/p')" >>"$rows"
  printf 'TABLE\telement location, click to location (slowest)\t%s ms\t-\t-\t<= 50 ms\n' \
    "$(echo "$summary" | sed -nE 's/.*slowest ([0-9.]+) ms.*/\1/p')" >>"$rows"
  echo "style changes..." >&2
  styles=$(run_window "$bin/tarn_bench_style_edits" --most 4 "$starters"/vite-react "$starters"/vite-vue "$starters"/next-app 2>/dev/null)
  echo "$styles" >&2
  summary=$(echo "$styles" | tail -n 1)
  printf 'TABLE\tstyle changes on starters (landed / on another element)\t%s / %s\t-\t-\t>= 90%% / 0\n' \
    "$(echo "$summary" | sed -nE 's/.*landed \(([0-9.]+%)\).*/\1/p')" "$(echo "$summary" | sed -nE 's/.*, ([0-9]+) changed another.*/\1/p')" >>"$rows"
  printf 'TABLE\tstyle change, Apply to source written (slowest)\t%s ms\t-\t-\t<= 50 ms\n' \
    "$(echo "$summary" | sed -nE 's/.*written ([0-9.]+) ms.*/\1/p')" >>"$rows"
  echo "the sandbox's cost..." >&2
  "$bin/tarn_bench_sandbox" "$starters"/vite-react "$starters"/next-app | tee /dev/stderr | grep '^TABLE' >>"$rows" || true
else
  echo "markup reader skipped: no starters (the npm registry cannot be reached)" >&2
fi

echo "checkpoints..." >&2
"$bin/tarn_bench_checkpoints" | tee /dev/stderr | grep '^TABLE' >>"$rows"

echo "inputs Tarn does not control..." >&2
"$bin/tarn_bench_linear_inputs" | tee /dev/stderr | grep '^TABLE' >>"$rows"

echo
{ printf 'figure\tTarn\tbaseline\tresult\ttarget\n'; cut -f2- "$rows"; } | column -t -s $'\t'
