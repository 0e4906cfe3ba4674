"""After a run of suite One killed by its process id, the next run removes
its resume entry and working copy, keeps a product another suite lists and
keeps a failed removal for up to three tries; another suite's run that waits
for the killed one takes over and undoes the same first. A suite's uninstall
takes an ended setup's resume entry along; a recovery lock held elsewhere
stops no run."""
import shutil
import subprocess
import threading

import pytest

from conftest import BUILD, current_world, prefix_drive_c, run_windows, windows_path, wine_environment
from test_killed_runs import BOUND, HELD, RUNS, kill, kits, log_text, start_held_run, wait_until, \
    work_copies  # noqa: F401
from test_pre_install_checks import edit_dcf
from test_suite_run import ALPHA, BETA, DELTA, ONE, TWO, UNINSTALL, installed, read_messages, references, \
    registry, uninstall_suite
from test_system_facts import reg

RUN_ONCE = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"
CHECKING = "Executing setup action: VerifyActions.Delta.Wait"
REPAIR_TWO = ("cache", f"/qn /f {TWO}")


def run(world, kit, args, env=None):
    """Runs a kit of the test, or with "cache" Two's cached setup."""
    logs = world.folder / "logs-next"
    shutil.rmtree(logs, ignore_errors=True)
    folder = prefix_drive_c() / "ProgramData" / "Uninstall" / TWO if kit == "cache" else world.folder / kit
    env = dict(env or {}, KWSETUP=windows_path(logs) + "\\TAM_{ProductID}.log")
    code = run_windows(folder / "setup.exe", env=env, remove_env=(), raw_args=args, timeout=BOUND).code
    return code, read_messages(logs / "VELL_SETUP.LOG")


def resume_entries():
    return [name for name in registry(RUN_ONCE, "32") if name.endswith(".MultiInstall")]


# id: (moment One's run is killed at; Two installed before One's run or while it is held;
#      the next runs: (kit, arguments, Delta's removal fails, the killed run's record left after it);
#      Alpha, Beta, Delta installed; Beta's users; One registered)
CASES = {
    "killed-in-checks-then-other-suite": (CHECKING, "before", [REPAIR_TWO + (False, False)],
                                          (True, True, False), [TWO], False),
    "killed-in-checks-then-same-kit": (CHECKING, "before", [("one", "/qn", False, False)],
                                       (True, True, True), [TWO, ONE], True),
    # Two waits while One holds; One is killed, and Two installs Beta again for itself.
    "other-suite-counts-while-held": (HELD, "while", [REPAIR_TWO + (False, False)],
                                      (True, True, False), [TWO], False),
    "removal-fails-then-retried": (HELD, "before", [REPAIR_TWO + (True, True), REPAIR_TWO + (False, False)],
                                   (True, True, False), [TWO], False),
    # The third try that fails gives the removal up: Delta is left to its own uninstall.
    "removal-fails-three-times": (HELD, "before", [REPAIR_TWO + (True, True)] * 2 + [REPAIR_TWO + (True, False)],
                                  (True, True, True), [TWO], False),
}


@pytest.mark.parametrize("case", CASES)
def test_next_run_recovers_a_killed_run(test_world, kits, case):  # noqa: F811
    moment, two_at, next_runs, products, users, registered = CASES[case]
    one = test_world.folder / "one"
    for name in ("one", "two"):
        shutil.copytree(kits / name, test_world.folder / name)
    if moment == CHECKING:
        edit_dcf(one, "InstallActions=Main,Hold\n", "InstallActions=Main,Hold\nVerifyActions=Wait\n")
        with open(one / "SETUP.DCF", "a") as dcf:
            dcf.write(f'\n[VerifyActions.Delta.Wait]\nAction=PROGRAM,mutex_holder.exe,TamsaCheckHold '
                      f'"{windows_path(one / "release-check")}" 120\n')
    if two_at == "before":
        assert run(test_world, "two", "/qn")[0] == 0
    held, log = start_held_run(one)
    waiting, result = None, {}
    try:
        wait_until(lambda: moment in log_text(log), "the moment to kill at")
        if two_at == "while":
            waiting = threading.Thread(target=lambda: result.update(two=run(test_world, "two", "/qn")))
            waiting.start()
            wait_until(lambda: "waiting up to" in log_text(test_world.folder / "logs-next" / "VELL_SETUP.LOG"),
                       "Two waiting for One")
        kill("one/setup.exe", "one\\setup.exe")
        kill("mutex_holder.exe")
    finally:
        held.wait(timeout=BOUND)
    if waiting:
        waiting.join(timeout=BOUND)
        assert result["two"][0] == 0, result["two"][1][-8:]
    # Two, when it waited, has taken over and undone that much already.
    assert (work_copies() or waiting) and (moment == HELD or resume_entries())
    (one / "release-check").write_bytes(b"")
    for kit, args, failing, left in next_runs:
        code, messages = run(test_world, kit, args, {"TAMSA_FAILME": "1"} if failing else None)
        assert code == 0, messages[-8:]
        assert (installed(DELTA), "Runs\\" in reg("query", RUNS, "/s").stdout) == (products[2] or left, left)
    assert tuple(installed(p) for p in (ALPHA, BETA, DELTA)) == products
    assert references(BETA)[0] == users
    assert bool(registry(UNINSTALL + ONE, "32")) == registered
    assert resume_entries() == []
    assert not work_copies()


def test_uninstall_takes_the_resume_entry_of_an_ended_setup_along(test_world, kits):  # noqa: F811
    shutil.copytree(kits / "one", test_world.folder / "one")
    assert run(test_world, "one", "/qn")[0] == 0
    for suite in (ONE, TWO):  # as runs that ended waiting for their restart leave them
        reg("add", RUN_ONCE, "/v", suite + ".MultiInstall", "/d", f'"C:\\{suite}\\setup.exe" /s20', "/f", "/reg:32")
    assert uninstall_suite(ONE, test_world.folder / "logs-uninstall")[0] == 0
    assert not installed(DELTA) and resume_entries() == [TWO + ".MultiInstall"]


def test_run_does_not_wait_for_a_recovery_lock_another_program_holds(test_world, kits):  # noqa: F811
    shutil.copytree(kits / "two", test_world.folder / "two")
    stop, out = test_world.folder / "release-lock", current_world().out / "lock.out"
    holder = subprocess.Popen(["wine", str(BUILD / "mutex_holder.exe"), "Global\\SETUP abandoned runs",
                               windows_path(stop), "600"], stdout=out.open("wb"), stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, env=wine_environment())
    try:
        wait_until(lambda: b"held" in out.read_bytes(), "the lock held")
        assert run(test_world, "two", "/qn")[0] == 0 and installed(ALPHA) and installed(BETA)
    finally:
        stop.write_bytes(b"")
        holder.wait(timeout=BOUND)
