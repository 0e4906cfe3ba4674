"""setup.exe /qn loads a suite's action lists from SETUP.DCF: each list with
its actions in sequence order, and a list it cannot read ends the run with
13 before anything is changed."""
import shutil

import pytest

from conftest import BUILD, REPO, read_log, run_windows, windows_path

PACKAGES = BUILD / "fixtures" / "msi"
LISTS_DCF = REPO / "tests" / "fixtures" / "action_lists" / "SETUP.DCF"


@pytest.fixture
def lists_kit(kit):
    shutil.copy(BUILD / "setup.exe", kit)
    shutil.copy(LISTS_DCF, kit / "SETUP.DCF")
    for key, package in (("Alpha", "alpha.msi"), ("Beta", "beta.msi")):
        (kit / key).mkdir()
        shutil.copy(PACKAGES / package, kit / key / package)
    # The program line's program, now that the run executes the list: it
    # ends with 0 ("/install" reads as that code).
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "helper.exe")
    # Alpha's own check passes: a copy named for the code it ends with.
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "check_0.exe")
    return kit


def run(kit, *args):
    env = {"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log"}
    result = run_windows(kit / "setup.exe", list(args), env=env, remove_env=())
    return result.code, read_log(kit / "logs" / "VELL_SETUP.LOG")


def block(messages, title):
    """The lines of one logged list, its title first."""
    start = messages.index(title)
    lines = [title]
    for line in messages[start + 1:]:
        if not line.startswith("   ") or line.startswith("   Stage"):
            break
        lines.append(line)
    return lines


def edit_dcf(kit, old, new):
    text = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    assert old in text
    (kit / "SETUP.DCF").write_text(text.replace(old, new), encoding="latin-1")


def test_quiet_install_loads_every_list_in_sequence(lists_kit):
    code, messages = run(lists_kit, "/qn")
    assert code == 0
    assert "There were no incompatible suites found in the system." in messages
    assert "Executing setup action: VerifyActions.Alpha.CurrentVersion" in messages
    assert ("   Action VerifyActions.Beta.CurrentVersion return code: 3, reason: The package is not installed"
            in messages)
    assert "Product Alpha was not found on the system. Installing version 3.58.94" in messages
    assert block(messages, "Action list INSTALL_ACTIONS: 3 actions") == [
        "Action list INSTALL_ACTIONS: 3 actions",
        "   4005 InstallActions.Alpha.Helper",
        "   4010 InstallActions.Beta.Main",
        "   4020 InstallActions.Alpha.Main",
    ]
    assert block(messages, "Action list Alpha: 3 actions") == [
        "Action list Alpha: 3 actions",
        "   2005 PreviousVersions.Alpha.Beta1",
        "   2050 PreviousVersions.Alpha.Legacy",
        "   2051 PreviousVersions.Alpha.Auto",
    ]
    assert block(messages, "Action list Beta: 2 actions") == [
        "Action list Beta: 2 actions",
        "   0 IncompatibleApplications.Beta.Rival",
        "   2052 PreviousVersions.Beta.Auto",
    ]
    assert block(messages, "Action list VERIFY_ACTIONS: 5 actions")[-1] == "   504 VerifyActions.Alpha.Disk"
    assert block(messages, "Action list UPGRADE_CONDITIONS: 1 actions") == [
        "Action list UPGRADE_CONDITIONS: 1 actions", "   0 UpgradeConditions.Alpha.Classic"]
    # The shutdown list is loaded just before the run; the malformed item is
    # named and skipped.
    assert ("The ShutdownApplications action 'Beta.Broken' in the DCF is not properly formed and needs "
            "to be corrected.") in messages
    assert "Worker exiting with status code: 00000000, ResultCode = 0" in messages


@pytest.mark.parametrize("old, new, args, line", [
    ("CommandLine=helper.exe /install {ProductDir}", 'CommandLine=""', ["/qn"],
     "Badly formatted install action command line: '\"\"' of install action Helper of product Alpha in "
     "[InstallActions.Alpha.Helper]: its CommandLine names no program"),
    ("InstallActions=Main,Helper", "InstallActions=Main,Helper", ["/qn", "/x", "{0BADC0DE-0000-4000-8000-0000000000FF}"],
     "Install Group ID from command line not found in setup.dcf"),
], ids=["program-line-without-program", "uninstall-of-unknown-group"])
def test_unreadable_install_list_ends_with_13(lists_kit, old, new, args, line):
    edit_dcf(lists_kit, old, new)
    code, messages = run(lists_kit, *args)
    assert code == 13
    assert line in messages
    assert "Aborting on error code 13" in messages
    assert not any(m.startswith("Action list ") for m in messages)
