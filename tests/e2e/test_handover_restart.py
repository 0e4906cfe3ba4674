"""Hand-overs, setup updates and restarts of unattended runs, read from the machine afterwards: a
source.ini never loops and keeps the caller's /qn; an updated setup still finds the kit's files; a
failed update leaves the working copy as it was; each suite resumes under a RunOnce name of its own,
and a run that cannot register one does not restart; a restart that an earlier version's removal
asks for reaches the exit code; the repair hand-over carries what the run was asked."""
import functools
import http.server
import shutil
import threading

import pytest

from conftest import BUILD, prefix_drive_c, run_windows, windows_path
from test_pre_install_checks import ALPHA, DCF, PACKAGES, SUITE, edit_dcf
from test_system_facts import reg
from test_suite_run import UNINSTALL, installed, registry
from test_unattended_runs import RUN_ONCE, setup_of_version, setup_processes, work_copies_left

RESUME = SUITE + ".MultiInstall"
OTHER_NAME, OTHER = "SETUP.DCF.MultiInstall", '"C:\\other\\setup.exe" /qn /~ /s502'
NAME = "ProductName=Tamsa Check Suite\n"
INSTALLER_RESTARTS = (NAME, NAME + "MinimumMSIVersion=9.0\nNTMsiInstaller=msi_1641.exe\n")
ONLINE = ("AllowOnlineUpdates=2", "TestConnectionURL={site}/")
OLD_TOOL = UNINSTALL + "TamsaOldTool"


def cache():
    return prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE


@pytest.fixture(scope="module")
def world(tmp_path_factory):
    """The kit the rows copy (msi_1641.exe ends with its name's code), and a loopback site offering
    a setup.exe of version 9, alone or with a file it does not have."""
    root = tmp_path_factory.mktemp("kits")
    kit, site = root / "kit", root / "site"
    for product in ("Alpha", "Beta"):
        (kit / product).mkdir(parents=True)
        shutil.copy(PACKAGES / f"{product.lower()}.msi", kit / product)
    for name in ("setup.exe", "SETUP.DCF", "msi_1641.exe"):
        shutil.copy({"SETUP.DCF": DCF, "msi_1641.exe": BUILD / "exit_with.exe"}.get(name, BUILD / name), kit / name)
    site.mkdir()
    setup_of_version(site / "setup.exe", (9, 0, 0, 0))
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(http.server.SimpleHTTPRequestHandler, directory=str(site)))
    address = f"http://127.0.0.1:{server.server_address[1]}"
    for offer, files in (("update.xml", ["setup.exe"]), ("partial.xml", ["setup.exe", "missing.txt"])):
        names = "".join(f"<file>{address}/{name}</file>" for name in files)
        (site / offer).write_text(f"<update><version>9.0.0.0</version><files>{names}</files></update>")
    threading.Thread(target=server.serve_forever, daemon=True).start()
    yield kit, address
    server.shutdown()
    server.server_close()


def source_ini(folder, target, arguments):
    """`folder` hands over to the setup.exe in `target`."""
    program = windows_path(target / "setup.exe")
    (folder / "source.ini").write_text(f"[All]\r\nInstallSourceProg={program}\r\n"
                                       f"InstallSourceCmd=\"{program}\"{arguments}\r\nInstallSourceIni=SETUP.DCF\r\n")


def hand_over_folder(kit, arguments):
    """A folder whose source.ini hands over to the kit."""
    hand = kit.parent / "hand"
    hand.mkdir()
    for name in ("setup.exe", "SETUP.DCF"):
        shutil.copy(kit / name, hand)
    source_ini(hand, kit, arguments)
    return hand


def run_once_entry(name):
    """Another setup's resume entry, waiting for a restart."""
    def prepare(kit):
        reg("add", RUN_ONCE, "/v", name, "/t", "REG_SZ", "/d", OTHER, "/f", "/reg:32")
    return prepare


def earlier_version_needs_restart(kit):
    """An uninstaller that removes its entry and asks for a restart."""
    uninstaller = kit / "uninstall_old.cmd"
    uninstaller.write_bytes(f'@reg delete "{OLD_TOOL}" /f /reg:32 >nul\r\n@exit 3010\r\n'.encode())
    for value, data in (("DisplayName", "Tamsa Old Tool"), ("UninstallString", windows_path(uninstaller))):
        reg("add", OLD_TOOL, "/v", value, "/t", "REG_SZ", "/d", data, "/f", "/reg:32")


def installed_with_a_recording_cached_setup(kit):
    """The cached setup, which repairs for the second run, only records its command line."""
    assert run_windows(kit / "setup.exe", ["/qn"], timeout=300).code == 0
    shutil.copy(BUILD / "command_recorder.exe", cache() / "setup.exe")
    edit_dcf(kit, "SKU=STD\n", "SKU=STD\nRepairModeAllowed=1\n")


def repair_asked_what_the_run_was(kit, entries):
    command = (cache() / "setup.exe.cmdline").read_bytes().decode("utf-16-le")
    assert " ReturnRebootRequest=1" in command and " MyProp=Abc" in command, command


def suite_installed_in_the_kit(kit, entries):
    location = registry(UNINSTALL + SUITE, "32")["InstallLocation"]
    assert location.startswith(windows_path(kit) + "\\Apps\\"), location


def copy_keeps_the_kits_setup(kit, entries):
    program = entries[RESUME].split('"')[1]
    copy = prefix_drive_c() / program[3:].replace("\\", "/")
    assert copy.read_bytes() == (kit / "setup.exe").read_bytes()


def old_tool_removed(kit, entries):
    assert "TamsaOldTool" not in reg("query", OLD_TOOL, "/reg:32").stdout


PREVIOUS = [("InstallActions=Main\nShutdown", "InstallActions=Main\nPreviousVersions=Old\nShutdown"),
            ("[Setup.Beta]", "[PreviousVersions.Alpha.Old]\nName=Tamsa Old Tool\nUninstallKey=TamsaOldTool\n"
                             "Detection=UNINSTALLKEY\nPrompt=NONE\nUninstallCommand=UNINSTALLKEY\nForce=1\n\n"
                             "[Setup.Beta]")]
IN_THE_KIT = ("BasePath={ProgramFilesFolder}/Tamsa", "BasePath={{SetupDir}}/Apps")


def update(offer):
    return (NAME, NAME + f"SetupUpdateURL={{site}}/{offer}\n")


# id: (DCF edits, prepared by, arguments, exit code, Alpha installed, RunOnce entries (name: text in
# its value), further check)
CASES = {
    "source-ini-names-its-own-setup": ([], lambda kit: source_ini(kit, kit, " /qn"), ("/qn",), 13, False, {}, None),
    "source-inis-name-each-other": ([], lambda kit: source_ini(kit, hand_over_folder(kit, " /qn"), " /qn"), ("/qn",),
                                    13, False, {}, None),
    "source-ini-keeps-the-callers-level": ([], lambda kit: hand_over_folder(kit, ""), ("/qn",), 0, True, {}, None),
    "updated-setup-finds-the-kits-installer": ([update("update.xml"), INSTALLER_RESTARTS], None,
                                               ("/qn+", *ONLINE), 0x70669, False, {RESUME: " /s502"}, None),
    "updated-setup-installs-into-the-kit": ([update("update.xml"), IN_THE_KIT], None, ("/qn", *ONLINE),
                                            0, True, {}, suite_installed_in_the_kit),
    "failed-update-while-another-suite-waits": ([update("partial.xml"), INSTALLER_RESTARTS],
                                                run_once_entry(OTHER_NAME), ("/qn+", *ONLINE), 0x70669, False,
                                                {RESUME: " /s502", OTHER_NAME: OTHER}, copy_keeps_the_kits_setup),
    "resume-name-taken": ([INSTALLER_RESTARTS], run_once_entry(RESUME), ("/qn",), 1603, False, {RESUME: OTHER},
                          None),
    "earlier-version-asks-for-restart": (PREVIOUS, earlier_version_needs_restart,
                                         ("/qn", "ReturnRebootRequest=1"), 3010, True, {}, old_tool_removed),
    "repair-hand-over-carries-the-properties": ([], installed_with_a_recording_cached_setup,
                                                ("/qn", "ReturnRebootRequest=1", "MyProp=Abc"), 0, True, {},
                                                repair_asked_what_the_run_was),
}


def run_once_entries():
    lines = [line.split(None, 2) for line in reg("query", RUN_ONCE, "/reg:32").stdout.splitlines()]
    return {parts[0]: parts[2] for parts in lines if len(parts) == 3 and parts[1] == "REG_SZ"}


@pytest.mark.parametrize("case", CASES)
def test_handed_over_or_restarted_run_ends_as_it_should(test_world, world, case):
    edits, prepare, args, code, alpha, entries, check = CASES[case]
    (kits, address), kit = world, test_world.folder / "kit"
    shutil.copytree(kits, kit)
    for old, new in edits:
        edit_dcf(kit, old, new.format(site=address))
    program = (prepare(kit) if prepare else None) or kit
    args = [*(arg.format(site=address) for arg in args), "/L*v", windows_path(kit / "logs")]
    assert run_windows(program / "setup.exe", args, timeout=300).code == code
    # The run and every setup it handed over to have ended.
    assert not setup_processes()
    assert installed(ALPHA) == alpha
    found = run_once_entries()
    assert sorted(found) == sorted(entries)
    assert all(text in found[entry] for entry, text in entries.items()), found
    # A working copy stays only for the resume this run registered.
    if entries.get(RESUME, OTHER) == OTHER:
        assert not work_copies_left()
    if check:
        check(kit, found)
