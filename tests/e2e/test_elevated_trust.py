"""An elevated run trusts only what an administrator wrote. Each row plants
registry entries and programs in a prefix of its own, then installs the
sample suite from C:\\Kit (its Alpha names an earlier version "TamsaOldTool"
whose removal is forced): a folder from another suite's entry adds no
property to the packages, an uninstall command found only in the user's own
hive is not run (nor one whose language only that hive gives), and an
unquoted uninstall command runs the program it names, never a shorter
prefix of it."""
import re
import shutil
import subprocess

import pytest

from conftest import BUILD, REPO, current_world, prefix_drive_c, wine_environment
from test_suite_run import PACKAGES, UNINSTALL, installed, registry, run_setup

SAMPLE = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}"
ALPHA, BETA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}", "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"
FAMILY = "{5D1E2F30-4A5B-4C6D-8E7F-90A1B2C3D4E5}"
FOLDER = "C:\\Program Files (x86)\\Tamsa\\Sample Suite"
OLD = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TamsaOldTool"
EARLIER = ("[Setup.Alpha]\nPackageName=alpha.msi\nInstallActions=Main\n",
           "[PreviousVersions.Alpha.Old]\nName=Tamsa Old Tool\nUninstallKey=TamsaOldTool\nDetection=UNINSTALLKEY\n"
           "Prompt=NONE\nUninstallCommand=UNINSTALLKEY\nForce=1\nRefusal=IGNORE\n\n"
           "[Setup.Alpha]\nPackageName=alpha.msi\nInstallActions=Main\nPreviousVersions=Old\n")
# The removal for a row that asks for the earlier version's language.
DETECTION = {"language-only-in-the-users-hive":
             "TLASearchKey=Tamsa\\OldTool\nDetection=UNINSTALLKEY,TamsaOldTool,,ENU\n"}
EVIL = 'C:\\Fam" EVILPROP="1'

# id: (registry entries (key, view, values), programs planted under C:\, files under C:\ afterwards:
# None for absent, else a text their content holds)
ROWS = {
    "family-entry-folder-holds-a-quote": (
        [(UNINSTALL + FAMILY, "32", {"DisplayName": "Tamsa Family", "FamilyID": "TamsaSample", "BasePath": EVIL,
                                      "SuiteFolder": "Fold"})], [], {}),
    "installed-suite-folder-holds-a-quote": (
        [(UNINSTALL + SAMPLE, "32", {"DisplayName": "Tamsa Sample Suite", "BasePath": "C:\\",
                                      "SuiteFolder": 'Fold" EVILPROP="1'})], [], {}),
    "uninstall-command-only-in-the-users-hive": (
        [("HKCU\\" + OLD, None, {"DisplayName": "Tamsa Old Tool", "UninstallString": '"C:\\Old\\uninst.exe" /S'})],
        ["Old/uninst.exe"], {"Old/uninst.exe.cmdline": None}),
    "language-only-in-the-users-hive": (
        [("HKLM\\" + OLD, "32", {"DisplayName": "Tamsa Old Tool", "UninstallString": '"C:\\Old\\uninst.exe" /S'}),
         ("HKCU\\Software\\Tamsa\\OldTool", None, {"BuildOEM": "ENU"})],
        ["Old/uninst.exe"], {"Old/uninst.exe.cmdline": None}),
    "unquoted-command-with-a-blank": (
        [("HKLM\\" + OLD, "32", {"DisplayName": "Tamsa Old Tool", "UninstallString": "C:\\Some Dir\\uninst.exe /S"})],
        ["Some.exe", "Some Dir/uninst.exe"], {"Some.exe.cmdline": None, "Some Dir/uninst.exe.cmdline": "/S"}),
    "unquoted-command-whose-program-is-missing": (
        [("HKLM\\" + OLD, "32", {"DisplayName": "Tamsa Old Tool", "UninstallString": "C:\\Some Dir\\uninst.exe /S"})],
        ["Some.exe"], {"Some.exe.cmdline": None}),
}


@pytest.fixture(scope="module")
def sample_kit(tmp_path_factory):
    """The sample suite naming the earlier version, built once for every row."""
    kit = tmp_path_factory.mktemp("kit") / "Kit"
    kit.mkdir()
    shutil.copy(BUILD / "setup.exe", kit)
    dcf = (REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF").read_text()
    assert EARLIER[0] in dcf
    (kit / "SETUP.DCF").write_text(dcf.replace(EARLIER[0], EARLIER[1], 1))
    for product in re.search(r"^Products=(.*)$", dcf, re.M).group(1).strip().split(","):
        (kit / product).mkdir()
        shutil.copy(PACKAGES / (product.lower() + ".msi"), kit / product)
    return kit


def add_value(key, view, name, data):
    command = ["wine", "reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", data, "/f"]
    subprocess.run(command + ([f"/reg:{view}"] if view else []), env=wine_environment(), check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


@pytest.mark.parametrize("row", ROWS)
def test_elevated_run_trusts_only_what_an_administrator_wrote(sample_kit, row):
    entries, programs, files = ROWS[row]
    drive_c = prefix_drive_c()
    shutil.copytree(sample_kit, drive_c / "Kit")
    if row in DETECTION:
        dcf = drive_c / "Kit" / "SETUP.DCF"
        dcf.write_text(dcf.read_text().replace("Detection=UNINSTALLKEY\n", DETECTION[row], 1))
    for key, view, values in entries:
        for name, data in values.items():
            add_value(key, view, name, data)
        assert registry(key, view or "64") == values
    for program in programs:
        (drive_c / program).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(BUILD / "command_recorder.exe", drive_c / program)

    code, messages = run_setup("C:\\Kit\\setup.exe", current_world().folder / "logs", "/qn")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA)] == [True, True]
    assert registry(UNINSTALL + SAMPLE, "32")["InstallLocation"] == FOLDER
    assert registry(UNINSTALL + BETA, "32")["InstallLocation"] == FOLDER + "\\"
    for name, text in files.items():
        path = drive_c / name
        assert path.exists() == (text is not None), name
        if text is not None:
            assert text in path.read_bytes().decode("utf-16-le"), name
