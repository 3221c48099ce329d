#!/usr/bin/env bash
# Runs the plates batch job side by side with the reference program (the least work that
# writes the same file): whole process, median of 5 rounds, peak memory from
# /usr/bin/time -v, output bytes compared with cmp, and the ratios ours / reference. The
# reference writes in 4 MiB chunks (--fmt=chunk), its fastest and leanest mode.
# Then a 1000 x 1000 pplate whose points are trigonometric expressions of u and v against
# the direct plate of the same lattice, both script -> merged -> .dvk, in alternate rounds
# (median of 9).
#   bench/run.sh [build-dir] [all|plates|parametric|viewer]   (default: build, all)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build=$(realpath -m "${1:-$repo/build}")
reference_src="$repo/../shared/bench/limit.cpp"
rounds=5
parametric_rounds=9  # whole runs of 1M points are short: more rounds against the load's swings
section=${2:-all}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

g++ -O2 -std=c++17 -o "$work/reference" "$reference_src"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELGROVE_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target pelgrove -j2 >/dev/null
pelgrove="$build/bin/pelgrove"

# Runs a command under /usr/bin/time -v; prints "<seconds> <peak KiB> <user s> <system s>".
measure() {
  /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt"
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i] }
    /Maximum resident set size/ { kb = $2 }
    /User time/ { user = $2 }
    /System time/ { sys = $2 }
    END { printf "%.2f %d %.2f %.2f\n", s, kb, user, sys }' "$work/time.txt"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

if [ "$section" != parametric ]; then
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
fi

if [ "$section" != plates ]; then
  : >"$work/plate.txt"
  : >"$work/pplate.txt"
  # Each run starts with the previous file gone and written back, so that neither pays for
  # the other's page-cache work.
  settle() { rm -f "$work/plate.dvk" "$work/pplate.dvk"; sync; }
  for ((r = 0; r < parametric_rounds; r++)); do
    settle
    measure "$pelgrove" --run "$here/models/plate-1000.vmf" "$work/plate.dvk" >>"$work/plate.txt"
    settle
    measure "$pelgrove" --run "$here/models/pplate-1000.vmf" "$work/pplate.dvk" >>"$work/pplate.txt"
  done
  # Wall time is the target; user time is our own work, system time mostly the kernel's
  # handling of the written file, which swings with the machine's load.
  col() { cut -d' ' -f"$1" "$work/$2.txt" | median; }
  printf "\n%-22s %10s %10s %10s\n" "1000 x 1000 lattice" "wall s" "user s" "system s"
  awk -v dt="$(col 1 plate)" -v pt="$(col 1 pplate)" -v du="$(col 3 plate)" -v pu="$(col 3 pplate)" \
      -v ds="$(col 4 plate)" -v ps="$(col 4 pplate)" 'BEGIN {
    printf "%-22s %10.2f %10.2f %10.2f\n%-22s %10.2f %10.2f %10.2f\n%-22s %10.2f %10.2f\n",
      "plate", dt, du, ds, "pplate (trigonometric)", pt, pu, ps, "ratio pplate / plate", pt / dt, pu / du }'
fi

# The viewer on the 1M model under Xvfb with Mesa's software renderer: load_grids, first
# frame and the mean frame while rotating (bench/viewer_frames.cpp).
if { [ "$section" = all ] || [ "$section" = viewer ]; } && command -v xvfb-run >/dev/null; then
  cmake --build "$build" --target viewer_frames -j2 >/dev/null
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/viewer_frames" "$here/models/plates-1M.vmf" 20
fi
