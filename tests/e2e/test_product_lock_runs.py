"""The product lock and the runs it orders. A setup that a run starts and
waits for borrows the run's lock: an earlier suite removed through its
registered uninstall command, another kit's setup.exe run as an install
action; both end within the bound, with the machine as asked. An earlier
suite whose uninstall command fails stays, and the run says so in its end.
A user who cancels the wait for another setup (Escape on the host dialog,
Cancel on the wizard) ends the run at once, nothing changed. A killed run's
journal is undone under the lock before any decision, whoever holds the
recovery's mutex. A lock's block that names no living process names nobody."""
import shutil
import subprocess

import pytest

from conftest import BUILD, current_world, prefix_drive_c, read_log, run_windows, windows_path, wine_environment
from test_killed_runs import BOUND, HELD, kill, kits, log_text, start_held_run, wait_until  # noqa: F401
from test_pre_install_checks import edit_dcf
from test_shared_suites import PINE, SUITE_B as GARDEN_B, garden_kit
from test_suite_run import ALPHA, BETA, DELTA, ONE, TWO, UNINSTALL, installed, read_messages, references, \
    registry, suite_kit, suite_left
from test_system_facts import reg
from test_wizard import CANCEL_QUESTION, YES, finish, start_setup, walk_to_progress
from wizard_driver import Wizard

PRODUCT_LOCK = "Global\\SETUP product changes"
RECOVERY_LOCK = "Global\\SETUP abandoned runs"
WAITING = "waiting up to 10 minutes"
# Suite One's registered uninstall command removes it before Alpha or Beta installs.
PREVIOUS_ONE = f"""
[PreviousVersions.PRODUCT.One]
Name=Tamsa Suite One
UninstallKey={ONE}
Detection=UNINSTALLKEY
Prompt=NONE
UninstallCommand=UNINSTALLKEY
Force=1
"""
CHAIN_ONE = """
[InstallActions.Alpha.Chain]
Sequence=5
ExecuteOptions=SYNC
CommandLine="{SetupDir}\\inner\\setup.exe" /qn
"""


def run(program, logs, args="/qn"):
    """Within the bound: a run that waits on its parent's lock fails the row."""
    env = {"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}
    code = run_windows(program, env=env, remove_env=(), raw_args=args, timeout=BOUND).code
    return code, read_messages(logs / "VELL_SETUP.LOG")


def earlier_suite(world, failing):
    """Garden suite B, which removes suite One first; One's own uninstall
    command ends with 1618 when `failing`, as a setup that waited for its
    parent's lock did."""
    assert run(suite_kit("suite_one") / "setup.exe", world / "logs-one")[0] == 0
    if failing:
        shutil.copy(BUILD / "exit_with.exe", world / "exit_1618.exe")
        reg("add", UNINSTALL + ONE, "/v", "UninstallString", "/d", f'"{windows_path(world / "exit_1618.exe")}" /x',
            "/f", "/reg:32")

    def remove_one(dcf):
        for product in ("Pine", "Quartz"):
            package = f"PackageName={product.lower()}.msi\n"
            dcf = dcf.replace(package, package + "PreviousVersions=One\n")
            dcf += PREVIOUS_ONE.replace("PRODUCT", product)
        return dcf
    return garden_kit("garden_b", edit=remove_one)


def chained_kit(world, _):
    """Suite Two whose first action runs suite One's kit, quietly, and waits for it."""
    kit = suite_kit("suite_two")
    shutil.copytree(suite_kit("suite_one"), kit / "inner")
    edit_dcf(kit, "[Setup.Alpha]\nPackageName=alpha.msi\nInstallActions=Main",
             "[Setup.Alpha]\nPackageName=alpha.msi\nInstallActions=Chain,Main")
    with open(kit / "SETUP.DCF", "a") as dcf:
        dcf.write(CHAIN_ONE)
    return kit


# id: (the kit and its argument; exit code; the suites registered after, of One, Two and garden B;
#      the products installed, of Alpha, Beta, Delta and Pine; a line the run's log must hold)
CASES = {
    "earlier-suite-by-its-uninstall-command": (earlier_suite, False, 0, (False, False, True),
                                               (False, False, False, True),
                                               "which started this setup and waits for it"),
    "earlier-suite-whose-uninstall-fails": (earlier_suite, True, 1603, (True, False, False),
                                            (True, True, True, False),
                                            "stays installed: its uninstall command ended with 1618"),
    "another-kit-as-install-action": (chained_kit, None, 0, (True, True, False), (True, True, True, False),
                                      "which started this setup and waits for it"),
}


@pytest.mark.parametrize("case", CASES)
def test_setup_started_by_a_run_borrows_its_lock(test_world, case):
    make, argument, code, registered, products, line = CASES[case]
    kit = make(test_world.folder, argument)
    found, messages = run(kit / "setup.exe", test_world.folder / "logs")
    assert found == code, messages[-10:]
    assert not any(WAITING in m for m in messages), "a setup waited on the run that started it"
    assert any(line in m for m in messages), line
    assert tuple(not suite_left(s) if not r else bool(registry(UNINSTALL + s, "32"))
                 for s, r in zip((ONE, TWO, GARDEN_B), registered)) == (True,) * 3, registered
    assert tuple(installed(p) for p in (ALPHA, BETA, DELTA, PINE)) == products
    # Each suite that stays counts the products it shares.
    assert sorted(references(BETA)[0] or []) == [s for s, r in zip((ONE, TWO), registered) if r]


def hold(name, stop, block=None):
    out = current_world().out / "holder.out"
    args = [name, windows_path(stop), "600"] + ([block] if block else [])
    holder = subprocess.Popen(["wine", str(BUILD / "mutex_holder.exe"), *args], stdout=out.open("wb"),
                              stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=wine_environment())
    wait_until(lambda: b"held" in out.read_bytes(), f"{name} held")
    return holder


HOST_STATUS = 1000


# The block names a process that is gone, and tries to write a log line of its own.
FORGED = "4242.0000000000000001|C:\\fake\\nWorker exiting with status code: 00000000"


@pytest.mark.parametrize("where", ["host-dialog", "wizard"])
def test_cancel_while_waiting_ends_the_run_at_once(test_world, where):
    kit = suite_kit("msi_suite")
    stop = test_world.folder / "release"
    holder = None
    try:
        if where == "host-dialog":
            holder = hold(PRODUCT_LOCK, stop, FORGED)
        run_, logs = start_setup(kit)
        wizard = Wizard("")
        if where == "wizard":
            wizard = Wizard("Tamsa Sample Suite Setup")
            wizard.wait_sheet()
            holder = hold(PRODUCT_LOCK, stop)
            walk_to_progress(wizard)
        wait_until(lambda: WAITING in log_text(logs / "VELL_SETUP.LOG"), "the run waiting")
        if where == "host-dialog":
            wizard.box_key("escape", HOST_STATUS)
        else:
            wizard.press("cancel")
        wizard.wait_box(CANCEL_QUESTION)
        wizard.answer(CANCEL_QUESTION, YES)
        code = run_.wait(timeout=60) if where == "host-dialog" else finish(wizard, run_, "UserExit")[1]
    finally:
        stop.write_bytes(b"")
        if holder:
            holder.wait(timeout=BOUND)
    assert code == (1602 if where == "host-dialog" else 1223)
    assert not installed(ALPHA) and not installed(BETA)
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert "The user cancelled the wait for the other setup; this run changed nothing" in messages
    waiting = [m for m in messages if WAITING in m]
    assert waiting and all("C:\\fake" not in m for m in messages)
    assert len([m for m in messages if m.startswith("Worker exiting with status code")]) == 1
    if where == "host-dialog":
        assert waiting[0].startswith("Installed products are being changed by a process that does not say which")


def test_killed_runs_journal_is_undone_first_whoever_holds_the_recovery_mutex(test_world, kits):  # noqa: F811
    one = test_world.folder / "one"
    shutil.copytree(kits / "one", one)
    shutil.copytree(kits / "two", test_world.folder / "two")
    held, log = start_held_run(one)
    try:
        wait_until(lambda: HELD in log_text(log), "the moment to kill at")
        kill("one/setup.exe", "one\\setup.exe")
        kill("mutex_holder.exe")
    finally:
        held.wait(timeout=BOUND)
    stop = test_world.folder / "release-recovery"
    holder = hold(RECOVERY_LOCK, stop)
    try:
        assert run(one / "setup.exe", test_world.folder / "logs-again")[0] == 0
    finally:
        stop.write_bytes(b"")
        holder.wait(timeout=BOUND)
    assert run(test_world.folder / "two" / "setup.exe", test_world.folder / "logs-two")[0] == 0
    # Nothing of the killed run is undone over what One's next run made its own.
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True] * 3
    assert sorted(references(BETA)[0]) == sorted([ONE, TWO]) == sorted(references(ALPHA)[0])
    assert references(DELTA)[0] == [ONE] and registry(UNINSTALL + ONE, "32")
