#!/usr/bin/env bash
# Runs the fuzz targets, each for a given time, from the corpus kept in the tree.
#   fuzz/run.sh [--seconds N] [--keep] [--jobs N] [target...]      (default: 60 s, every target)
# Builds the libFuzzer binaries with clang, ASan and UBSan in build-fuzz (SCENARIA_FUZZ_BUILD to
# build elsewhere). Each target starts from a copy of fuzz/corpus/<target>/ and, where one exists,
# uses fuzz/dict/<target>.dict. With --keep, the inputs that reached code the kept corpus did not
# are merged back into fuzz/corpus/<target>/ (only those: libFuzzer's merge keeps the corpus
# minimal). A crash, leak or timeout stops the run with its input under
# build-fuzz/artifacts/<target>/; a summary line per target tells executions and what was found.
set -euo pipefail

seconds=60 keep=no jobs=1 names=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --keep) keep=yes; shift ;;
    --jobs) jobs=$2; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) names+=("$1"); shift ;;
  esac
done
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "--seconds takes a whole number" >&2; exit 2; }

root=$(cd "$(dirname "$0")/.." && pwd)
build=${SCENARIA_FUZZ_BUILD:-$root/build-fuzz}
sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
missing=()
for p in clang libclang-rt-14-dev cmake ninja-build; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSCENARIA_FUZZ=ON -DSCENARIA_SANITIZE=ON -DSCENARIA_TESTS=OFF -DSCENARIA_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" --target fuzz_targets

if [ ${#names[@]} -eq 0 ]; then
  for target in "$build"/bin/fuzz_*; do names+=("${target##*/fuzz_}"); done
fi
if [ ${#names[@]} -eq 0 ]; then
  echo "no fuzz targets were built" >&2
  exit 1
fi

summary=()
for name in "${names[@]}"; do
  target=$build/bin/fuzz_$name
  [ -x "$target" ] || { echo "no fuzz target $name (built: $(ls "$build/bin" | grep '^fuzz_' | tr '\n' ' '))" >&2; exit 1; }
  seeds=$root/fuzz/corpus/$name
  work=$build/corpus/$name
  artifacts=$build/artifacts/$name
  rm -rf "$work" "$artifacts"
  mkdir -p "$work" "$artifacts"
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/"
  # HEVC streams may declare frames far larger than their picture, which libde265 decodes
  # whole before libheif can refuse them: seconds under ASan (tests/data/crashes/heif/NOTES.md).
  unit_timeout=10
  [ "$name" = heif ] && unit_timeout=30
  options=(-max_total_time="$seconds" -timeout="$unit_timeout" -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$artifacts/")
  [ -e "$root/fuzz/dict/$name.dict" ] && options+=(-dict="$root/fuzz/dict/$name.dict")
  [ "$jobs" -gt 1 ] && options+=(-fork="$jobs")
  log=$build/fuzz-$name.log
  echo "--- fuzz_$name for ${seconds}s"
  set +e
  "$target" "$work" "${options[@]}" >"$log" 2>&1
  status=$?
  set -e
  tail -n 12 "$log"
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  if [ "$status" -ne 0 ]; then
    echo "fuzz_$name found a failure (exit $status) after ${runs:-?} executions; input in $artifacts/" >&2
    exit 1
  fi
  added=0
  if [ "$keep" = yes ]; then
    mkdir -p "$seeds"
    before=$(ls "$seeds" | wc -l)
    "$target" -merge=1 "$seeds" "$work" >"$build/merge-$name.log" 2>&1
    added=$(( $(ls "$seeds" | wc -l) - before ))
  fi
  line="fuzz_$name: ${runs:-?} executions in ${seconds}s, no failure"
  [ "$keep" = yes ] && line+=", $added inputs added to fuzz/corpus/$name"
  summary+=("$line")
done
echo "=== Fuzzing summary"
printf '%s\n' "${summary[@]}"
