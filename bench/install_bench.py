#!/usr/bin/env python3
"""install_bench.py: the sample suite (Alpha and Beta, real packages built
with wixl) installed and removed by setup.exe /qn and its registered
uninstall command, against the same packages installed and removed one
after another with `wine msiexec /i ... /qn` and `/x`, the way packages are
chained without a setup program. Each side runs in turn in one Wine prefix
of the benchmark's own (copied once from the build's prefix), with its
wineserver kept running; prints the median wall times of each side and
their ratio.

Run after scripts/build.sh: /usr/bin/python3 bench/install_bench.py [rounds]
"""
import os
import pathlib
import re
import shutil
import statistics
import subprocess
import sys

from sample_kit import make_sample_kit
import time

REPO = pathlib.Path(__file__).resolve().parents[1]
BUILD = REPO / "build" / "win"
WORK = REPO / "build" / "bench-install"
PREFIX = WORK / "prefix"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
PACKAGES = ("alpha", "beta")


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


def environment():
    return dict(os.environ, WINEPREFIX=str(PREFIX), WINEARCH="win64", WINEDEBUG="-all",
                WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")


def wine(args, out_name="wine.out"):
    """Output goes to a file: Wine's services keep inherited pipes open."""
    with open(WORK / out_name, "wb") as out:
        subprocess.run(["wine"] + args, stdout=out, stderr=subprocess.STDOUT,
                       stdin=subprocess.DEVNULL, env=environment(), check=False)
    return (WORK / out_name).read_bytes().decode("utf-8", "replace")


def launch(program, args):
    """The full 32-bit exit code, through our launcher."""
    text = wine([str(BUILD / "exit_code_launcher.exe"), windows(program)] + args, "launcher.out")
    codes = re.findall(r"exit code: (\d+)", text)
    return int(codes[-1]) if codes else -1


def uninstall_command(suite):
    text = wine(["reg", "query", f"{UNINSTALL}\\{suite}", "/v", "UninstallString", "/reg:32"])
    found = re.search(r"UninstallString\s+REG_\w+\s+(.*)", text)
    return found.group(1).strip() if found else None


def timed(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    if not PREFIX.exists():
        PREFIX.parent.mkdir(parents=True, exist_ok=True)
        shutil.copytree(REPO / "build" / "wineprefix", PREFIX, symlinks=True)
    server = subprocess.Popen(["wineserver", "-f", "-p"], env=environment(),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        kit = make_sample_kit(WORK / "kit")
        dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
        suite = re.search(r"^UUID=(.*?)\s*$", dcf, re.M).group(1)
        drive_c = PREFIX / "drive_c"

        def setup_round():
            assert launch(kit / "setup.exe", ["/qn"]) == 0, "setup.exe /qn failed"
            command = uninstall_command(suite)
            assert command, "no programs list entry after the install"
            program, arguments = re.match(r'^"([^"]+)"\s*(.*)$', command).groups()
            cached = drive_c / program[3:].replace("\\", "/")
            assert launch(cached, arguments.split()) == 0, "the registered uninstall failed"

        def msiexec_round():
            for name in PACKAGES:
                wine(["msiexec", "/i", windows(kit / name.capitalize() / f"{name}.msi"), "/qn"])
            for name in PACKAGES:
                wine(["msiexec", "/x", windows(kit / name.capitalize() / f"{name}.msi"), "/qn"])

        setup_round()  # warm the prefix and the file cache once
        msiexec_round()
        setup_times, msiexec_times = [], []
        for _ in range(rounds):
            setup_times.append(timed(setup_round))
            msiexec_times.append(timed(msiexec_round))
        setup_ms = statistics.median(setup_times) * 1000
        msiexec_ms = statistics.median(msiexec_times) * 1000
        print(f"setup_install_and_remove_ms: {setup_ms:.0f}")
        print(f"msiexec_chain_install_and_remove_ms: {msiexec_ms:.0f}")
        print(f"time_ratio: {setup_ms / msiexec_ms:.2f}")
    finally:
        subprocess.run(["wineserver", "-k"], env=environment(), check=False)
        server.wait(timeout=30)


if __name__ == "__main__":
    main()
