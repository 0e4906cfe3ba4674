"""An elevated run deletes and writes only what is its own. The sample
kit, unpacked among a user's files in a folder of the test prefix's own C:
drive (never a folder Wine links to the Linux home, never Z:), runs with
one edit per row: CleanupSourceFiles takes the kit's files and keeps the
user's and what a link of the kit leads to; a product key that names a
place outside the setup's folders is refused before anything is written;
the launch point that goes is only a shortcut to this setup."""
import os
import pathlib
import re
import shutil

import pytest

from conftest import BUILD, REPO, current_world, prefix_drive_c
from test_suite_run import ALPHA, PACKAGES, UNINSTALL, installed, registry, run_setup

SAMPLE = (REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF").read_text()
SUITE = re.search(r"^UUID=(.*?)\s*$", SAMPLE, re.M).group(1)
# Three folders deep: a key that climbs three folders up reaches C:\.
KIT = pathlib.PureWindowsPath("C:\\home\\user\\Downloads")
USER_FILES = {"taxes.pdf": b"taxes", "photos/a.jpg": b"photo"}
CLEANUP = ("[Property]\n", "[Property]\nCleanupSourceFiles=1\n")


def launch_point(link):
    return "[Property]\n", f"[Shortcut]\nLaunchPointLink={link}\n\n[Property]\n"


def another_setups_shortcut(kit, victim):
    other = prefix_drive_c() / "other"
    other.mkdir()
    shutil.copy(BUILD / "setup.exe", other)
    (other / "SETUP.DCF").write_text("[Setup]\nProducts=Alpha\n[Shortcut]\nLaunchPointLink=C:\\victim\\other.lnk\n")
    code, _ = run_setup(pathlib.PureWindowsPath("C:\\other\\setup.exe"), current_world().folder / "other-logs",
                        "/CreateLaunchPoint /qn")
    assert code == 0 and (victim / "other.lnk").is_file()


# Row: the text the sample's SETUP.DCF gets in place of another, what is
# made beside the kit and in the victim folder C:\victim, the exit code.
CASES = {
    "kit among the user's files": (CLEANUP, None, 0),
    "bin links out of the kit": (CLEANUP, lambda kit, victim: os.symlink(victim, kit / "bin"), 0),
    "a product key climbs out": (("Beta", "..\\..\\..\\victim\\Beta"), None, 13),
    "the launch point names a file": (launch_point("C:\\victim\\data.txt"), None, 0),
    "the launch point is another setup's": (launch_point("C:\\victim\\other.lnk"), another_setups_shortcut, 0),
}


@pytest.mark.parametrize("case", CASES)
def test_an_elevated_run_deletes_only_its_own_files(test_world, case):
    (old, new), prepare, expected = CASES[case]
    drive_c = prefix_drive_c()
    kit, victim = drive_c / KIT.relative_to("C:\\").as_posix(), drive_c / "victim"
    # The kit: setup.exe, SETUP.DCF and each product's package in the folder its key names.
    dcf = SAMPLE.replace(old, new)
    kit.mkdir(parents=True)
    shutil.copy(BUILD / "setup.exe", kit)
    (kit / "SETUP.DCF").write_text(dcf)
    for product in re.search(r"^Products=(.*?)\s*$", dcf, re.M).group(1).split(","):
        package = re.search(rf"^\[Setup\.{re.escape(product)}\]\s*^PackageName=(\S+)", dcf, re.M).group(1)
        folder = kit / product.replace("\\", "/")
        folder.mkdir(parents=True)
        shutil.copy(PACKAGES / package, folder)
    for name, data in USER_FILES.items():
        (kit / name).parent.mkdir(exist_ok=True)
        (kit / name).write_bytes(data)
    victim.mkdir(exist_ok=True)
    (victim / "data.txt").write_bytes(b"data")
    if prepare:
        prepare(kit, victim)
    victims = {path: path.read_bytes() for path in victim.rglob("*") if path.is_file()}

    code, messages = run_setup(KIT / "setup.exe", test_world.folder / "logs", "/qn")
    assert code == expected, messages[-8:]
    assert {name: (kit / name).read_bytes() for name in USER_FILES} == USER_FILES
    assert {path: path.read_bytes() for path in victims} == victims
    assert installed(ALPHA) == (expected == 0)
    if expected:
        # Refused before anything is written: no product, no record, no cached file.
        assert not registry(UNINSTALL + SUITE, "32") and not (drive_c / "ProgramData" / "Uninstall" / SUITE).exists()
        assert not (victim / "Beta.dcf").exists()
    if new == CLEANUP[1]:
        # Everything of the kit but the setup.exe that runs, which the system keeps.
        assert [name for name in ("SETUP.DCF", "Alpha", "Beta", "Gamma") if (kit / name).exists()] == []
        assert (kit / "setup.exe").is_file()
    # Wine did not link the user's folders back to the Linux home.
    assert not any(folder.is_symlink() for folder in (drive_c / "users").glob("*/*"))
