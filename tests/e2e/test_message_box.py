"""The program's own message box in a real run: Escape on the question
whether to remove the suite answers Cancel, and the run takes that as No;
Enter answers No, the question's default: either way the suite stays on
the machine."""
import os
import re
import subprocess

import pytest

from conftest import BUILD, wine_environment, windows_path
from wizard_driver import Wizard
from test_suite_run import ALPHA, BETA, DELTA, ONE, UNINSTALL, drive_c_path, installed, read_messages, \
    registry, run_kit, suite_kit

IDC_MESSAGE_LINK = 1003

needs_display = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs the X display of scripts/test.sh")


@needs_display
@pytest.mark.parametrize("key", ["escape", "enter"])
def test_escape_or_enter_on_the_removal_question_keeps_the_suite(test_world, key):
    kit = suite_kit("suite_one")
    code, messages = run_kit(kit)
    assert code == 0, messages[-5:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, True]

    # The programs list's uninstall command, with the basic interface that asks first.
    command = registry(UNINSTALL + ONE, "32")["UninstallString"]
    program, arguments = re.match(r'^"([^"]+)" (.*)$', command).groups()
    logs = test_world.folder / "logs-remove"
    env = wine_environment({"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}, ())
    out = test_world.out / "remove.out"
    launcher = subprocess.Popen(["wine", str(BUILD / "exit_code_launcher.exe"), windows_path(drive_c_path(program))]
                                + arguments.replace("/qn", "/qb").split(),
                                stdout=open(out, "wb"), stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                env=env)
    try:
        # The program's own box carries its text in a link control.
        driver = Wizard("")
        title, controls = driver.wait_box(IDC_MESSAGE_LINK, timeout_ms=90000)
        assert "remove" in controls[IDC_MESSAGE_LINK].text
        driver.screenshot("removal_question")
        driver.box_key(key, IDC_MESSAGE_LINK)
        launcher.wait(timeout=120)
    finally:
        if launcher.poll() is None:
            launcher.kill()
    messages = read_messages(logs / "VELL_SETUP.LOG")
    assert "The user has elected not to uninstall the suite and exit" in messages
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, True]
    assert registry(UNINSTALL + ONE, "32")["DisplayName"] == "Tamsa Suite One"
    assert re.search(r"exit code: (\d+)", out.read_bytes().decode("utf-8", "replace"))
