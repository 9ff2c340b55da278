#!/usr/bin/env bash
# Runs each fuzz target of the linux-fuzz build (clang, libFuzzer, ASan and UBSan) for a
# while over a copy of its seed corpus, and prints what each run reached.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]   SECONDS per target, 600 by default
#   bash scripts/fuzz.sh --smoke                 30 s per target, for CI
#
# A crash, a time-out, a leak or running out of memory fails the run; the input that did it
# stays under build/linux-fuzz/crashes/<target>/ and its path is printed.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=600
if [ "${1:-}" = "--smoke" ]; then
  seconds=30
  shift
elif [ -n "${1:-}" ]; then
  seconds=$1
  shift
fi
case "$seconds" in
  '' | *[!0-9]*) echo "usage: bash scripts/fuzz.sh [SECONDS | --smoke] [TARGET...]" >&2; exit 2 ;;
esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(response_pass command_line settings_file text_encodings message_bridge upload_text)

build=build/linux-fuzz
[ -f "$build/build.ninja" ] || cmake --preset linux-fuzz >/dev/null || exit 1
cmake --build --preset linux-fuzz --target "${targets[@]/#/fuzz_}" >/dev/null || {
  echo "building the fuzz targets failed" >&2
  exit 1
}

failed=0
for target in "${targets[@]}"; do
  work="$build/fuzz-work/$target"
  crashes="$build/crashes/$target"
  # New inputs go to a copy: the corpus in the repo holds only chosen seeds.
  rm -rf "$work"
  mkdir -p "$work/corpus" "$crashes"
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$crashes/")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")

  "$build/fuzz/fuzz_$target" "${options[@]}" "$work/corpus" >"$work/log" 2>&1
  status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  last=$(grep -E '^#[0-9]+.*cov: [0-9]+' "$work/log" | tail -n 1)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corpus=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
  printf '%-16s %10s execs  cov %6s  ft %6s  corpus %5s  (%s s)\n' \
    "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$seconds"

  if [ $status -ne 0 ]; then
    failed=1
    echo "  FAILED with status $status; the log is $work/log"
    grep -E '^==[0-9]+==ERROR|runtime error|^SUMMARY' "$work/log" | head -n 5 | sed 's/^/  /'
    for input in $(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$work/log"); do
      echo "  reproducer: $input"
      echo "  run it again: $build/fuzz/fuzz_$target $input"
    done
  fi
done
exit $failed
