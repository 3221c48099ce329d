#!/bin/sh
# The parameter study as a Slurm job array: task i meshes row i of the CSV (the row after
# the header counts as 1) with sweep.sh's one-variant mode, so names, --D pins and failure
# files are those of a run through GNU parallel. Submit one task per row, then a job that
# lists the failures once every task has ended:
#
#   rows=$(($(grep -c . variants.csv) - 1))
#   job=$(sbatch --parsable --array=1-$rows slurm_sweep.sh panel.vmf variants.csv out inp)
#   sbatch --dependency=afterany:$job --wrap "sh sweep.sh --report out"
#
# Run it from this directory (sbatch starts the job there); out/ then holds the decks and
# the .failed files, slurm-*.out each task's own output. Throttle with --array=1-$rows%50.
#SBATCH --job-name=pelgrove-sweep
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --mem=1G
#SBATCH --time=00:10:00
set -u
model=$1 csv=$2 outdir=$3 ext=${4:-inp}
: "${SLURM_ARRAY_TASK_ID:?submit with sbatch --array=1-N}"
mkdir -p "$outdir"
header=$(head -n 1 "$csv" | tr -d '\r ')
row=$(grep -v '^[[:space:]]*$' "$csv" | sed -n "$((SLURM_ARRAY_TASK_ID + 1))p" | tr -d '\r ')
[ -n "$row" ] || { echo "no row $SLURM_ARRAY_TASK_ID in $csv" >&2; exit 1; }
exec sh "${SWEEP:-./sweep.sh}" --one "$model" "$header" "$row" "$outdir" "$ext"
