#!/usr/bin/env bash
# Runs the plates batch job side by side with the reference program (the least work that
# writes the same file): whole process, median of 5 rounds, peak memory from
# /usr/bin/time -v, output bytes compared with cmp, and the ratios ours / reference. The
# reference writes in 4 MiB chunks (--fmt=chunk), its fastest and leanest mode.
#   bench/run.sh [build-dir]      (default: build; the pelgrove target is built there)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build=$(realpath -m "${1:-$repo/build}")
reference_src="$repo/../shared/bench/limit.cpp"
rounds=5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

g++ -O2 -std=c++17 -o "$work/reference" "$reference_src"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELGROVE_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target pelgrove -j2 >/dev/null
pelgrove="$build/bin/pelgrove"

# Runs a command under /usr/bin/time -v; prints "<seconds> <peak KiB>".
measure() {
  /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt"
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i] }
    /Maximum resident set size/ { kb = $2 }
    END { printf "%.2f %d\n", s, kb }' "$work/time.txt"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf "%-6s %10s %10s %7s %12s %12s %7s  %s\n" model "ref s" "ours s" ratio "ref MiB" "ours MiB" ratio output
declare -A ours_time
for row in 1M:100 4M:200; do
  model=${row%%:*}
  n=${row##*:}
  : >"$work/ref.txt"
  : >"$work/ours.txt"
  for ((r = 0; r < rounds; r++)); do
    measure "$work/reference" 10 "$n" --fmt=chunk --out="$work/ref.dvk" >>"$work/ref.txt"
    measure "$pelgrove" --run "$here/models/plates-$model.vmf" "$work/ours.dvk" >>"$work/ours.txt"
  done
  rt=$(cut -d' ' -f1 "$work/ref.txt" | median)
  ot=$(cut -d' ' -f1 "$work/ours.txt" | median)
  rm_=$(cut -d' ' -f2 "$work/ref.txt" | median)
  om=$(cut -d' ' -f2 "$work/ours.txt" | median)
  same=identical
  cmp -s "$work/ref.dvk" "$work/ours.dvk" || same=DIFFERENT
  ours_time[$model]=$ot
  awk -v m="$model" -v rt="$rt" -v ot="$ot" -v rm="$rm_" -v om="$om" -v same="$same" 'BEGIN {
    printf "%-6s %10.2f %10.2f %7.2f %12.0f %12.0f %7.2f  %s\n", m, rt, ot, ot / rt, rm / 1024, om / 1024, om / rm, same }'
done
awk -v a="${ours_time[1M]}" -v b="${ours_time[4M]}" 'BEGIN { printf "ours 4M / 1M: %.2f\n", b / a }'

# The viewer on the 1M model under Xvfb with Mesa's software renderer: load_grids, first
# frame and the mean frame while rotating (bench/viewer_frames.cpp).
if command -v xvfb-run >/dev/null; then
  cmake --build "$build" --target viewer_frames -j2 >/dev/null
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/viewer_frames" "$here/models/plates-1M.vmf" 20
fi
