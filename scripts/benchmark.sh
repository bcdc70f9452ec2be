#!/usr/bin/env bash
# Times the installer's file-heavy steps on a fixture game under Wine (see
# tools/benchmark), then does the same folder operations natively with cp, mv
# and rm on the same tree, for comparison.
#   bash scripts/benchmark.sh [SIZE]    SIZE of the fixture data, e.g. 50M; default 1G
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
case $size in
  [0-9]*[KMG] | [0-9]*) ;;
  *) echo "usage: bash scripts/benchmark.sh [SIZE]   (e.g. 50M, 1G)" >&2; exit 2 ;;
esac

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target benchmark
source scripts/wine-env.sh
native=$PWD/build/benchmark-native
cleanup() {
  rm -rf "$native"
  wine_env_stop
}
trap cleanup EXIT
wine_env_start
# Without a window manager Wine holds a thread for about 2 s after each message
# box closes, which the window's answer times would show. New prefixes have
# this from wine-env.sh; older ones get it here.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1

rm -rf "$native"
mkdir -p "$native"
# It leaves the unpacked game tree, the mod's tracks and the list of folder operations in $native.
wine build/tools/benchmark/benchmark.exe --size "$size" --native "$native" </dev/null

now() { date +%s%N; }
seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }

# One phase of plan.txt (phase, verb, from, to; paths relative to the target).
run_phase() {
  local phase=$1 work=$2 p verb from to
  while IFS=$'\t' read -r p verb from to; do
    [ "$p" = "$phase" ] || continue
    case $verb in
      mkdir) mkdir -p "$work/$from" ;;
      copy) mkdir -p "$work/$to" && cp -r "$work/$from/." "$work/$to/" ;;
      delete) rm -rf "${work:?}/${from:?}" ;;
      move) mv "$work/$from" "$work/$to" ;;
    esac
  done <"$native/plan.txt"
}

work=$native/work
cp -a "$native/pristine" "$work"
sync
echo
echo "Native Linux baseline: the same folder operations with cp -r, mv, rm -r (one process each)"
printf '  %-9s%-10s%-12s%s\n' phase native ours ours/native
total_native=0
total_ours=0
status=0
for phase in copies deletes split; do
  # As in the installer: the mod's tracks arrive after the copies, and the split starts from "datafull".
  [ "$phase" = deletes ] && cp -a "$native/overlay/." "$work/"
  [ "$phase" = split ] && mv "$work/data" "$work/datafull"
  start=$(now)
  run_phase "$phase" "$work"
  elapsed=$(($(now) - start))
  read -r _ ours result files < <(awk -v p="$phase" -F'\t' '$1 == p' "$native/figures.txt")
  total_native=$((total_native + elapsed))
  total_ours=$(awk -v a="$total_ours" -v b="$ours" 'BEGIN { print a + b }')
  printf '  %-9s%-10s%-12s%s\n' "$phase" "$(seconds "$elapsed") s" "$(printf '%.3f' "$ours") s" \
    "$(awk -v o="$ours" -v n="$elapsed" 'BEGIN { printf "%.2f", o / (n / 1e9) }')"
  # The same work, or the comparison means nothing.
  found=$(find "$work/$result" -type f | wc -l)
  if [ "$found" -ne "$files" ]; then
    echo "PROBLEM: natively $found files in $result after the $phase; the same operations under Wine left $files" >&2
    status=1
  fi
done
printf '  %-9s%-10s%-12s%s\n' whole "$(seconds "$total_native") s" "$(printf '%.3f' "$total_ours") s" \
  "$(awk -v o="$total_ours" -v n="$total_native" 'BEGIN { printf "%.2f", o / (n / 1e9) }')"
exit "$status"
