#!/usr/bin/env bash
# sample.sh: installs what is missing, builds, and runs setup.exe quietly on
# the sample suite (three real packages built with wixl) under Wine; prints
# the exit code and the setup log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
source scripts/wine_env.sh
wine_prefix_ready
wine_server_start
trap wine_server_stop EXIT

sample="$PWD/build/sample"
packages="$PWD/build/win/fixtures/msi"
rm -rf "$sample" && mkdir -p "$sample"
cp build/win/setup.exe tests/fixtures/msi_suite/SETUP.DCF "$sample/"
for product in Alpha Beta Gamma; do
  mkdir -p "$sample/$product"
  cp "$packages/${product,,}.msi" "$sample/$product/"
done
win_sample="Z:${sample//\//\\}"
KWSETUP="$win_sample\\logs\\TAM_{ProductID}.log" \
  wine build/win/exit_code_launcher.exe "$win_sample\\setup.exe" /qn \
  > "$sample/launcher.out" 2>&1 </dev/null || true
cat "$sample/launcher.out"
log="$sample/logs/VELL_SETUP.LOG"
if [ -f "$log" ]; then
  echo "--- $log"
  iconv -f UTF-16LE -t UTF-8 "$log"
fi
