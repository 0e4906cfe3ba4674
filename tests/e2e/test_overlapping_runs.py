"""Runs of one suite that overlap. With the sample installed, an over-install
(build 101) from another folder holds in its first action while a second run
starts: the same suite, from whatever copy of its setup, ends 1618 and
changes nothing; under another UUID it waits for the held run to finish
changing products, then goes on; a killed holder or a
hand-over to the cached setup frees the suite. Each row first plants
temporaries of an ended writer in the cache, a user's ZOLM folder and a ZOLM
link in %TEMP%: the first go, the others stay untouched."""
import os
import re
import shutil
import threading

import pytest

from conftest import BUILD, REPO, prefix_drive_c
from test_killed_runs import kill, log_text, start_held_run, wait_until
from test_suite_run import ALPHA, BETA, PACKAGES, UNINSTALL, installed, references, registry, run_setup, \
    suite_left, uninstall_suite

SAMPLE = (REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF").read_text()
SUITE = re.search(r"^UUID=(.*?)\s*$", SAMPLE, re.M).group(1)
OTHER = SUITE[:-2] + "71}"
HOLD = [("BuildNumber=100", "BuildNumber=101"),
        ("beta.msi\nInstallActions=Main", "beta.msi\nInstallActions=Hold,Main"),
        ("[Setup.Gamma]", '[InstallActions.Beta.Hold]\nSequence=5\nExecuteOptions=SYNC\nCommandLine=mutex_holder.exe '
                          'TamsaOverlapHold "{SetupDir}\\release-hold" 90\n\n[Setup.Gamma]')]
REPAIR_BY_CACHE = [("SKU=STD", "SKU=STD\nOverinstallAllowed=0\nRepairModeAllowed=1")]


def make_kit(folder, edits=()):
    """The sample kit in `folder`, its SETUP.DCF edited by (old, new) pairs."""
    dcf = SAMPLE
    for old, new in edits:
        dcf = dcf.replace(old, new)
    folder.mkdir()
    shutil.copy(BUILD / "setup.exe", folder)
    (folder / "SETUP.DCF").write_text(dcf)
    for product in ("Alpha", "Beta", "Gamma"):
        (folder / product).mkdir()
        shutil.copy(PACKAGES / (product.lower() + ".msi"), folder / product)
    shutil.copy(BUILD / "mutex_holder.exe", folder / "Beta")
    return folder


def release_when_waiting(logs, held):
    wait_until(lambda: "waiting up to" in log_text(logs / "VELL_SETUP.LOG"), "the second run waiting")
    (held / "release-hold").write_bytes(b"")


def user_temp():
    return next(p for p in (prefix_drive_c() / "users").glob("*/Temp") if not p.parent.is_symlink())


def plant(cache):
    for name in ("setup.dcf.4294967280.0000000000000001-1.tmp", "Gamma.dcf.ffffff0-2.tmp"):
        (cache / name).write_bytes(b"cut")
    (user_temp() / "ZOLMBEEF").mkdir()
    (user_temp() / "ZOLMBEEF" / "notes.txt").write_bytes(b"notes")
    (prefix_drive_c() / "precious").mkdir()
    (prefix_drive_c() / "precious" / "data.txt").write_bytes(b"data")
    os.symlink(prefix_drive_c() / "precious", user_temp() / "ZOLMCAFE")


# id: (the over-install is held, killed or not started; the second run's kit edits, or None for
#      the programs list's Uninstall; its exit code; the suites Alpha lists at the end, None: removed)
CASES = {
    "uninstall-from-the-programs-list": ("held", None, 1618, [SUITE]),
    "a-copy-of-the-kit-elsewhere": ("held", [], 1618, [SUITE]),
    "the-suite-under-another-uuid-waits": ("held", [(SUITE, OTHER), ("=TamsaSample", "=TamsaOther")], 0, [OTHER, SUITE]),
    "uninstall-after-the-holder-was-killed": ("killed", None, 0, None),
    "repair-handed-over-to-the-cached-setup": (None, REPAIR_BY_CACHE, 0, [SUITE]),
}


@pytest.mark.parametrize("case", CASES)
def test_one_suite_changes_in_one_run_at_a_time(test_world, case):
    over_install, edits, code, users = CASES[case]
    world = test_world.folder
    first, held = make_kit(world / "first"), make_kit(world / "held", HOLD)
    assert run_setup(first / "setup.exe", world / "logs-first", "/qn")[0] == 0
    cache = prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE
    plant(cache)
    run, log = start_held_run(held) if over_install else (None, None)
    try:
        if run:
            wait_until(lambda: "Executing setup action: InstallActions.Beta.Hold" in log_text(log), "the hold")
        if over_install == "killed":
            kill("setup.exe", "mutex_holder.exe")
        logs = world / "logs-second"
        if over_install == "held" and code == 0:
            # Another suite's run waits for the held run's product changes: the hold goes once it waits.
            threading.Thread(target=release_when_waiting, args=(logs, held), daemon=True).start()
        second = uninstall_suite(SUITE, logs) if edits is None else \
            run_setup(make_kit(world / "second", edits) / "setup.exe", logs, "/qn")
        assert second[0] == code, second[1][-8:]
        if over_install == "held":
            (held / "release-hold").write_bytes(b"")
            assert run.wait(timeout=120) == 0, log_text(log)[-2000:]
    finally:
        kill("setup.exe", "mutex_holder.exe")
    assert [installed(p) for p in (ALPHA, BETA)] == [users is not None] * 2
    assert sorted(references(ALPHA)[0] or []) == sorted(users or [])
    assert suite_left(SUITE) == (users is not None)
    if users:
        assert registry(UNINSTALL + SUITE, "32")["UninstallString"]
        # Whole: the program and configuration of the run that wrote the cache last, no temporaries.
        assert (cache / "setup.exe").read_bytes() == (BUILD / "setup.exe").read_bytes()
        assert (cache / "setup.dcf").read_bytes() == ((held if over_install else first) / "SETUP.DCF").read_bytes()
        assert list(cache.glob("*.tmp")) == []
    assert (user_temp() / "ZOLMBEEF" / "notes.txt").read_bytes() == b"notes"
    assert (prefix_drive_c() / "precious" / "data.txt").read_bytes() == b"data"
    assert [p.name for p in user_temp().glob("ZOLM*") if (p / "setup.working-copy").is_file()] == []
