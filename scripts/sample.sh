#!/usr/bin/env bash
# sample.sh: installs what is missing, builds (quietly), and runs setup.exe
# quietly on the sample suite (real packages built with wixl) under Wine, in
# a prefix of its own: it installs the suite, shows what got installed and
# registered, then removes the suite through the uninstall command of its
# Add/Remove Programs entry and checks that nothing is left, and says how to
# see the suite's wizard. Exits non-zero when a run fails or something is
# left behind.
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

sample="$PWD/build/sample"
# A prefix of the sample's own: the build's prefix is the template of the
# tests' prefixes and must never see an installed suite.
export WINEPREFIX_OVERRIDE="$PWD/build/sample-prefix"
source scripts/wine_env.sh
rm -rf "$WINEPREFIX"
echo "Creating the sample's Wine prefix (about 30 s)..."
wine_prefix_ready
wine_server_start
trap wine_server_stop EXIT

packages="$PWD/build/win/fixtures/msi"
rm -rf "$sample" && mkdir -p "$sample"
cp build/win/setup.exe tests/fixtures/msi_suite/SETUP.DCF "$sample/"
# The licence the wizard shows, and the products' descriptions on its Customize page.
cp -r tests/fixtures/msi_suite/bin "$sample/"
for product in Alpha Beta Gamma; do
  mkdir -p "$sample/$product"
  if [ -d "tests/fixtures/msi_suite/$product" ]; then cp -r "tests/fixtures/msi_suite/$product/." "$sample/$product/"; fi
  cp "$packages/${product,,}.msi" "$sample/$product/"
done

/usr/bin/python3 - "$sample" "$PWD/build/win" <<'EOF'
import os
import pathlib
import re
import subprocess
import sys

sample, tools = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
drive_c = pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
dcf = (sample / "SETUP.DCF").read_text(encoding="latin-1")
SUITE = re.search(r"^UUID=(.*?)\s*$", dcf, re.M).group(1)
PRODUCTS = {}
for name in ("alpha", "beta", "gamma"):
    found = re.search(r'<Product Id="(\{[^"]+\})" Name="([^"]+)"',
                      pathlib.Path(f"tests/fixtures/msi_suite/{name}.wxs").read_text())
    PRODUCTS[found.group(1)] = found.group(2)
MEANINGS = {"0": "success", "13": "configuration or package unreadable", "1603": "an installation failed",
            "1639": "the command line is not valid", "3010": "success; a restart is needed"}


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


def launch(program, args, env=None):
    """A Windows program through the launcher, which prints the full 32-bit exit code."""
    out = sample / "launcher.out"
    with open(out, "wb") as handle:
        subprocess.run(["wine", str(tools / "exit_code_launcher.exe"), windows(program)] + args,
                       stdout=handle, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                       env=env, check=False)
    codes = re.findall(r"exit code: (\d+)", out.read_bytes().decode("utf-8", "replace"))
    return codes[-1] if codes else "none"


def run_setup(program, args, logs):
    env = dict(os.environ, KWSETUP=windows(logs) + "\\TAM_{ProductID}.log")
    return launch(program, args, env)


def registry(key):
    out = sample / "reg.out"
    with open(out, "wb") as handle:
        subprocess.run(["wine", "reg", "query", key, "/reg:32"], stdout=handle, stderr=subprocess.STDOUT,
                       stdin=subprocess.DEVNULL, check=False)
    values = {}
    for line in out.read_bytes().decode("utf-8", "replace").splitlines():
        match = re.match(r"^\s{4}(\S.*?)\s{4}(REG_\w+)\s{4}(.*)$", line.rstrip("\r"))
        if match:
            values[match.group(1)] = match.group(3).replace("\\0", ", ").strip(", ")
    return values


def summarize(logs):
    """The setup log's own account of the run: products, features, steps."""
    log = logs / "VELL_SETUP.LOG"
    if not log.exists():
        print(f"   no log written at {log}")
        return
    print(f"   Log: {log} (UTF-16LE: iconv -f UTF-16LE -t UTF-8 to read it)")
    messages = [re.sub(r"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d - ", "", line).strip()
                for line in log.read_bytes().decode("utf-16-le", "replace").split("\r\n") if line]
    products, features, steps, actions, errors = "none found", {}, [], [], []
    for text in messages:
        if text.startswith("Modified product list: "):
            products = text.split(": ", 1)[1].replace(",", ", ")
            steps.append("product list read")
        found = re.match(r"Successfully added feature '(.*)' to product '(.*)'", text)
        if found:
            if not features:
                steps.append("packages opened")
            features.setdefault(found.group(2), []).append(found.group(1))
        if text.startswith("Installer suite information"):
            steps.append("installed suite looked up")
        found = re.match(r"Action list INSTALL_ACTIONS: (\d+) actions", text)
        if found:
            steps.append(f"action lists loaded ({found.group(1)} install actions)")
        found = re.match(r"Executing setup action: (InstallActions\.\S+)", text)
        if found:
            actions.append(found.group(1))
        if text.startswith("Worker exiting with status code: "):
            if actions:
                steps.append("ran " + ", ".join(actions))
                actions = []
            steps.append("worker ended with status " + text.split("ResultCode = ")[-1])
        if re.match(r"(Failed|Unable|Exception|Aborting|Caught thrown)", text):
            errors.append(text)
    print(f"   Products: {products}")
    print("   Features: " + ("; ".join(f"{p}: {', '.join(f)}" for p, f in features.items()) or "none found"))
    print("   Steps:    " + "; ".join(steps))
    for error in errors[:5]:
        print(f"   Error:    {error}")


def installed(code):
    return launch(tools / "product_state.exe", [code]) == "105"


def show_machine():
    for code, name in PRODUCTS.items():
        entry = registry(f"{UNINSTALL}\\{code}")
        state = "installed" if installed(code) else "not installed"
        used = f"; RefCount {int(entry['RefCount'], 16)}, UsedBy {entry['UsedBy']}" if "UsedBy" in entry else ""
        print(f"   {name:<20} {state}{used}")
    record = registry(f"{UNINSTALL}\\{SUITE}")
    if not record:
        print(f"   Programs list entry {SUITE}: none")
        return record
    print(f"   Programs list entry {SUITE} (32-bit view):")
    for name in ("DisplayName", "DisplayVersion", "Publisher", "InstallLocation", "UninstallString",
                 "CacheLocation"):
        print(f"      {name:<16} {record.get(name, '')}")
    return record


print(f"Installing: {sample / 'setup.exe'} /qn")
code = run_setup(sample / "setup.exe", ["/qn"], sample / "logs-install")
print(f"Exit code:  {code} ({MEANINGS.get(code, 'unexpected code')})")
summarize(sample / "logs-install")
record = show_machine()
failed = code != "0" or not record
if record:
    command = record["UninstallString"]
    location = record.get("InstallLocation", "")
    program, arguments = re.match(r'^"([^"]+)"\s*(.*)$', command).groups()
    print(f"Removing through the registered command: {command}")
    code = run_setup(drive_c / program[3:].replace("\\", "/"), arguments.split(), sample / "logs-remove")
    print(f"Exit code:  {code} ({MEANINGS.get(code, 'unexpected code')})")
    summarize(sample / "logs-remove")
    record = show_machine()
    left = [name for product, name in PRODUCTS.items() if installed(product)]
    cache = drive_c / "ProgramData" / "Uninstall" / SUITE
    cached = sorted(p.name for p in cache.rglob("*") if p.is_file()) if cache.exists() else []
    if cached and cached != ["setup.exe"]:
        left.append(f"cached files {cached}")
    if record:
        left.append("the programs list entry")
    folder = drive_c / location[3:].replace("\\", "/") if location[:3].upper() == "C:\\" else None
    kept = sorted(p.name for p in folder.rglob("*") if p.is_file()) if folder and folder.is_dir() else []
    if kept:
        left.append(f"files in the suite's folder {location}: {', '.join(kept)}")
    # The cached setup.exe that ran the removal cannot delete itself.
    note = " (the cached setup.exe that ran the removal goes at the restart)" if cached else ""
    print("Left behind: " + (", ".join(left) if left else "nothing" + note))
    failed = failed or code != "0" or bool(left)
repo = pathlib.Path.cwd()
print(f"""
The wizard: run the kit without /qn, on an X display, in the sample's prefix:
   export WINEPREFIX_OVERRIDE={repo}/build/sample-prefix
   source {repo}/scripts/wine_env.sh
   wine {sample}/setup.exe
Without a display of your own, Xvfb gives one and ImageMagick a picture of the first page:
   Xvfb :77 -screen 0 1024x768x24 & export DISPLAY=:77
   wine {sample}/setup.exe & sleep 20; import -window root {sample}/wizard.png; wineserver -k""")
sys.exit(1 if failed else 0)
EOF
