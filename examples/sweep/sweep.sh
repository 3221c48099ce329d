#!/bin/sh
# Meshes every variant of a parameter study in parallel: one pelgrove run per row of a CSV
# file whose header names the parameters, each run with --D name=value for every column,
# spread over all cores by GNU parallel. Each output is named after the model and the row's
# values (panel_t=2_n=8.inp); a variant that fails leaves NAME.failed with its messages, and
# the failures are listed at the end. Values are numbers or bracketed expressions without
# commas or blanks (blanks are dropped).
#
#   sweep.sh [-j jobs] model.vmf variants.csv outdir [extension]   run all rows (default inp)
#   sweep.sh --one model.vmf header row outdir extension             run one row
#   sweep.sh --report outdir                                        list the failures
#
# The exit status is 0 when every variant was meshed, 1 otherwise. PELGROVE names the
# program (default: pelgrove on the PATH); FAIL_ON the mesh-check findings that fail a
# variant (default: those that break a solver; "" for none).
set -u
self=$0
pelgrove=${PELGROVE:-pelgrove}
fail_on=${FAIL_ON-t-joints,folds,flips,non-finite}

# Lists the failed variants of outdir with their messages; status 1 if there is any.
report() {
  failed=0
  for f in "$1"/*.failed; do
    [ -e "$f" ] || continue
    failed=$((failed + 1))
    echo "FAILED ${f##*/}" | sed 's/\.failed$//'
    sed 's/^/    /' "$f"
  done
  meshed=$(find "$1" -maxdepth 1 -type f ! -name '*.failed' ! -name '*.log' | wc -l)
  echo "$meshed variants meshed, $failed failed"
  [ "$failed" -eq 0 ]
}

# Runs one row: --D for each column, the output named from the values.
one() {
  model=$1 header=$2 row=$3 outdir=$4 ext=$5
  name=$(basename "$model" .vmf)
  set --
  [ -n "$fail_on" ] && set -- --fail-on "$fail_on"
  rest_h=$header, rest_r=$row,
  while [ -n "$rest_h" ]; do
    key=${rest_h%%,*} rest_h=${rest_h#*,}
    value=${rest_r%%,*} rest_r=${rest_r#*,}
    set -- "$@" --D "$key=$value"
    name=${name}_$key=$value
  done
  name=$(printf '%s' "$name" | tr -c 'A-Za-z0-9._=+-' '_')
  rm -f "$outdir/$name.$ext" "$outdir/$name.failed"
  if ! "$pelgrove" "$@" --run "$model" "$outdir/$name.$ext" >/dev/null 2>"$outdir/$name.log"; then
    mv "$outdir/$name.log" "$outdir/$name.failed"
    rm -f "$outdir/$name.$ext"
    return 1
  fi
  rm -f "$outdir/$name.log"
}

case ${1:-} in
--one) shift; one "$@"; exit ;;
--report) report "$2"; exit ;;
esac

jobs=100%
if [ "${1:-}" = -j ]; then jobs=$2; shift 2; fi
if [ $# -lt 3 ]; then
  sed -n 's/^#   //p' "$self" >&2
  exit 2
fi
model=$1 csv=$2 outdir=$3 ext=${4:-inp}
if ! command -v parallel >/dev/null; then
  echo "sweep.sh: GNU parallel is not installed (Debian package parallel)" >&2
  exit 2
fi
mkdir -p "$outdir" || exit 1
header=$(head -n 1 "$csv" | tr -d '\r ')
tail -n +2 "$csv" | tr -d '\r ' | grep -v '^$' |
  parallel --jobs "$jobs" -q sh "$self" --one "$model" "$header" {} "$outdir" "$ext"
report "$outdir"
