"""A suite takes only what is its own and knows what it installed. Each row
is one life of a suite in a prefix of its own: steps with their exit codes,
then each product's users (None: not installed) and files there or not."""
import shutil
import subprocess

import pytest

from conftest import BUILD, current_world, prefix_drive_c, wine_environment, windows_path
from test_shared_suites import garden_kit
from test_suite_run import installed, references, run_setup, suite_kit, uninstall_suite

SAMPLE, A, B = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}", "{C2A0D5E1-6F3B-4A27-8E19-5D4C3B2A1F0A}", \
    "{C2A0D5E1-6F3B-4A27-8E19-5D4C3B2A1F0B}"
ALPHA, BETA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}", "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"
ORCHID_2, PINE, QUARTZ = ("{5B0E7C10-2A41-4C3B-9D15-6E7F8091%s}" % end for end in ("A2B2", "B2C1", "C3D1"))
VIEWER = "Program Files (x86)/TamsaBeta/viewer.bin"
KITS = {
    "a": ("garden_a", ()), "b": ("garden_b", ()), "sample": ("msi_suite", ()),
    # Replaces version 1 whole (OverinstallAllowed=0) and names Quartz, which
    # suite B uses, also as an earlier version of its own; fails at the end.
    "a2": ("garden_a_v2", (("InstallActions=Main\n\n[InstallActions.Quartz.Main]",
                            "InstallActions=Main,Fail\n\n[InstallActions.Quartz.Main]"),
                           ("[Setup.Orchid]\n", f"[PreviousVersions.Orchid.Old]\nUninstallKey={QUARTZ}\nForce=1\n"
                            "Detection=UNINSTALLKEY\nPrompt=NONE\nUninstallCommand=UNINSTALLKEY\n[InstallActions.Quartz."
                            "Fail]\nSequence=40\nCommandLine=none.exe\n[Setup.Orchid]\nPreviousVersions=Old\n"))),
    # A program by a macro's absolute path, and one of Windows below the
    # folder the product's search finds.
    "tools": ("msi_suite", (("[Setup.Alpha]\nPackageName=alpha.msi\nInstallActions=Main\n",
                             "[InstallActions.Alpha.Macro]\nSequence=11\nCommandLine={SetupDir}\\recorder.exe /x\n"
                             "[InstallActions.Alpha.System]\nSequence=12\n"
                             "CommandLine={WINDIR}\\system32\\cmd.exe /c echo> C:\\x.txt\n[Setup.Alpha]\n"
                             "PackageName=alpha.msi\nInstallActions=Main,Macro,System\nAppSearch=out,WINDIR;reg,HKLM\\"
                             "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion,REG_SZ,SystemRoot\n"),)),
}
ROWS = {
    "failed-upgrade-keeps-a-shared-product": (
        [("b", "/qn", 0), ("a", "/qn PINEGATE=1", 0), ("a2", "/qn", 2)],
        {ORCHID_2: None, PINE: [A, B], QUARTZ: [A, B]}, {"Program Files (x86)/TamsaQuartz/quartz.txt": True}),
    # FastInstall over the user's own Beta: Alpha is counted, so removed.
    "fast-install-and-the-users-own-product": (
        [("msiexec", "sample/Beta/beta.msi"), ("sample", "/qn FastInstall=1", 0), ("delete", VIEWER),
         ("sample", f"/qn /f {SAMPLE}", 0), ("uninstall", SAMPLE, 0)],
        {ALPHA: None, BETA: []}, {VIEWER: False, f"ProgramData/Uninstall/{SAMPLE}/setup.dcf": False}),
    # A user's folder at the cache's name before the first install: nothing of
    # it stays for the suite's later runs to read or start.
    "a-planted-cache-is-emptied-at-the-first-install": (
        [("plant", f"ProgramData/Uninstall/{SAMPLE}"), ("sample", "/qn", 0)], {ALPHA: [SAMPLE]},
        {f"ProgramData/Uninstall/{SAMPLE}/{name}": kept for name, kept in (
            ("extra.txt", False), ("bin/ProductVersion.dll", False), ("junk/x.bin", False), ("setup.dcf", True),
            ("setup.exe", True))}),
    # A link there is never followed. Wine cannot remove it (Windows takes a
    # junction away): the run ends before it changes any product.
    "a-link-at-the-cache-name-is-not-followed": (
        [("link", f"ProgramData/Uninstall/{SAMPLE}"), ("sample", "/qn", 1603)], {ALPHA: None},
        {"victims/x.txt": True, "victims/setup.exe": False}),
    "programs-run-where-they-are-named": (
        [("tools", "/qn", 0)], {ALPHA: [SAMPLE]}, {"tools/recorder.exe.cmdline": True, "x.txt": True}),
}


def make_kit(name):
    """The fixture's kit with the row's edits, under the row's name."""
    fixture, edits = KITS[name]
    kit = garden_kit(fixture, name) if fixture.startswith("garden") else \
        suite_kit(fixture).rename(current_world().folder / name)
    dcf = (kit / "SETUP.DCF").read_text()
    for old, new in edits:
        assert old in dcf, old
        dcf = dcf.replace(old, new, 1)
    (kit / "SETUP.DCF").write_text(dcf)
    shutil.copy(BUILD / "command_recorder.exe", kit / "recorder.exe")


@pytest.mark.parametrize("row", ROWS)
def test_suite_takes_only_what_is_its_own(row):
    steps, products, files = ROWS[row]
    world, drive_c = current_world().folder, prefix_drive_c()
    for kit in dict.fromkeys(kind for kind, *_ in steps if kind in KITS):
        make_kit(kit)
    for number, (kind, argument, *code) in enumerate(steps):
        if kind == "msiexec":
            subprocess.run(["wine", "msiexec", "/i", windows_path(world / argument), "/qn"], check=True,
                           env=wine_environment(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        elif kind == "delete":
            (drive_c / argument).unlink()
        elif kind == "link":
            (drive_c / "victims").mkdir()
            (drive_c / "victims" / "x.txt").write_bytes(b"another owner's")
            (drive_c / argument).parent.mkdir(parents=True, exist_ok=True)
            (drive_c / argument).symlink_to(drive_c / "victims")
        elif kind == "plant":
            for name in ("extra.txt", "bin/ProductVersion.dll", "junk/x.bin"):
                (drive_c / argument / name).parent.mkdir(parents=True, exist_ok=True)
                (drive_c / argument / name).write_bytes(b"planted")
        else:
            logs = world / f"logs-{number}"
            result = uninstall_suite(argument, logs) if kind == "uninstall" else \
                run_setup(world / kind / "setup.exe", logs, argument)
            assert result[0] == code[0], (kind, argument, result[1][-6:])
    assert {p: sorted(references(p)[0] or []) if installed(p) else None for p in products} == products
    assert {f: (world / f).exists() or (drive_c / f).exists() for f in files} == files
