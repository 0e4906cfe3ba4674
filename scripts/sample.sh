#!/usr/bin/env bash
# sample.sh: installs what is missing, builds, and runs the program on the
# sample suite under Wine. setup.exe is not built yet: until it is, this
# builds everything and shows the log of the foundation probe on the sample
# folder instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
source scripts/wine_env.sh
wine_prefix_ready

sample="$PWD/build/sample"
rm -rf "$sample" && mkdir -p "$sample"
cp build/win/foundation_probe.exe "$sample/"
cp tests/fixtures/sample/SETUP.DCF "$sample/"
win_sample="Z:${sample//\//\\}"
wine build/win/exit_code_launcher.exe "$win_sample\\foundation_probe.exe" config SETUP.DCF /qn /L "$win_sample\\logs" \
  > "$sample/launcher.out" 2>&1 </dev/null || true
wineserver -k >/dev/null 2>&1 || true
cat "$sample/launcher.out"
log="$sample/logs/VELL_SETUP.LOG"
if [ -f "$log" ]; then
  echo "--- $log"
  iconv -f UTF-16LE -t UTF-8 "$log"
fi
