#!/usr/bin/env bash
# Runs one harness built by fuzz/build.sh for SECONDS (default 600) at low priority. Its corpus
# (build-fuzz/corpus/NAME) starts from fuzz/seeds/NAME and the image fixtures of its formats;
# crashing inputs land in build-fuzz/findings/NAME/, the log in build-fuzz/NAME.log.
# Usage: fuzz/run.sh NAME [SECONDS]   e.g. fuzz/run.sh pcx 600
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
seconds=${2:-600}
corpus=build-fuzz/corpus/$name
findings=build-fuzz/findings/$name
mkdir -p "$corpus" "$findings"
images=../shared/fixtures/images
case $name in
pcx) patterns=(pcx) ;;
bitmap) patterns=(bmp ico gif) ;;
jpeg) patterns=(jpg) ;;
*) patterns=() ;;
esac
[ -d "fuzz/seeds/$name" ] && cp -n fuzz/seeds/"$name"/* "$corpus"/
for p in "${patterns[@]}"; do
  find "$images" -name "*.$p" -exec cp -n {} "$corpus"/ \;
done
options=(-max_total_time="$seconds" -artifact_prefix="$findings/" -print_final_stats=1)
[ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
QT_QPA_PLATFORM=offscreen nice -n 10 "build-fuzz/fuzz_$name" "${options[@]}" "$corpus" 2>&1 | tee "build-fuzz/$name.log" | grep -E '(INITED|DONE) |ERROR|SUMMARY|stat::' || true
