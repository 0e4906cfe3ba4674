#!/usr/bin/env bash
# sample.sh: installs what is missing, builds (quietly), and runs setup.exe
# quietly on the sample suite (three real packages built with wixl) under
# Wine; then says what ran, its exit code and what it means, where the log
# is and what the log tells. Exits non-zero when setup.exe ends with a code
# other than success.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
build_log="$PWD/build/sample-build.log"
echo "Installing what is missing and building (output in build/sample-build.log)..."
if ! { bash scripts/deps.sh && bash scripts/build.sh; } > "$build_log" 2>&1 </dev/null; then
  echo "The build failed; the end of its output:"
  tail -n 60 "$build_log"
  exit 1
fi

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
log_template="$win_sample\\logs\\TAM_{ProductID}.log"
# The launcher prints setup.exe's full 32-bit exit code: Linux keeps only 8 bits.
KWSETUP="$log_template" wine build/win/exit_code_launcher.exe "$win_sample\\setup.exe" /qn \
  > "$sample/launcher.out" 2>&1 </dev/null || true
code=$(grep -o 'exit code: [0-9]*' "$sample/launcher.out" | tail -n1 | cut -d' ' -f3)

/usr/bin/python3 - "$sample" "$log_template" "${code:-}" <<'EOF'
import pathlib
import re
import sys

sample, log_template, code = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3]
MEANINGS = {
    "0": "success: every step built so far ran",
    "2": "no readable SETUP.DCF beside setup.exe",
    "13": "a package is missing or cannot be read, or the product list is broken",
    "148": "not enough temporary space for the largest product",
    "1602": "cancelled by the user",
    "1603": "the installation failed",
    "1639": "the command line is not valid",
    "3010": "success; a restart is needed",
}
print(f"Ran:        {sample / 'setup.exe'} /qn  (as Z:\\..., under Wine)")
print(f"            with KWSETUP={log_template}")
if not code:
    print("Exit code:  none: setup.exe did not end normally; the launcher said:")
    print(sample.joinpath("launcher.out").read_text(errors="replace"))
else:
    print(f"Exit code:  {code} ({MEANINGS.get(code, 'unexpected code')})")
log = sample / "logs" / "VELL_SETUP.LOG"
if not log.exists():
    print(f"Log:        none written at {log}")
    sys.exit(0)
print(f"Log:        {log} (UTF-16LE: iconv -f UTF-16LE -t UTF-8 to read it)")

messages = [re.sub(r"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d - ", "", line).strip()
            for line in log.read_bytes().decode("utf-16-le", "replace").split("\r\n") if line]
STEPS = [
    ("Worker thread starting...", "worker started"),
    ("Setup command line: ", "command line read"),
    ("Modified product list: ", "product list read"),
    ("Temp Folder Information for: ", "temporary space checked"),
    ("Listing all PropertyMap", "properties listed"),
    ("Worker exiting with status code: ", None),
    ("Removing temporary reboot files", "cleaned up"),
]
products, features, steps, errors, not_built = "none found", {}, [], [], 0
for text in messages:
    if text.startswith("Modified product list: "):
        products = text.split(": ", 1)[1].replace(",", ", ")
    found = re.match(r"Successfully added feature '(.*)' to product '(.*)'", text)
    if found:
        if not features:
            steps.append("packages opened")
        features.setdefault(found.group(2), []).append(found.group(1))
    if text.startswith("Stage not built yet: "):
        not_built += 1
    for prefix, label in STEPS:
        if text.startswith(prefix):
            steps.append(label or "worker ended with status " + text.split("ResultCode = ")[-1])
    if re.match(r"(Failed|Unable|Exception|Aborting|Caught thrown)", text):
        errors.append(text)
print(f"Products:   {products}")
print("Features:   " + ("; ".join(f"{p}: {', '.join(f)}" for p, f in features.items()) or "none found"))
print("Steps:      " + ", ".join(steps) + f"; {not_built} stages passed as not built yet")
for error in errors[:5]:
    print(f"Error:      {error}")
EOF

if [ "${code:-}" != "0" ]; then
  echo "setup.exe did not succeed: the sample expects exit code 0."
  exit 1
fi
