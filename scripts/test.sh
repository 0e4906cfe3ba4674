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
# The README's commands are run as they are written: a script it names must
# be committed executable, or a fresh clone answers "Permission denied".
# Outside a git checkout there are no recorded modes to check.
echo "== scripts the README names"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  cases=""
  for script in $(grep -o 'scripts/[A-Za-z0-9_.-]*\.sh' README.md | sort -u); do
    mode=$(git ls-files -s -- "$script" | cut -d' ' -f1)
    if [ "$mode" != "100755" ]; then
      echo "$script: recorded mode '${mode:-not tracked}', not 100755"
      cases+="<testcase classname=\"Scripts\" name=\"$script\"><failure message=\"not executable\"/></testcase>"
    else
      cases+="<testcase classname=\"Scripts\" name=\"$script\"/>"
    fi
  done
  echo "<testsuite>$cases</testsuite>" > "$results/scripts.xml"
  grep -q '<failure' "$results/scripts.xml" && status=1
else
  echo "not a git checkout: modes not checked"
fi

echo "== native portable core (ASan/UBSan)"
./build/native/portable_tests --gtest_brief=1 --gtest_output="xml:$results/portable.xml" \
  > "$results/portable.log" 2>&1 || status=1
tail -3 "$results/portable.log"

# A bounded libFuzzer run counts as one test case; the fuzzers run side by side.
run_fuzzer() {
  local name=$1 seconds=$2
  shift 2
  local failure=""
  "./build/native/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -artifact_prefix="$results/" "$@" \
    > "$results/$name.log" 2>&1 || failure='<failure message="see the fuzzer log"/>'
  echo "<testsuite><testcase classname=\"Fuzz\" name=\"$name\">$failure</testcase></testsuite>" \
    > "$results/$name.xml"
  [ -z "$failure" ]
}
echo "== fuzzers (libFuzzer, ASan/UBSan)"
mkdir -p build/fuzz/condition_corpus build/fuzz/command_options_corpus build/fuzz/engine_text_corpus \
  build/fuzz/ini_corpus
run_fuzzer command_options_fuzzer 20 -dict=tests/fuzz/command_options.dict build/fuzz/command_options_corpus &
fuzz_options=$!
run_fuzzer condition_fuzzer 30 build/fuzz/condition_corpus tests/fuzz/condition_seeds &
fuzz_conditions=$!
run_fuzzer engine_text_fuzzer 10 -timeout=10 -dict=tests/fuzz/engine_text.dict build/fuzz/engine_text_corpus &
fuzz_engine_text=$!
run_fuzzer ini_fuzzer 20 -dict=tests/fuzz/ini.dict build/fuzz/ini_corpus tests/fuzz/ini_seeds &
fuzz_ini=$!
wait $fuzz_options || status=1
wait $fuzz_conditions || status=1
wait $fuzz_engine_text || status=1
wait $fuzz_ini || status=1
tail -qn1 "$results/command_options_fuzzer.log" "$results/condition_fuzzer.log" "$results/engine_text_fuzzer.log" \
  "$results/ini_fuzzer.log"

for exe in build/win/*_tests.exe; do
  name=$(basename "$exe" .exe)
  echo "== $name (Wine)"
  wine "$exe" --gtest_brief=1 --gtest_output="xml:Z:${results//\//\\}\\$name.xml" \
    > "$results/$name.log" 2>&1 </dev/null || status=1
  grep -E '^\[  (FAILED|PASSED|SKIPPED) ' "$results/$name.log" | tail -20
done

# The end-to-end template is copied from the build's prefix: its server ends first.
wine_server_stop
echo "== end-to-end (pytest, a Wine prefix per test)"
/usr/bin/python3 -m pytest -q -p no:cacheprovider -n "$(nproc)" tests/e2e --junitxml="$results/e2e.xml" \
  > "$results/e2e.log" 2>&1
rc=$?
# pytest's 5 means "no tests collected": an empty suite is not a failure here.
if [ $rc -ne 0 ] && [ $rc -ne 5 ]; then status=1; fi
tail -5 "$results/e2e.log"

/usr/bin/python3 scripts/summarize_results.py "$results" || status=1
exit $status
