"""Runs that fail keep their log and say why: a broken SETUP.DCF still
finds the log that the run then uses, a corrupt package leaves the
installer's own code in it, and every failed run, however early it ends,
leaves the user a shortcut to the logs on the desktop."""
import os
import shutil

import pytest

from conftest import BUILD, REPO, prefix_drive_c, read_log, run_messages, run_windows, windows_path
from test_special_modes import read_link
from test_suite_run import installed, suite_kit

PACKAGES = BUILD / "fixtures" / "msi"
SUITE_DCF = REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF"
BROKEN_DCF = b"[Setup\r\nProductName=Sample\r\nProducts=Tool\r\n"
ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"


def temp_folder():
    """The prefix user's temporary folder; asked after a run, when the prefix
    surely has one."""
    found = [p for p in prefix_drive_c().glob("users/*/Temp") if p.is_dir()]
    found += [p for p in prefix_drive_c().glob("users/*/AppData/Local/Temp") if p.is_dir()]
    assert len(found) == 1, found
    return found[0]


@pytest.fixture
def setup_kit(kit):
    shutil.copy(BUILD / "setup.exe", kit)
    return kit


@pytest.mark.parametrize("form", ["template", "missing-folder", "bare-folder"])
def test_broken_setup_dcf_line_lands_in_the_log_the_run_uses(setup_kit, form):
    (setup_kit / "SETUP.DCF").write_bytes(BROKEN_DCF)
    if form == "template":
        # The tokens of a package log's name stay; the folder tokens are the
        # system's, so a broken file cannot move the log.
        variable = "{TEMP_FOLDER}\\S1-" + str(os.getpid()) + "\\TAM_{ProductID}.log"
    elif form == "missing-folder":
        folder = setup_kit / "not yet" / "logs"
        variable = expanded = windows_path(folder) + "\\TAM_{ProductID}.log"
    else:
        folder = setup_kit / "plain"
        variable = windows_path(folder)
        expanded = variable + "\\TAM_{ProductID}.log"
    result = run_windows(setup_kit / "setup.exe", ["/qn"], env={"KWSETUP": variable}, remove_env=())
    if form == "template":
        folder = temp_folder() / f"S1-{os.getpid()}"
        expanded = "C:\\" + str(folder.relative_to(prefix_drive_c())).replace("/", "\\") + "\\TAM_{ProductID}.log"
    try:
        messages = read_log(folder / "VELL_SETUP.LOG")
    finally:
        if form == "template":
            shutil.rmtree(folder, ignore_errors=True)
    assert result.code != 0
    dcf = windows_path(setup_kit) + "\\SETUP.DCF"
    assert messages[0].startswith(f"Exception while loading DCF file: {dcf} error 13: ")
    assert messages[1] == f"Created folder for log files: {expanded}"
    assert messages[2] == "Installer version: 3.58.94a"
    assert run_messages(messages)[-1] == f"Worker routine returned error code = {result.code}"
    # No second log, and no folder named after the raw template.
    assert [p for p in setup_kit.rglob("*") if p.name == "VELL_SETUP.LOG" or "{" in p.name] == (
        [] if form == "template" else [folder / "VELL_SETUP.LOG"])


def test_corrupt_package_leaves_the_failing_call_and_its_code_in_the_log(setup_kit):
    shutil.copy(SUITE_DCF, setup_kit / "SETUP.DCF")
    for key, package in (("Alpha", "alpha.msi"), ("Beta", "beta.msi"), ("Gamma", "gamma.msi")):
        (setup_kit / key).mkdir()
        shutil.copy(PACKAGES / package, setup_kit / key / package)
    beta = setup_kit / "Beta" / "beta.msi"
    beta.write_bytes(os.urandom(4096))
    env = {"KWSETUP": windows_path(setup_kit / "logs") + "\\TAM_{ProductID}.log"}
    result = run_windows(setup_kit / "setup.exe", ["/qn"], env=env, remove_env=())
    assert result.code == 13
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    cause = [m for m in messages if m.startswith("MSI package layer ")]
    assert cause[:3] == [
        "MSI package layer ERROR: Could not Open the Database",
        # Wine's msi.dll answers ERROR_FUNCTION_FAILED for a file that is no
        # structured storage.
        f"MSI package layer ERROR: MsiOpenDatabaseW('{windows_path(beta)}') returned 1627",
        "MSI package layer ERROR: Failed to Load Package",
    ]
    failed = messages.index("Failed loading MSI package data for Beta")
    assert messages.index(cause[1]) < failed
    assert "Unable to read MSI package data for products" in messages


# Kit, command line, exit code, whether the desktop gets the shortcut.
LOG_SHORTCUT_CASES = [
    ("suite_one", "/qn FAILME=1", 1603, True),  # a package fails: rolled back, the run aborts
    ("suite_one", "/qn /zz", 1639, True),  # a switch it does not know, before anything is read
    ("broken", "/qn", 2, True),  # SETUP.DCF cannot be read: no {Name} macros yet
    ("suite_one", "/qn", 0, False),
    ("restart_suite", "/qn ReturnRebootRequest=1", 3010, False),
]


@pytest.mark.parametrize("name,arguments,code,shortcut", LOG_SHORTCUT_CASES)
def test_failed_run_leaves_a_shortcut_to_its_logs_on_the_desktop(test_world, name, arguments, code, shortcut):
    if name == "broken":
        kit = suite_kit("suite_one")
        (kit / "SETUP.DCF").write_bytes(BROKEN_DCF)
    else:
        kit = suite_kit(name)
    logs = kit / "logs"
    result = run_windows(kit / "setup.exe", env={"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"},
                         remove_env=(), raw_args=arguments)
    assert result.code == code
    # Wine's shell has no folder shortcut: the run falls back to a plain link.
    desktop = prefix_drive_c() / "users" / "Public" / "Desktop"
    links = sorted(path.name for path in desktop.iterdir()) if desktop.exists() else []
    assert links == (["Installation Log Files.lnk"] if shortcut else [])
    if shortcut:
        assert read_link(desktop / links[0])["target"] == windows_path(logs) + "\\"
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert ("Creating shortcut for logging folder" in messages) == shortcut
    # Both suites hold Alpha: installed only by the runs that succeeded.
    assert installed(ALPHA) == (not shortcut)
