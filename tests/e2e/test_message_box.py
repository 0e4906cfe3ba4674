"""The program's own message box in a real run: Escape on the question
whether to remove the suite answers Cancel, and the run takes that as No,
so the suite stays on the machine."""
import os
import re
import subprocess
import time

import pytest

from conftest import BUILD, REPO, run_windows, wine_environment, windows_path
from test_suite_run import ALPHA, BETA, DELTA, ONE, UNINSTALL, drive_c_path, installed, read_messages, \
    registry, run_kit, suite_kit

RESULTS = REPO / "build" / "results"

needs_display = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs the X display of scripts/test.sh")


def setup_windows():
    found = subprocess.run(["xdotool", "search", "--name", "^Setup$"], capture_output=True, text=True)
    return found.stdout.split()


def wait_for_question(timeout=60):
    """The removal question: the second window titled "Setup", after the
    host dialog."""
    host = None
    deadline = time.time() + timeout
    while time.time() < deadline:
        windows = setup_windows()
        if host is None and len(windows) == 1:
            host = windows[0]
        new = [window for window in windows if window != host]
        if host and new:
            return new[0]
        time.sleep(0.1)
    return None


@needs_display
def test_escape_on_the_removal_question_keeps_the_suite(test_world):
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
        question = wait_for_question()
        assert question, "the removal question did not appear"
        time.sleep(0.5)
        RESULTS.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", str(RESULTS / "message_box_removal_question.png")], check=False)
        subprocess.run(["xdotool", "windowactivate", "--sync", question], check=False)
        subprocess.run(["xdotool", "key", "--window", question, "Escape"], check=False)
        launcher.wait(timeout=120)
    finally:
        if launcher.poll() is None:
            launcher.kill()
    messages = read_messages(logs / "VELL_SETUP.LOG")
    assert "The user has elected not to uninstall the suite and exit" in messages
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, True]
    assert registry(UNINSTALL + ONE, "32")["DisplayName"] == "Tamsa Suite One"
    assert re.search(r"exit code: (\d+)", out.read_bytes().decode("utf-8", "replace"))
