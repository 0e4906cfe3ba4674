"""Runs killed by their process id, as a deployment tool's time-out or Task
Manager kills them, at a moment the test waits for: while a program of
suite One holds its install (Beta's reference counted, Delta installed) or
as Delta's package starts. Suite Two, which shares Alpha and Beta, was
installed before. The next run of either suite puts Windows Update's
setting back, takes off the machine what the killed run left half done
before it counts references, and leaves no working copy in %TEMP%; a run
resumed after a restart leaves none either. Each row reads the machine
afterwards: exit code, products, references, AUOptions, %TEMP%."""
import os
import pathlib
import re
import shutil
import signal
import subprocess
import time

import pytest

from conftest import BUILD, REPO, current_world, prefix_drive_c, windows_path, wine_environment
from test_pre_install_checks import check_kit, edit_dcf  # noqa: F401
from test_suite_run import ALPHA, BETA, DELTA, ONE, PACKAGES, TWO, UNINSTALL, installed, pending_deletions, \
    references, registry, run_setup, suite_left, uninstall_suite
from test_system_facts import AUTO_UPDATE, au_options, reg
from test_unattended_runs import INSTALLER_UPDATE, start_unattended, wait_for_runs

FIXTURES = REPO / "tests" / "fixtures"
RUNS = "HKLM\\SOFTWARE\\Tamsa\\Setup\\Runs"
HELD = "Executing setup action: InstallActions.Delta.Hold"
PACKAGE_STARTED = "Executing setup action: InstallActions.Delta.Main"
BOUND = 120


@pytest.fixture(scope="module")
def kits(tmp_path_factory):
    """Suite One with its holding program and suite Two, built once; rows copy them."""
    root = tmp_path_factory.mktemp("kits")
    for name, fixture in (("one", "suite_one_held"), ("two", "suite_two")):
        kit = root / name
        kit.mkdir()
        shutil.copy(BUILD / "setup.exe", kit)
        dcf = (FIXTURES / fixture / "SETUP.DCF").read_text()
        (kit / "SETUP.DCF").write_text(dcf)
        for product in re.search(r"^Products=(.*)$", dcf, re.M).group(1).split(","):
            (kit / product).mkdir()
            shutil.copy(PACKAGES / (product.lower() + ".msi"), kit / product)
    shutil.copy(BUILD / "mutex_holder.exe", root / "one" / "Delta")
    return root


def prefix_processes(*names):
    """The Linux ids of this test's Windows processes whose command line names one of `names`."""
    prefix = f"WINEPREFIX={current_world().prefix.path()}".encode()
    found = []
    for process in pathlib.Path("/proc").iterdir():
        try:
            environment = (process / "environ").read_bytes().split(b"\0")
            command = (process / "cmdline").read_bytes().lower()
        except OSError:
            continue
        if prefix in environment and any(name.encode() in command for name in names):
            found.append(int(process.name))
    return found


def log_text(path):
    return path.read_bytes().decode("utf-16-le", "ignore") if path.exists() else ""


def wait_until(condition, what):
    deadline = time.time() + BOUND
    while not condition():
        assert time.time() < deadline, f"not within {BOUND} s: {what}"
        time.sleep(0.1)


def kill(*names):
    """Kills them until none is left: a process that one of them was starting
    when it was killed (a held program) comes up after the first look."""
    def killed():
        for pid in prefix_processes(*names):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        return not prefix_processes(*names)
    wait_until(killed, f"{names} ending")


def start_held_run(kit):
    logs = kit / "logs-held"
    env = wine_environment({"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}, ())
    with open(current_world().out / "held.out", "wb") as out:
        run = subprocess.Popen(["wine", str(kit / "setup.exe"), "/qn", "HOLD=1"], stdout=out,
                               stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
    return run, logs / "VELL_SETUP.LOG"


def work_copies():
    """Every working copy in the prefix's temporary folders, and what the restart would delete of one."""
    temporary = [prefix_drive_c() / "users", prefix_drive_c() / "windows" / "temp"]
    return [os.path.join(root, name) for top in temporary for root, folders, _ in os.walk(top)
            for name in folders if re.fullmatch(r"ZOLM[0-9A-Fa-f]{4}", name)] + \
        [path for path in pending_deletions() if "\\ZOLM" in path.upper()]


def remove_two(world):
    return uninstall_suite(TWO, world.folder / "logs-next")


def repair_two(world):
    cached = prefix_drive_c() / "ProgramData" / "Uninstall" / TWO / "setup.exe"
    return run_setup(cached, world.folder / "logs-next", f"/qn /f {TWO}")


def install_one(world):
    return run_setup(world.folder / "one" / "setup.exe", world.folder / "logs-next", "/qn")


# id: (moment One's run is killed at, or None: it is let go on; AUOptions written while it
#      holds; the next run; its exit code; Alpha, Beta, Delta installed; Beta's users (Alpha's
#      the same); One registered; AUOptions after)
CASES = {
    "held-then-other-suite-removed": (HELD, None, remove_two, 0, (False, False, False), None, False, 4),
    "package-started-then-other-suite-removed": (PACKAGE_STARTED, None, remove_two, 0, (False, False, False), None,
                                                 False, 4),
    "held-then-other-suite-repaired": (HELD, None, repair_two, 0, (True, True, False), [TWO], False, 4),
    "held-then-same-suite-again": (HELD, None, install_one, 0, (True, True, True), [TWO, ONE], True, 4),
    # Not killed: the administrator's setting of the meantime stays.
    "setting-changed-while-held": (None, 5, None, 0, (True, True, True), [TWO, ONE], True, 5),
}


@pytest.mark.parametrize("case", CASES)
def test_next_run_undoes_what_a_killed_run_left(test_world, kits, case):
    killed_at, setting, next_run, code, products, users, registered, options = CASES[case]
    shutil.copytree(kits / "one", test_world.folder / "one")
    shutil.copytree(kits / "two", test_world.folder / "two")
    assert run_setup(test_world.folder / "two" / "setup.exe", test_world.folder / "logs-two", "/qn")[0] == 0
    reg("add", AUTO_UPDATE, "/v", "AUOptions", "/t", "REG_DWORD", "/d", "4", "/f")
    run, log = start_held_run(test_world.folder / "one")
    try:
        wait_until(lambda: (killed_at or HELD) in log_text(log), "the moment to kill at")
        if killed_at:
            kill("setup.exe")
            kill("mutex_holder.exe")
            assert au_options() == 2 and work_copies()
            code_found, messages = next_run(test_world)
        else:
            reg("add", AUTO_UPDATE, "/v", "AUOptions", "/t", "REG_DWORD", "/d", str(setting), "/f")
            (test_world.folder / "one" / "release-hold").write_bytes(b"")
            code_found, messages = run.wait(timeout=BOUND), []
    finally:
        kill("setup.exe", "mutex_holder.exe")
        run.wait(timeout=BOUND)
    assert code_found == code, messages[-8:]
    assert not prefix_processes("setup.exe")
    assert tuple(installed(p) for p in (ALPHA, BETA, DELTA)) == products
    assert references(BETA) == (users, hex(len(users)) if users else None)
    assert references(ALPHA) == references(BETA)
    assert references(DELTA) == (([ONE], "0x1") if products[2] else (None, None))
    assert bool(registry(UNINSTALL + ONE, "32")) == registered
    if not registered:
        assert not suite_left(ONE)
    assert au_options() == options
    assert "held by setup" not in reg("query", AUTO_UPDATE).stdout
    assert "Runs\\" not in reg("query", RUNS, "/s").stdout
    assert not work_copies()


def test_resumed_run_leaves_no_working_copy(check_kit):  # noqa: F811
    """The installer asks for a restart, which Wine makes at once: the resume
    entry starts the working copy, which hands over to the kit's setup."""
    shutil.copy(BUILD / "exit_with.exe", check_kit / "msi_1641.exe")
    edit_dcf(check_kit, "ProductName=Tamsa Check Suite\n", INSTALLER_UPDATE + "NTMsiInstaller=msi_1641.exe\n")
    codes, messages = wait_for_runs(start_unattended(check_kit, "/qn"), 3)
    assert codes == [0x70669, 0, 1603], messages[-5:]
    assert not work_copies()
