"""A quiet run whose program asks for a restart (exit code 3010) restarts
Windows at its end: here the throw-away Wine prefix of the test. The log
names the program's code and the restart it is owed; a prerequisite whose
package is a program is passed over by the repair and the removal."""
import shutil
import subprocess

import pytest

from conftest import BUILD, REPO, current_world, read_log, wine_environment, windows_path
from test_suite_run import ALPHA, installed, run_setup, suite_kit

PACKAGES = BUILD / "fixtures" / "msi"
LISTS_DCF = REPO / "tests" / "fixtures" / "action_lists" / "SETUP.DCF"
SAMPLE = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}"


@pytest.fixture
def restart_kit(kit):
    shutil.copy(BUILD / "setup.exe", kit)
    text = LISTS_DCF.read_text(encoding="latin-1")
    old = "CommandLine=helper.exe /install {ProductDir}"
    assert old in text
    text = text.replace(old, "CommandLine=helper.exe 3010")
    (kit / "SETUP.DCF").write_text(text, encoding="latin-1")
    for key, package in (("Alpha", "alpha.msi"), ("Beta", "beta.msi")):
        (kit / key).mkdir()
        shutil.copy(PACKAGES / package, kit / key / package)
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "helper.exe")
    # Alpha's own check passes: a copy named for the code it ends with.
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "check_0.exe")
    return kit


def test_quiet_run_restarts_its_own_prefix(restart_kit):
    """No REBOOT option: the run restarts Windows without a prompt. Wine
    ends every process of the test's own prefix, the launcher's too, so the
    exit code cannot be read; the log tells how far the run got."""
    env = {"KWSETUP": windows_path(restart_kit / "logs") + "\\TAM_{ProductID}.log"}
    with open(current_world().out / "setup.out", "wb") as out:
        subprocess.run(["wine", str(restart_kit / "setup.exe"), "/qn"], stdout=out, stderr=subprocess.STDOUT,
                       stdin=subprocess.DEVNULL, env=wine_environment(env, ()), timeout=120, check=False)
    messages = read_log(restart_kit / "logs" / "VELL_SETUP.LOG")
    expected_in_order = [
        # The program's own code, and the restart it is owed, are in the log.
        "   Action InstallActions.Alpha.Helper finished with exit code 3010",
        "   Action InstallActions.Alpha.Helper needs a restart (exit code 3010): the restart is owed at the end of "
        "the run",
        "Initiating reboot so the product will be functional",
        "Skipping reboot prompt for silent install",
        "Rebooting computer from InitiateReboot",
        "Initiating Reboot...",
        "Reboot initiated.",
    ]
    positions = [messages.index(line) for line in expected_in_order]
    assert positions == sorted(positions)
    assert not any(m.startswith("ExitWindowsEx() failed") for m in messages)


# A prerequisite whose package is a program: its 3010 is logged and returned,
# and the suite's repair and removal pass it over, saying so.
@pytest.mark.parametrize("step, arguments, code, line", [
    ("install", "/qn ReturnRebootRequest=1", 3010,
     "   Action InstallActions.Prereq.Main needs a restart (exit code 3010): the restart is owed at the end of "
     "the run"),
    ("repair", "/f {suite} /qn ReturnRebootRequest=1", 0,
     "   Product Prereq has no product code (its package is a program): the repair passes it over"),
    ("removal", "/x {suite} /qn", 0,
     "   Product Prereq has no product code (its package is a program): the removal passes it over"),
], ids=["install", "repair", "removal"])
def test_a_prerequisite_program_is_logged_and_passed_over(test_world, step, arguments, code, line):
    kit = suite_kit("msi_suite")
    dcf = (kit / "SETUP.DCF").read_text().replace("Products=Alpha,Beta,Gamma", "Products=Prereq,Alpha,Beta,Gamma")
    (kit / "SETUP.DCF").write_text(dcf + "\n[Setup.Prereq]\nPackageName=prereq.exe\nInstallActions=Main\n"
                                   "[InstallActions.Prereq.Main]\nSequence=5\nCommandLine=prereq.exe 3010\n"
                                   "ExecuteOptions=SYNC\n")
    (kit / "Prereq").mkdir()
    shutil.copy(BUILD / "exit_with.exe", kit / "Prereq" / "prereq.exe")
    if step != "install":
        assert run_setup(kit / "setup.exe", test_world.folder / "logs-install", "/qn ReturnRebootRequest=1")[0] == 3010
    result, messages = run_setup(kit / "setup.exe", test_world.folder / "logs", arguments.format(suite=SAMPLE))
    assert result == code, messages[-8:]
    assert line in messages
    assert installed(ALPHA) == (step != "removal")
