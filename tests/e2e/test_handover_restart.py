"""Hand-overs and setup updates of unattended runs, read from the machine afterwards: a source.ini
never loops and keeps the caller's /qn; an updated setup still finds the kit's files."""
import functools
import http.server
import shutil
import threading

import pytest

from conftest import BUILD, run_windows, windows_path
from test_pre_install_checks import ALPHA, DCF, PACKAGES, SUITE, edit_dcf
from test_system_facts import reg
from test_suite_run import UNINSTALL, installed, registry
from test_unattended_runs import RUN_ONCE, setup_of_version, setup_processes, work_copies_left

RESUME = "SETUP.DCF.MultiInstall"
NAME = "ProductName=Tamsa Check Suite\n"
INSTALLER_RESTARTS = (NAME, NAME + "MinimumMSIVersion=9.0\nNTMsiInstaller=msi_1641.exe\n")
ONLINE = ("AllowOnlineUpdates=2", "TestConnectionURL={site}/")


@pytest.fixture(scope="module")
def world(tmp_path_factory):
    """The kit the rows copy (msi_1641.exe ends with its name's code), and a loopback site offering
    a setup.exe of version 9."""
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
    (site / "update.xml").write_text(f"<update><version>9.0.0.0</version><files><file>{address}/setup.exe</file>"
                                     "</files></update>")
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


def suite_installed_in_the_kit(kit, entries):
    location = registry(UNINSTALL + SUITE, "32")["InstallLocation"]
    assert location.startswith(windows_path(kit) + "\\Apps\\"), location


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
    if RESUME not in entries:
        assert not work_copies_left()
    if check:
        check(kit, found)
