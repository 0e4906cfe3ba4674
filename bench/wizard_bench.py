#!/usr/bin/env python3
"""wizard_bench.py: runs wizard_bench.exe (setup.exe from process start to
its first wizard page painted, against an empty comctl32 property sheet) on
the sample suite's kit, in a Wine prefix of the benchmark's own (copied once
from the build's prefix) with an X display of its own.

Run after scripts/build.sh: /usr/bin/python3 bench/wizard_bench.py [runs]
"""
import os
import pathlib
import shutil
import subprocess
import sys

from sample_kit import make_sample_kit

REPO = pathlib.Path(__file__).resolve().parents[1]
BUILD = REPO / "build" / "win"
WORK = REPO / "build" / "bench-wizard"
PREFIX = WORK / "prefix"


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


def start_display():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                              pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read, "rb") as pipe:
        number = pipe.readline().strip().decode()
    return server, ":" + number


def main():
    runs = sys.argv[1] if len(sys.argv) > 1 else "7"
    if not PREFIX.exists():
        PREFIX.parent.mkdir(parents=True, exist_ok=True)
        shutil.copytree(REPO / "build" / "wineprefix", PREFIX, symlinks=True)
    display, name = start_display()
    env = dict(os.environ, WINEPREFIX=str(PREFIX), WINEARCH="win64", WINEDEBUG="-all", DISPLAY=name,
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    env.pop("KWSETUP", None)
    server = subprocess.Popen(["wineserver", "-f", "-p"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        kit = make_sample_kit(WORK / "kit")
        out = WORK / "bench.out"
        with open(out, "wb") as handle:
            subprocess.run(["wine", str(BUILD / "wizard_bench.exe"), windows(kit / "setup.exe"), runs],
                           stdout=handle, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, env=env,
                           timeout=1800, check=False)
        print(out.read_bytes().decode("utf-8", "replace"), end="")
    finally:
        subprocess.run(["wineserver", "-k"], env=env, check=False)
        server.wait(timeout=30)
        display.terminate()
        display.wait()
        # setup.exe, ended at its first paint, leaves its working copy behind.
        # An administrator's lies in the machine's temporary folder.
        copies = [*(PREFIX / "drive_c" / "users").glob("*/Temp/ZOLM*"),
                  *(PREFIX / "drive_c" / "windows" / "temp").glob("ZOLM*")]
        for copy in copies:
            shutil.rmtree(copy, ignore_errors=True)


if __name__ == "__main__":
    main()
