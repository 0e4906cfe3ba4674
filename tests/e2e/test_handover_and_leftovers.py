"""Unattended runs end with what happened and leave nothing behind: a hand-over to another
setup.exe ends with that run's code once it has ended, a stalled update site ends the update,
another suite's resume entry stays, an installer update that asks for a restart leaves no copy.
Each row reads the machine afterwards: products, RunOnce, %TEMP%, AUOptions."""
import functools
import http.server
import shutil
import threading

import pytest

from conftest import BUILD, prefix_drive_c, run_windows, windows_path
from test_pre_install_checks import ALPHA, DCF, PACKAGES, SUITE, edit_dcf
from test_system_facts import AUTO_UPDATE, au_options, reg
from test_suite_run import installed
from test_unattended_runs import RUN_ONCE, setup_of_version, setup_processes, work_copies_left

RESUME_VALUE = "SETUP.DCF.MultiInstall"
OTHER_RESUME = '"C:\\other\\setup.exe" /qn /~ /s502'
NAME = "ProductName=Tamsa Check Suite\n"
SITE = (NAME, NAME + "SetupUpdateURL={site}/update.xml\n")
ONLINE = ("AllowOnlineUpdates=2", "TestConnectionURL={site}/")
FAILING_HELPER = [("InstallActions=Main\nShutdown", "InstallActions=Main,Helper\nShutdown"),
                  ("[Setup.Beta]", "[InstallActions.Alpha.Helper]\nSequence=30\nCommandLine=helper_1603.exe\n"
                                   "[Setup.Beta]")]


class StallingSite(http.server.SimpleHTTPRequestHandler):
    """The stalled path gets nothing, or a large file's headers and 100 KB of it, and then waits."""

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path != self.server.stalled:
            return super().do_GET()
        if self.path.endswith(".exe"):
            self.send_response(200)
            self.send_header("Content-Length", "3700000")
            self.end_headers()
            self.wfile.write(b"\0" * 100_000)
            self.wfile.flush()
        threading.Event().wait()


@pytest.fixture(scope="module")
def world(tmp_path_factory):
    """The kit each row copies (stand-ins end with the code of their name), and beside it the
    update site's files: a setup.exe of version 9 offered by update.xml."""
    kit = tmp_path_factory.mktemp("kits") / "kit"
    for product in ("Alpha", "Beta"):
        (kit / product).mkdir(parents=True)
        shutil.copy(PACKAGES / f"{product.lower()}.msi", kit / product)
    shutil.copy(DCF, kit / "SETUP.DCF")
    shutil.copy(BUILD / "setup.exe", kit)
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "helper_1603.exe")
    shutil.copy(BUILD / "exit_with.exe", kit / "msi_3010.exe")
    setup_of_version(kit.parent / "setup.exe", (9, 0, 0, 0))
    handler = functools.partial(StallingSite, directory=str(kit.parent))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    address = f"http://127.0.0.1:{server.server_address[1]}"
    (kit.parent / "update.xml").write_text(f"<update><version>9.0.0.0</version><files><file>{address}/setup.exe"
                                           "</file></files></update>")
    threading.Thread(target=server.serve_forever, daemon=True).start()
    yield kit, server, address
    server.shutdown()
    server.server_close()


def installed_with_a_broken_cached_setup(kit):
    """The cached setup, which repairs for the second run, refuses its configuration (13)."""
    assert run_windows(kit / "setup.exe", ["/qn"], timeout=300).code == 0
    cached = prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE / "setup.dcf"
    cached.write_text(cached.read_text(encoding="latin-1").replace("[Property]", "[Property]\r\nDcfVersionSchema=9.0"),
                      encoding="latin-1")


def another_suite_waits_for_its_restart(kit):
    reg("add", RUN_ONCE, "/v", RESUME_VALUE, "/t", "REG_SZ", "/d", OTHER_RESUME, "/f", "/reg:32")


# id: (DCF edits, stalled path, arguments, prepared by, exit code, Alpha installed, resume entry after)
CASES = {
    "update-whose-install-fails": ([SITE, *FAILING_HELPER], None, ONLINE, None, 1603, False, None),
    "repair-hand-over": ([("SKU=STD\n", "SKU=STD\nRepairModeAllowed=1\n")], None, (),
                         installed_with_a_broken_cached_setup, 13, True, None),
    "description-never-answers": ([SITE], "/update.xml", ONLINE, None, 0, True, None),
    "download-stalls": ([SITE], "/setup.exe", ONLINE, None, 0, True, None),
    "other-suite-waits-for-restart": ([], None, (), another_suite_waits_for_its_restart, 0, True, OTHER_RESUME),
    "installer-update-needs-restart": ([(NAME, NAME + "MinimumMSIVersion=9.0\nNTMsiInstaller=msi_3010.exe\n")],
                                       None, (), None, 0x70669, False, None),
}


@pytest.mark.parametrize("case", CASES)
def test_run_ends_with_what_happened_and_leaves_nothing(test_world, world, case):
    edits, stalled, args, prepare, code, alpha, entry = CASES[case]
    (kits, server, address), kit = world, test_world.folder / "kit"
    server.stalled = stalled
    shutil.copytree(kits, kit)
    for old, new in edits:
        edit_dcf(kit, old, new.format(site=address))
    reg("add", AUTO_UPDATE, "/v", "AUOptions", "/t", "REG_DWORD", "/d", "4", "/f")
    if prepare:
        prepare(kit)
    args = ["/qn", *(arg.format(site=address) for arg in args), "/L*v", windows_path(kit / "logs")]
    assert run_windows(kit / "setup.exe", args, timeout=300).code == code
    # Whatever the code, the run it comes from has ended.
    assert not setup_processes()
    assert installed(ALPHA) == alpha
    found = [line for line in reg("query", RUN_ONCE, "/v", RESUME_VALUE, "/reg:32").stdout.splitlines()
             if RESUME_VALUE in line]
    assert (found[0].split("REG_SZ", 1)[1].strip() if found else None) == entry
    assert not work_copies_left()
    assert au_options() == 4
