#!/usr/bin/env bash
# test.sh: installs what is missing, builds, and runs every test: the native
# sanitizer tests, the GoogleTest cases under Wine and the end-to-end tests.
# Ends with one "N passed, N failed" line; exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/deps.sh || exit 1
bash scripts/build.sh || exit 1

source scripts/wine_env.sh
results="$repo/build/results"
rm -rf "$results" && mkdir -p "$results"

# A display of our own for the tests that create windows.
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"

cleanup() {
  wine_server_stop
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

wine_prefix_ready
wine_server_start

status=0
echo "== native portable core (ASan/UBSan)"
./build/native/portable_tests --gtest_brief=1 --gtest_output="xml:$results/portable.xml" \
  > "$results/portable.log" 2>&1 || status=1
tail -3 "$results/portable.log"

echo "== command-options fuzzer (20 s, ASan/UBSan)"
fuzz_case='<testcase classname="fuzz" name="command_options_fuzzer"'
if ./build/native/command_options_fuzzer -max_total_time=20 -rss_limit_mb=2048 \
    -dict=tests/fuzz/command_options.dict -artifact_prefix="$results/" \
    > "$results/command_options_fuzzer.log" 2>&1; then
  echo "<testsuite>$fuzz_case/></testsuite>" > "$results/command_options_fuzzer.xml"
else
  status=1
  echo "<testsuite>$fuzz_case><failure/></testcase></testsuite>" > "$results/command_options_fuzzer.xml"
fi
tail -1 "$results/command_options_fuzzer.log"

echo "== engine-text fuzzer (10 s, ASan/UBSan)"
fuzz_case='<testcase classname="fuzz" name="engine_text_fuzzer"'
if ./build/native/engine_text_fuzzer -max_total_time=10 -timeout=10 -rss_limit_mb=2048 \
    -dict=tests/fuzz/engine_text.dict -artifact_prefix="$results/" \
    > "$results/engine_text_fuzzer.log" 2>&1; then
  echo "<testsuite>$fuzz_case/></testsuite>" > "$results/engine_text_fuzzer.xml"
else
  status=1
  echo "<testsuite>$fuzz_case><failure/></testcase></testsuite>" > "$results/engine_text_fuzzer.xml"
fi
tail -1 "$results/engine_text_fuzzer.log"

for exe in build/win/*_tests.exe; do
  name=$(basename "$exe" .exe)
  echo "== $name (Wine)"
  wine "$exe" --gtest_brief=1 --gtest_output="xml:Z:${results//\//\\}\\$name.xml" \
    > "$results/$name.log" 2>&1 </dev/null || status=1
  grep -E '^\[  (FAILED|PASSED|SKIPPED) ' "$results/$name.log" | tail -20
done

echo "== end-to-end (pytest)"
/usr/bin/python3 -m pytest -q -p no:cacheprovider tests/e2e --junitxml="$results/e2e.xml" \
  > "$results/e2e.log" 2>&1
rc=$?
# pytest's 5 means "no tests collected": an empty suite is not a failure here.
if [ $rc -ne 0 ] && [ $rc -ne 5 ]; then status=1; fi
tail -5 "$results/e2e.log"

/usr/bin/python3 scripts/summarize_results.py "$results" || status=1
exit $status
