#!/bin/sh
# fuzz/run.sh BUILD SECONDS TARGET...: runs each fuzz target for SECONDS at the lowest
# priority, on a corpus in BUILD/corpus/TARGET seeded from the globs in fuzz/TARGET.seeds.
# Crashing inputs land in BUILD/artifacts/. Exits non-zero when a target found one.
set -u
build=$1 seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
mkdir -p "$build/artifacts"
for target in "$@"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  if [ -f "$root/fuzz/$target.seeds" ]; then
    while read -r glob; do
      [ -n "$glob" ] || continue
      for f in $root/$glob; do [ -f "$f" ] && cp "$f" "$corpus/"; done
    done < "$root/fuzz/$target.seeds"
  fi
  echo "== $target: $seconds s"
  nice -n 19 "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" \
    > "$build/$target.log" 2>&1
  rc=$?
  tail -n 12 "$build/$target.log" | grep -E "stat::|Done|ERROR|SUMMARY|Test unit written" || true
  if [ $rc -ne 0 ]; then
    echo "** $target found a failing input (see $build/$target.log)"
    status=1
  fi
done
exit $status
