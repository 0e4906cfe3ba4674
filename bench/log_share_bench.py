#!/usr/bin/env python3
"""log_share_bench.py: what writing the setup log costs a quiet install plus
uninstall. A suite of generated packages (3 by default, each with 3 MB that
does not compress) is installed by setup.exe /qn and removed by its
registered uninstall command, once with the log on (KWSETUP naming a
folder, as a deployment tool sets it) and once without, in turn, for a
number of rounds, in a Wine prefix of the benchmark's own. Prints the median
wall time of each side, the median of each round's share of the log in its
logged run (the machine's load drifts less within a round than across the
run), and what the logged run wrote: the setup log's lines (and among them
the file version lines of the machine's description) and the packages' own
logs.

Run after scripts/build.sh: /usr/bin/python3 bench/log_share_bench.py [rounds] [packages]
"""
import shutil
import statistics
import sys
import time

from sample_kit import REPO, BenchPrefix, bench_packages, make_bench_suite_kit, windows

WORK = REPO / "build" / "bench-log"
PAYLOAD_MB = 3


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    prefix = BenchPrefix(WORK)
    prefix.start()
    try:
        kit = make_bench_suite_kit(WORK / "kit", bench_packages(WORK / "packages", count, PAYLOAD_MB))
        logs = WORK / "logs"
        logged_env = {"KWSETUP": windows(logs) + "\\TAM_{ProductID}.log"}

        def round_ms(env):
            shutil.rmtree(logs, ignore_errors=True)
            start = time.perf_counter()
            prefix.install_and_remove(kit, env)
            return (time.perf_counter() - start) * 1000

        round_ms(logged_env)  # warm the prefix and the file cache once
        round_ms(None)
        logged, unlogged = [], []
        for _ in range(rounds):
            logged.append(round_ms(logged_env))
            lines = (logs / "VELL_SETUP.LOG").read_bytes().decode("utf-16-le").splitlines()
            package_logs = len(list(logs.glob("TAM_*.log")))
            unlogged.append(round_ms(None))
        logged_ms = statistics.median(logged)
        unlogged_ms = statistics.median(unlogged)
        print(f"packages: {count} x {PAYLOAD_MB} MB, rounds: {rounds}")
        print(f"logged_install_and_remove_ms: {logged_ms:.0f}")
        print(f"unlogged_install_and_remove_ms: {unlogged_ms:.0f}")
        shares = [(with_log - without) / with_log for with_log, without in zip(logged, unlogged)]
        print(f"log_share: {100 * statistics.median(shares):.1f}%")
        print(f"setup_log_lines: {len(lines)}")
        print(f"file_version_lines: {sum(1 for line in lines if ' file version: ' in line)}")
        print(f"package_logs: {package_logs}")
    finally:
        prefix.stop()


if __name__ == "__main__":
    main()
