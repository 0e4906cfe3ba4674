"""The sample suite through its versions, as an administrator runs it: an
upgrade keeps the folder the first install was given; the registered
removal and a rollback take the packages' files from that folder; a repair
puts back a product the user removed, or fails when it cannot; a run that
installs nothing registers nothing; and an upgrade keeps no configuration
copy beside products only this suite installed. Each row ends with the
exit code, the products, the programs-list entry and the files it leaves."""
import os
import shutil

import pytest

from conftest import BUILD, WORK, prefix_drive_c, run_windows
from test_suite_run import PACKAGES, REPO, UNINSTALL, drive_c_path, installed, references, registry, \
    run_setup, uninstall_suite

SUITE_ID = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}"
ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"
BETA = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"
DEFAULT = "C:\\Program Files (x86)\\Tamsa\\Sample Suite"
CUSTOM = "C:\\Custom\\Sample Suite"
FAILED = 1603
FAILING_PROGRAM = ("InstallActions=Main\nPrimaryAction", "InstallActions=Main,Program\nPrimaryAction",
                   "\n[InstallActions.Alpha.Program]\nSequence=15\nCommandLine=program.exe 1603 0\n")
# Alpha of a later version from another package under the same product code:
# a newer build, which the run upgrades in place.
NEWER_ALPHA = ("[Setup.Alpha]\n", "[Setup.Alpha]\nProductVersion=4.0.0\n"
               "PackageCode={0B5E6F70-1A2B-4C3D-8E9F-A0B1C2D3E4F5}\n", "")
KITS = {
    "v1": [],
    "v2": [("BuildNumber=100", "BuildNumber=200", ""), ("Version=1.0.0", "Version=2.0.0", "")],
    "v3": [("BuildNumber=100", "BuildNumber=300", ""), ("Version=1.0.0", "Version=3.0.0", "")],
    "failing": [FAILING_PROGRAM],
    "v2-failing": [("BuildNumber=100", "BuildNumber=200", ""), NEWER_ALPHA, FAILING_PROGRAM],
}


@pytest.fixture(scope="module")
def kits():
    """The sample kit and its variants, made once per test process."""
    root = WORK / "test_suite_upgrades" / f"kits-{os.getpid()}"
    shutil.rmtree(root, ignore_errors=True)
    dcf = (REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF").read_text(encoding="latin-1")
    for name, edits in KITS.items():
        kit = root / name
        kit.mkdir(parents=True)
        shutil.copy(BUILD / "setup.exe", kit)
        text = dcf
        for old, new, appended in edits:
            assert old in text
            text = text.replace(old, new, 1) + appended
        (kit / "SETUP.DCF").write_text(text, encoding="latin-1")
        for product in ("Alpha", "Beta", "Gamma"):
            (kit / product).mkdir()
            shutil.copy(PACKAGES / f"{product.lower()}.msi", kit / product)
        if "CommandLine=program.exe" in text:
            shutil.copy(BUILD / "quiet_program.exe", kit / "Alpha" / "program.exe")
    return root


def files(folder):
    path = drive_c_path(folder)
    return sorted(p.name for p in path.rglob("*") if p.is_file()) if path.is_dir() else []


def configuration_copies():
    """What ProgramData\\Uninstall holds besides the suite's own cache."""
    root = prefix_drive_c() / "ProgramData" / "Uninstall"
    return sorted(str(p.relative_to(root)) for p in root.rglob("*.dcf") if SUITE_ID not in str(p))


def run_step(kits, world, index, step):
    kind, args = step[0], step[1]
    logs = world.folder / f"logs-{index}-{kind}"
    if kind == "uninstall":
        return uninstall_suite(SUITE_ID, logs)
    if kind == "msiexec":
        return run_windows(prefix_drive_c() / "windows" / "system32" / "msiexec.exe", args.split()).code, []
    if kind == "cached":
        cached = prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE_ID / "setup.exe"
        return run_setup(cached, logs, args)
    return run_setup(kits / kind / "setup.exe", logs, args)


REPAIR = f"/f {SUITE_ID} /qn"
# Steps (kit or "uninstall", "msiexec", "cached"; arguments; exit code), then
# the end: Alpha and Beta installed, the entry's values (None: no entry),
# whether each folder holds the suite's files.
ROWS = {
    "upgrades_keep_the_folder_the_first_install_was_given": (
        [("v1", "/qn BASEPATH=C:\\Custom", 0), ("v2", "/qn", 0), ("v3", "/qn", 0)],
        (True, True), {"BasePath": "C:\\Custom", "SuiteFolder": "Sample Suite", "InstallLocation": CUSTOM},
        {CUSTOM: True, DEFAULT: False}),
    "the_registered_removal_takes_the_files_from_the_chosen_folder": (
        [("v1", "/qn BASEPATH=C:\\Custom", 0), ("uninstall", "", 0)],
        (False, False), None, {CUSTOM: False, DEFAULT: False}),
    # Gamma, all that is left, has no install action: nothing is installed.
    "a_run_that_installs_nothing_registers_nothing": (
        [("v1", "/qn DisableProducts=Alpha,Beta Mandatory=0", 0)], (False, False), None, {DEFAULT: False}),
    "a_rollback_takes_the_files_of_the_product_it_removes": (
        [("failing", "/qn", FAILED)], (False, False), None, {DEFAULT: False}),
    "a_repair_from_the_kit_installs_a_removed_product_again": (
        [("v1", "/qn", 0), ("msiexec", f"/x {BETA} /qn", 0), ("v1", REPAIR, 0)],
        (True, True), {"DisplayVersion": "1.0.0"}, {DEFAULT: True}),
    "a_repair_without_the_package_fails": (
        [("v1", "/qn", 0), ("msiexec", f"/x {BETA} /qn", 0), ("cached", REPAIR, FAILED)],
        (True, False), {"DisplayVersion": "1.0.0"}, {DEFAULT: True}),
    # The upgrade runs Alpha's newer build over the installed one rather than
    # removing it first, then fails: Alpha, which was there before the run,
    # stays installed and counted, nothing is named as lost, and the first
    # kit's repair finds the suite whole.
    "a_failed_upgrade_keeps_the_build_it_upgraded_in_place": (
        [("v1", "/qn", 0), ("v2-failing", "/qn", FAILED, None), ("v1", REPAIR, 0)],
        (True, True), {"DisplayVersion": "1.0.0"}, {DEFAULT: True}),
}


@pytest.mark.parametrize("row", ROWS)
def test_suite_versions_end_as_their_exit_codes_say(test_world, kits, row):
    steps, products, entry, folders = ROWS[row]
    for index, step in enumerate(steps):
        code, messages = run_step(kits, test_world, index, step)
        assert code == step[2], (step, messages[-8:])
        if len(step) > 3:
            # Only the log can say which products a failed run took for good.
            lost = "This run removed products and did not install them again:"
            if step[3] is None:
                assert lost not in messages and installed(ALPHA)
            else:
                assert step[3] in messages[messages.index(lost) + 1]
    assert (installed(ALPHA), installed(BETA)) == products
    if products == (True, True):
        assert references(ALPHA) == references(BETA) == ([SUITE_ID], "0x1")
    record = registry(UNINSTALL + SUITE_ID, "32")
    if entry is None:
        assert record == {}
    else:
        assert {name: record.get(name) for name in entry} == entry
    for folder, full in folders.items():
        assert bool(files(folder)) == full, (folder, files(folder))
    assert configuration_copies() == []
    if entry is None:
        assert not (prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE_ID / "setup.dcf").exists()
