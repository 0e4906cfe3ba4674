"""The restart a package leaves pending at the end of a run with the basic
wizard (/qb, /qb-): asked for on the finish step only where the command
line lets the run restart and the level shows modal boxes; a run that must
not restart ends by itself with the code that tells its caller. setup.exe is
the build whose finish step records the restart instead of carrying it out;
a restart of the run's own end restarts the test's throw-away prefix."""
import os
import shutil
import subprocess

import pytest

from conftest import BUILD, current_world, read_log, run_windows, wine_environment, windows_path
from test_suite_run import installed, suite_kit
from wizard_driver import BackgroundRun, Wizard

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"
RESTART = "{5B1E2D40-1A2B-4C3D-9E8F-102030405061}"
TITLE = "Tamsa Restart Suite Setup"
QUESTION, YES = 11017, 6
QUESTION_TEXT = ("You must restart your system for the configuration changes made to Tamsa Restart Suite to take "
                 "effect. Click Yes to restart now or No if you plan to manually restart later.")
ASKED = "Displaying reboot prompt in exit dialog"
RESTART_LINES = ("Rebooting from exit dialog", "Initiating reboot so the product will be functional",
                 "Initiating Reboot...")


def restart_kit():
    kit = suite_kit("restart_suite")
    shutil.copy(BUILD / "setup_restart_recorder.exe", kit / "setup.exe")
    return kit


def logs_env(kit):
    return {"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log"}


# Command line, exit code. Each run must end by itself (the launcher's
# bound): none of them may wait on a question.
UNASKED = [
    ("/qb- REBOOT=ReallySuppress ReturnRebootRequest=1", 3010),
    ("/qb- ReturnRebootRequest=1", 3010),
    ("/qb REBOOT=ReallySuppress ReturnRebootRequest=1", 3010),
    ("/qb REBOOT=Suppress", 0),
]


@pytest.mark.parametrize("arguments,code", UNASKED)
def test_suppressed_or_returned_restart_is_neither_asked_nor_started(test_world, arguments, code):
    kit = restart_kit()
    result = run_windows(kit / "setup.exe", env=logs_env(kit), remove_env=(), raw_args=arguments, timeout=180)
    Wizard(TITLE).screenshot("End")
    assert result.code == code
    assert installed(ALPHA) and installed(RESTART)
    assert not (kit / "setup.exe.restart").exists()
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    assert "   Action InstallActions.Restart.Main return code: 0" in messages
    for line in (ASKED,) + RESTART_LINES:
        assert line not in messages


def test_basic_wizard_asks_when_the_run_may_restart(test_world):
    kit = restart_kit()
    run = BackgroundRun(kit / "setup.exe", ["/qb"], env=logs_env(kit))
    wizard = Wizard(TITLE)
    _, box = wizard.wait_box(QUESTION, timeout_ms=120000)
    wizard.screenshot("RestartQuestion")
    assert box[QUESTION].text == QUESTION_TEXT
    wizard.answer(QUESTION, YES)
    assert run.wait() == 0
    assert (kit / "setup.exe.restart").read_text() == "EWX_REBOOT"
    assert installed(ALPHA) and installed(RESTART)
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    assert ASKED in messages and "Rebooting from exit dialog" in messages


def test_basic_wizard_without_boxes_restarts_at_the_end_without_asking(test_world):
    """/qb- with nothing that holds the restart back: no question, the end of
    the run restarts as a quiet run does. Wine's restart ends every process
    of the test's prefix, the launcher's too, so the log tells the rest."""
    kit = restart_kit()
    with open(current_world().out / "setup.out", "wb") as out:
        subprocess.run(["wine", str(kit / "setup.exe"), "/qb-"], stdout=out, stderr=subprocess.STDOUT,
                       stdin=subprocess.DEVNULL, env=wine_environment(logs_env(kit), ()), timeout=180, check=False)
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    assert ASKED not in messages
    expected_in_order = ["Initiating reboot so the product will be functional",
                         "Skipping reboot prompt for silent install", "Rebooting computer from InitiateReboot",
                         "Initiating Reboot...", "Reboot initiated."]
    positions = [messages.index(line) for line in expected_in_order]
    assert positions == sorted(positions)
    assert not (kit / "setup.exe.restart").exists()
