"""The program's own message box in a real run: Escape on the question
whether to remove the suite answers Cancel, and the run takes that as No;
Enter answers No, the question's default: either way the suite stays on
the machine. The message names a SETUP.DCF gives, and the refusals of its
checks, each show one box with their text."""
import os
import re
import shutil
import subprocess
import time

import pytest

from conftest import BUILD, wine_environment, windows_path
from wizard_driver import BackgroundRun, Wizard, parse_state
from test_suite_run import ALPHA, BETA, DELTA, ONE, UNINSTALL, drive_c_path, installed, read_messages, \
    registry, run_kit, suite_kit

IDC_MESSAGE_LINK = 1003
BETA_CODE = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"

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


SUITE_OS = "Tamsa Verify Suite does not support the operating system detected."
UPGRADE = " is an upgrade. Setup did not find an earlier version on this computer that it can upgrade."
GENERIC = "Setup has determined that your configuration does not support any of the included products."
CHECK_ENDS = ("The setup check for the following products failed on this computer.\n"
              "Click OK to Abort Installation:\n\nBeta Viewer\n")


# Each message name the docs list, and the boxes of the refusals, in a run at
# /qb of the one-product verify suite (its platform check passes at NT:5.1,
# its custom check ends the run when it fails): every box the run shows, in
# order, with its placeholders filled, and the run's exit code. Cancel on the
# Windows Installer update question is an answer, not an error with a box.
@pytest.mark.parametrize("edit, boxes, line", [
    ({"[Setup]\n": "[Setup]\nCondition=1 == 2\nConditionMessage=UnsupportedOS\n"}, [("Error", SUITE_OS)], None),
    ({"[Setup]\n": "[Setup]\nCondition=1 == 2\nConditionMessage=UnsupportedUpgrade\n"},
     [("Error", "Tamsa Verify Suite" + UPGRADE)], None),
    ({"[Setup]\n": "[Setup]\nCondition=1 == 2\nConditionMessage=MultiProductUnsupportedOS\n"},
     [("Error", "The following products are not supported on the current operating system.\n"
                "These products will not be installed:\n\nBeta\n")], None),
    ({"[Setup]\n": "[Setup]\nCondition=1 == 2\nConditionMessage=UnsupportedPlanet\n"}, [("Error", GENERIC)],
     "The message name 'UnsupportedPlanet' is not known; the default message is shown"),
    ({"[Property]\n": "[Property]\nUpgradeLink=1\n", "VerifyActions=Check": "VerifyActions=Check\nUpgradeConditions=Old",
      "\n[VerifyActions": "\n[UpgradeConditions.Beta.Old]\nUninstallKey={00000000-0000-0000-0000-000000000001}\n\n"
                          "[VerifyActions"},
     [("Error", "Tamsa Verify Suite" + UPGRADE)], None),
    ({"PassCheck": "FailCheck", "Refusal=ABORTALL": "Refusal=ABORTALL\nMessage=UnsupportedUpgrade"},
     [("Error", "Beta Viewer" + UPGRADE)], None),
    ({"Platforms=NT:5.1": "Platforms=NT:10.0"}, [("Error", SUITE_OS)], None),
    ({"PassCheck": "FailCheck", "Refusal=ABORTALL": "Refusal=ABORTPROD"}, [("Error", CHECK_ENDS)], None),
    ({"PassCheck": "FailCheck", "Refusal=ABORTALL": "Refusal=ABORTALL\nSilent=1"}, [],
     "   The check that refused Beta Viewer is silent: no box"),
    ({"[Setup]\n": "[Setup]\nMinimumMSIVersion=99.0\n"},
     [("Setup", "Tamsa Verify Suite needs a newer version of the Windows Installer. Setup will now update the Windows "
                "Installer before it installs Tamsa Verify Suite.\n\nClick OK to continue or Cancel to quit Setup.")],
     "Aborting on error code 1602"),
], ids=["UnsupportedOS", "UnsupportedUpgrade", "MultiProductUnsupportedOS", "unknown name", "upgrade condition",
        "check's Message", "platform", "custom check", "silent check", "installer update cancelled"])
def test_each_message_shows_its_text_in_one_box(test_world, edit, boxes, line):
    kit = suite_kit("verify_suite")
    shutil.copy(BUILD / "fixtures" / "msi" / "beta.msi", kit)
    shutil.copy(BUILD / "verify_check.dll", kit)
    dcf = (kit / "SETUP.DCF").read_text()
    for old, new in edit.items():
        assert old in dcf, old
        dcf = dcf.replace(old, new, 1)
    (kit / "SETUP.DCF").write_text(dcf)
    logs = test_world.folder / "logs"
    run = BackgroundRun(kit / "setup.exe", ["/qb"], env={"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"})
    cancel = "MinimumMSIVersion" in str(edit)
    assert answered_boxes(run, "escape" if cancel else "enter") == boxes
    assert run.wait() == (1602 if cancel else 1150)
    if line:
        assert line in read_messages(logs / "VELL_SETUP.LOG")
    assert not installed(BETA_CODE)


def answered_boxes(run, key):
    """(caption, text) of each box of ours the run shows, each answered with
    the key, until the run ends."""
    driver = Wizard("")
    boxes = []
    while run.process.poll() is None:
        code, output = driver._drive("wait-box", IDC_MESSAGE_LINK, 2000, timeout=60)
        if code != 0:
            continue
        title, controls = parse_state(output).boxes[0]
        boxes.append((title, controls[IDC_MESSAGE_LINK].text.replace("\r\n", "\n")))
        driver.screenshot("box")
        driver.box_key(key, IDC_MESSAGE_LINK)
        # The same box until it has gone: it counts once.
        deadline = time.time() + 30
        while run.process.poll() is None and time.time() < deadline:
            code, output = driver._drive("wait-box", IDC_MESSAGE_LINK, 0, timeout=60)
            if code != 0 or parse_state(output).boxes[0][1][IDC_MESSAGE_LINK].text != controls[IDC_MESSAGE_LINK].text:
                break
            time.sleep(0.5)
    return boxes
