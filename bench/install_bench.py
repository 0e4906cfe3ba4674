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
import pathlib
import statistics
import sys
import time

from sample_kit import REPO, BenchPrefix, make_sample_kit, windows

WORK = REPO / "build" / "bench-install"
PACKAGES = ("alpha", "beta")


def timed(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    prefix = BenchPrefix(WORK)
    prefix.start()
    try:
        kit = make_sample_kit(WORK / "kit")

        def setup_round():
            prefix.install_and_remove(kit)

        def msiexec_round():
            for name in PACKAGES:
                prefix.wine(["msiexec", "/i", windows(kit / name.capitalize() / f"{name}.msi"), "/qn"])
            for name in PACKAGES:
                prefix.wine(["msiexec", "/x", windows(kit / name.capitalize() / f"{name}.msi"), "/qn"])

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
        prefix.stop()


if __name__ == "__main__":
    main()
