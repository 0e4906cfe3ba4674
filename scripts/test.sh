#!/usr/bin/env bash
# test.sh: installs what is missing, builds, and runs the tests: the native
# sanitizer tests, the fuzzers, the GoogleTest cases under Wine and the
# end-to-end tests. One argument runs one group only:
#   scripts/test.sh [scripts|resources|native|fuzz|wine|<name>_tests|e2e]
# TEST_JOBS sets how many end-to-end tests run at once (default: one per core).
# Ends with one "N passed, N failed, N skipped" line; exits non-zero on any
# failure, a group that runs no test included.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
filter=${1:-}

bash scripts/deps.sh || exit 1
bash scripts/build.sh || exit 1

test_programs=()
for exe in build/win/*_tests.exe; do test_programs+=("$(basename "$exe" .exe)"); done
groups=(scripts resources native fuzz wine "${test_programs[@]}" e2e)
if [ -n "$filter" ] && ! printf '%s\n' "${groups[@]}" | grep -qx -- "$filter"; then
  echo "test.sh: unknown group '$filter'; groups: ${groups[*]}" >&2
  exit 2
fi
wanted() {
  local group
  [ -z "$filter" ] && return 0
  for group in "$@"; do [ "$filter" = "$group" ] && return 0; done
  return 1
}

source scripts/wine_env.sh
results="$repo/build/results"
rm -rf "$results" && mkdir -p "$results"
status=0

# A group that could not report its cases counts as one failed case.
record_failure() {
  local name=$1 message=$2
  echo "$name: $message"
  echo "<testsuite><testcase classname=\"$name\" name=\"$message\"><failure message=\"$message\"/></testcase></testsuite>" \
    > "$results/$name.xml"
  status=1
}

count_cases() {
  /usr/bin/python3 -c 'import sys, xml.etree.ElementTree as E
print(len(list(E.parse(sys.argv[1]).getroot().iter("testcase"))))' "$1" 2>/dev/null || echo 0
}

if wanted scripts; then
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
fi

if wanted resources; then
  # Every offered language has its texts, checked against English: ids, placeholders,
  # accelerators.
  echo "== translations"
  /usr/bin/python3 tests/resources/check_translations.py --require-all --junit "$results/translations.xml" \
    > "$results/translations.log" 2>&1 || status=1
  grep -v ': skipped (' "$results/translations.log" | tail -40
  [ "$(count_cases "$results/translations.xml")" -gt 0 ] || record_failure translations "ran no check"
  # The check's own cases: the faults it must find.
  /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/resources \
    --junitxml="$results/translation_check.xml" > "$results/translation_check.log" 2>&1 || status=1
  tail -1 "$results/translation_check.log"
  # The packager's reference against the section and key names the program reads.
  echo "== packager reference"
  /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/docs \
    --junitxml="$results/packager_reference.xml" > "$results/packager_reference.log" 2>&1 || status=1
  tail -1 "$results/packager_reference.log"
fi

if wanted native; then
  echo "== native portable core (ASan/UBSan)"
  ./build/native/portable_tests --gtest_brief=1 --gtest_output="xml:$results/portable.xml" \
    > "$results/portable.log" 2>&1 || status=1
  tail -2 "$results/portable.log"
  [ "$(count_cases "$results/portable.xml")" -gt 0 ] || record_failure portable "ran no tests"
  ./build/native/zip_tests --gtest_brief=1 --gtest_output="xml:$results/zip_native.xml" \
    > "$results/zip_native.log" 2>&1 || status=1
  tail -2 "$results/zip_native.log"
  [ "$(count_cases "$results/zip_native.xml")" -gt 0 ] || record_failure zip_native "ran no tests"
fi

# A bounded libFuzzer run counts as one test case. The fuzzers run side by
# side, in the background while the Wine tests run.
run_fuzzer() {
  local name=$1 seconds=$2
  shift 2
  local failure=""
  "./build/native/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -artifact_prefix="$results/$name-" "$@" \
    > "$results/$name.log" 2>&1 || failure='<failure message="see the fuzzer log"/>'
  echo "<testsuite><testcase classname=\"Fuzz\" name=\"$name\">$failure</testcase></testsuite>" \
    > "$results/$name.xml"
  [ -z "$failure" ]
}
fuzzers=(command_options_fuzzer condition_fuzzer engine_text_fuzzer ini_fuzzer signature_fuzzer zip_fuzzer)
fuzz_jobs=()
if wanted fuzz; then
  for name in "${fuzzers[@]}"; do mkdir -p "build/fuzz/${name%_fuzzer}_corpus"; done
  run_fuzzer command_options_fuzzer 20 -dict=tests/fuzz/command_options.dict build/fuzz/command_options_corpus &
  fuzz_jobs+=($!)
  run_fuzzer condition_fuzzer 30 build/fuzz/condition_corpus tests/fuzz/condition_seeds &
  fuzz_jobs+=($!)
  run_fuzzer engine_text_fuzzer 10 -timeout=10 -dict=tests/fuzz/engine_text.dict build/fuzz/engine_text_corpus &
  fuzz_jobs+=($!)
  run_fuzzer ini_fuzzer 20 -dict=tests/fuzz/ini.dict build/fuzz/ini_corpus tests/fuzz/ini_seeds &
  fuzz_jobs+=($!)
  # Seed archives are made by the tools each run, never committed.
  /usr/bin/python3 tests/fuzz/make_zip_seeds.py build/fuzz/zip_seeds || record_failure zip_seeds "could not make the seed archives"
  run_fuzzer zip_fuzzer 20 build/fuzz/zip_corpus build/fuzz/zip_seeds &
  fuzz_jobs+=($!)
  /usr/bin/python3 tests/fuzz/make_signature_seeds.py build/win/exit_with.exe build/fuzz/signature_seeds ||
    record_failure signature_seeds "could not make the seed signatures"
  run_fuzzer signature_fuzzer 20 build/fuzz/signature_corpus build/fuzz/signature_seeds &
  fuzz_jobs+=($!)
fi

wine_groups=(wine "${test_programs[@]}")
if wanted "${wine_groups[@]}" e2e; then
  wine_prefix_ready
fi

if wanted "${wine_groups[@]}"; then
  # A display of our own for the tests that create windows.
  display=""
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'wine_server_stop; kill "$xvfb_pid" >/dev/null 2>&1 || true' EXIT
  wine_server_start
  for name in "${test_programs[@]}"; do
    wanted wine "$name" || continue
    echo "== $name (Wine)"
    DISPLAY="$display" wine "build/win/$name.exe" --gtest_brief=1 \
      --gtest_output="xml:Z:${results//\//\\}\\$name.xml" > "$results/$name.log" 2>&1 </dev/null || status=1
    grep -E '^\[  (FAILED|PASSED|SKIPPED) ' "$results/$name.log" | tail -20
    [ "$(count_cases "$results/$name.xml")" -gt 0 ] || record_failure "$name" "ran no tests"
  done
  # The end-to-end template is copied from this prefix: its server ends first.
  wine_server_stop
  kill "$xvfb_pid" >/dev/null 2>&1 || true
  trap - EXIT
fi

if wanted e2e; then
  echo "== end-to-end (pytest, a Wine prefix per test)"
  /usr/bin/python3 -m pytest -q -p no:cacheprovider -n "${TEST_JOBS:-$(nproc)}" tests/e2e \
    --junitxml="$results/e2e.xml" > "$results/e2e.log" 2>&1
  rc=$?
  tail -3 "$results/e2e.log"
  # 5 is pytest's "no tests collected": an empty suite is a failure too.
  if [ $rc -eq 5 ]; then
    record_failure e2e "collected no tests"
  elif [ $rc -ne 0 ]; then
    status=1
    [ "$(count_cases "$results/e2e.xml")" -gt 0 ] || record_failure e2e "pytest ended with $rc"
  fi
fi

if [ ${#fuzz_jobs[@]} -gt 0 ]; then
  echo "== fuzzers (libFuzzer, ASan/UBSan)"
  # Each fuzzer's own result file says how it ended: the shell forgets the
  # status of a job that ended long ago once its process id is reused.
  for job in "${fuzz_jobs[@]}"; do wait "$job" 2>/dev/null; done
  for name in "${fuzzers[@]}"; do
    echo "$name: $(tail -n1 "$results/$name.log")"
    if [ ! -f "$results/$name.xml" ]; then
      record_failure "$name" "left no result"
    elif grep -q '<failure' "$results/$name.xml"; then
      status=1
    fi
  done
fi

/usr/bin/python3 scripts/summarize_results.py "$results" || status=1
exit $status
