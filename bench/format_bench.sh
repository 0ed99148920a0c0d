#!/usr/bin/env bash
# Whole-process time and peak memory of `vesk-lsp --format` on generated
# documents of 1 MB and 10 MB. Usage: bench/format_bench.sh [BUILD_DIR]
set -euo pipefail

build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
make --no-print-directory JOBS=4 BUILD="$build" all bench >/dev/null

lsp="$build/lsp/vesk-lsp"
gen="$build/bench/vesk-gen-scene"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-8s %12s %12s %14s %10s\n' size input_bytes output_bytes peak_rss_kb peak/input
for mb in 1 10; do
  doc="$work/scene_${mb}mb.vesk"
  "$gen" $((mb * 1000000)) 1 >"$doc"
  "$lsp" --format <"$doc" >"$work/out.vesk"
  in_bytes=$(stat -c %s "$doc")
  out_bytes=$(stat -c %s "$work/out.vesk")
  # Peak resident set size, the largest of five runs, reading from a pipe.
  peak=0
  for _ in 1 2 3 4 5; do
    kb=$( { cat "$doc" | /usr/bin/time -f '%M' "$lsp" --format >/dev/null; } 2>&1 | tail -n 1)
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  ratio=$(awk -v p="$peak" -v b="$in_bytes" 'BEGIN { printf "%.2f", p * 1024 / b }')
  printf '%-8s %12d %12d %14d %10s\n' "${mb}MB" "$in_bytes" "$out_bytes" "$peak" "$ratio"
done
echo

for mb in 1 10; do
  hyperfine --warmup 2 --runs 10 --style basic \
    --command-name "vesk-lsp --format (${mb} MB)" \
    "$lsp --format < $work/scene_${mb}mb.vesk > /dev/null"
done
