"""Unattended runs (/qn) end by themselves, within a bound, with the code of
what happened: a Windows Installer update that names no installer fails at
once; a restart during the preparation is made once per stage, and the run
resumed after it keeps its stage and its properties; a setup update is taken
once, only when it makes setup newer, and the updated setup removes the
working copy it ran from; online updates without an update address install.
Each test also reads what the runs left: %TEMP%, RunOnce, the products."""
import functools
import http.server
import pathlib
import re
import shutil
import struct
import subprocess
import threading
import time

import pytest

from conftest import BUILD, current_world, prefix_drive_c, run_windows, windows_path, wine_environment
from test_pre_install_checks import ALPHA, check_kit, edit_dcf, pending_renames_data, wine  # noqa: F401
from test_suite_run import installed, read_messages

INSTALLER_UPDATE = "ProductName=Tamsa Check Suite\nMinimumMSIVersion=9.0\n"
WORKER_END = re.compile(r"^Worker exiting with status code: ([0-9A-F]{8}), ResultCode = -?\d+$")
RUN_ONCE = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"
# Beyond it a run, or a chain of runs, is taken to loop or hang.
BOUND = 120


def setup_processes():
    """The setup programs still running in this test's prefix."""
    prefix = f"WINEPREFIX={current_world().prefix.path()}".encode()
    found = []
    for process in pathlib.Path("/proc").iterdir():
        try:
            environment = (process / "environ").read_bytes().split(b"\0")
            command = (process / "cmdline").read_bytes().replace(b"\0", b" ")
        except OSError:
            continue
        if prefix in environment and b"setup.exe" in command.lower():
            found.append(command.decode("utf-8", "replace"))
    return found


def wait_for(condition, what):
    deadline = time.time() + BOUND
    while not condition():
        assert time.time() < deadline, f"not within {BOUND} s: {what}"
        time.sleep(0.5)


def statuses(logs):
    """The status of each run that wrote to the log, in order."""
    path = logs / "VELL_SETUP.LOG"
    messages = read_messages(path) if path.exists() else []
    return [int(m.group(1), 16) for m in map(WORKER_END.match, messages) if m], messages


def wait_for_runs(logs, count):
    """Waits until `count` runs have ended and no setup program is left."""
    wait_for(lambda: len(statuses(logs)[0]) >= count, f"{count} runs ending")
    wait_for(lambda: not setup_processes(), "every setup program ending")
    return statuses(logs)


def start_unattended(kit, *args):
    """setup.exe in the foreground until it ends or restarts Wine, which ends
    it (and any launcher) before it can report; the runs write one log."""
    logs = kit / "logs"
    with open(current_world().out / "setup.out", "ab") as out:
        subprocess.run(["wine", str(kit / "setup.exe"), *args, "/L*v", windows_path(logs)], stdout=out,
                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=wine_environment(),
                       timeout=BOUND, check=False)
    return logs


def run_kit(kit, *args):
    """A run whose exit code the launcher reads."""
    logs = kit / "logs"
    result = run_windows(kit / "setup.exe", [*args, "/L*v", windows_path(logs)], timeout=BOUND)
    return result.code, read_messages(logs / "VELL_SETUP.LOG")


def work_copies_left():
    """What the runs left in %TEMP% or the machine's temporary folder that is not scheduled for deletion at the
    restart."""
    temp = [p for p in (prefix_drive_c() / "users").glob("*/Temp") if not p.parent.is_symlink()] + \
        [prefix_drive_c() / "windows" / "temp"]
    left = [p for folder in temp for p in folder.rglob("*") if "ZOLM" in str(p.relative_to(folder))]
    scheduled = (pending_renames_data() or "").lower() if left else ""
    windows = ["C:\\" + str(path.relative_to(prefix_drive_c())).replace("/", "\\") for path in left]
    return [path for path in windows if f"\\??\\{path}".lower() not in scheduled]


def assert_nothing_left():
    """No resume entry, no setup program, and nothing of the runs in %TEMP%
    that is not scheduled for deletion at the restart."""
    assert "MultiInstall" not in wine("reg", "query", RUN_ONCE, "/reg:32")
    assert not setup_processes()
    assert not work_copies_left()


@pytest.mark.parametrize("installer", [None, "bin"], ids=["none-named", "a-folder"])
def test_installer_update_without_an_installer_file_fails_at_once(check_kit, installer):
    (check_kit / "bin").mkdir()
    named = f"NTMsiInstaller={installer}\n" if installer else ""
    edit_dcf(check_kit, "ProductName=Tamsa Check Suite\n", INSTALLER_UPDATE + named)
    code, messages = run_kit(check_kit, "/qn")
    assert code == 1603, messages[-5:]
    folder = windows_path(check_kit) + "\\" + (installer or "")
    assert f"Unable to launch MSI installer from '{folder}'. Error code = 00000002" in messages
    assert "   Action VerifyActions.Alpha.MSICorrectVersion return code: 1603" in messages
    assert not any(m.startswith("Command Line = ") for m in messages)
    assert not installed(ALPHA)
    assert_nothing_left()


def test_restart_during_preparation_is_made_once_per_stage(check_kit):
    """The installer asks for a restart and raises nothing. Wine's restart
    runs the resume entry, whose working copy hands back to the kit with its
    stage; the kit's run meets the same request again and gives up."""
    shutil.copy(BUILD / "exit_with.exe", check_kit / "msi_1641.exe")
    edit_dcf(check_kit, "ProductName=Tamsa Check Suite\n", INSTALLER_UPDATE + "NTMsiInstaller=msi_1641.exe\n")
    logs = start_unattended(check_kit, "/qn")
    codes, messages = wait_for_runs(logs, 3)
    # The first run, the copy that handed over, the kit's run.
    assert codes == [0x70669, 0, 1603], messages[-5:]
    assert messages.count("Initiating a reboot, so the Windows Installer will be functional") == 1
    handed = messages[messages.index("Setup is going to attempt to restart using this command line:") + 1]
    assert handed.endswith(" /s502"), handed
    assert "Setup was restarted for stage 502 already and does not restart for it again" in messages
    # The resume entry starts the first run's copy, which lies outside every
    # profile in a folder only administrators may change.
    first = "Setup works from its temporary copy in '"
    copy = next(m for m in messages if m.startswith(first))[len(first):-1]
    assert re.fullmatch(r"C:\\windows\\temp\\ZOLM[0-9A-F]{4}\\", copy, re.IGNORECASE), copy
    resumed = [m for m in messages if m.startswith("Setup command line: ")][1]
    assert resumed.startswith(f'Setup command line: "{copy}setup.exe" /qn ') and resumed.endswith(" /~ /s502"), \
        resumed
    assert not installed(ALPHA)
    assert_nothing_left()


def test_run_resumed_after_a_restart_keeps_its_stage_and_properties(check_kit):
    """This installer does its job: the requirement it meets is gone from
    the kit's SETUP.DCF after it. The resumed run goes on from the stage and
    keeps the properties the first run was given."""
    kit = check_kit
    edit_dcf(kit, "InstallActions=Main\nShutdownApplications", "InstallActions=Main,Helper\nShutdownApplications")
    edit_dcf(kit, "[Setup.Beta]", "[InstallActions.Alpha.Helper]\nSequence=30\nCommandLine=helper_3010.exe\n\n"
                                  "[Setup.Beta]")
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "helper_3010.exe")
    shutil.copy(kit / "SETUP.DCF", kit / "SETUP.next")
    (kit / "update.cmd").write_bytes(b'@copy /y "%~dp0SETUP.next" "%~dp0SETUP.DCF" >nul\r\n@exit 1641\r\n')
    edit_dcf(kit, "ProductName=Tamsa Check Suite\n", INSTALLER_UPDATE + "NTMsiInstaller=update.cmd\n")
    logs = start_unattended(kit, "/qn", "ReturnRebootRequest=1", "MyProp=Abc")
    codes, messages = wait_for_runs(logs, 3)
    # The restart the package asks for is returned, not made.
    assert codes == [0x70669, 0, 3010], messages[-5:]
    handed = messages[messages.index("Setup is going to attempt to restart using this command line:") + 1]
    assert " MyProp=Abc" in handed and " ReturnRebootRequest=1" in handed and handed.endswith(" /s502")
    last_run = messages[len(messages) - messages[::-1].index("Worker thread starting..."):]
    assert "Executing setup action: VerifyActions.Alpha.MSICorrectVersion" in last_run
    assert "Executing setup action: VerifyActions.*.CheckPrompt" not in last_run
    assert "   MyProp = Abc" in last_run
    assert installed(ALPHA)
    assert_nothing_left()


class UpdateSite(http.server.SimpleHTTPRequestHandler):
    requests = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        UpdateSite.requests.append(self.path)
        super().do_GET()


@pytest.fixture
def update_site(check_kit):
    """A loopback site serving the folder `site`, which records what it is
    asked; the kit's SETUP.DCF names its update description."""
    site = check_kit.parent / "site"
    site.mkdir()
    UpdateSite.requests = []
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(UpdateSite, directory=str(site)))
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    address = f"http://127.0.0.1:{server.server_address[1]}"
    edit_dcf(check_kit, "ProductName=Tamsa Check Suite\n",
             f"ProductName=Tamsa Check Suite\nSetupUpdateURL={address}/update.xml\n")
    yield site, address
    server.shutdown()
    server.server_close()


def offer(site, address, version, *files):
    names = "".join(f"<file>{address}/{name}</file>" for name in files)
    (site / "update.xml").write_text(f"<update><version>{version}</version><files>{names}</files></update>")


def setup_of_version(target, version):
    """Our setup.exe with another file version in its version resource."""
    data = bytearray((BUILD / "setup.exe").read_bytes())
    # The fixed part follows the resource's key, padded to four bytes; the
    # signature's bytes alone also occur in the program's code.
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    assert data.count(key) == 1
    at = data.index(key) + len(key) + 2
    assert data[at:at + 4] == b"\xbd\x04\xef\xfe"
    major, minor, build, revision = version
    high, low = major << 16 | minor, build << 16 | revision
    struct.pack_into("<IIII", data, at + 8, high, low, high, low)
    target.write_bytes(bytes(data))


@pytest.mark.parametrize("delivered", ["setup.exe", "readme.txt"], ids=["older-program", "no-program"])
def test_update_that_does_not_make_setup_newer_is_not_taken(check_kit, update_site, delivered):
    """The site offers 9.0 and delivers this very setup.exe, or no program."""
    site, address = update_site
    shutil.copy(BUILD / "setup.exe", site / "setup.exe")
    (site / "readme.txt").write_text("notes")
    offer(site, address, "9.0.0.0", delivered)
    code, messages = run_kit(check_kit, "/qn", "AllowOnlineUpdates=2", f"TestConnectionURL={address}/")
    assert code == 0, messages[-5:]
    assert any(m.startswith("   The files from the update site do not make setup newer") for m in messages)
    assert "Setup is going to attempt to restart using this command line:" not in messages
    assert UpdateSite.requests.count("/update.xml") == 1
    assert installed(ALPHA)
    assert_nothing_left()


def test_updated_setup_runs_once_with_the_given_properties_and_leaves_nothing(check_kit, update_site):
    """The site delivers a setup.exe of version 9 and offers 10: the updated
    setup must neither look again nor lose the properties, and it removes the
    working copy it ran from."""
    kit = check_kit
    site, address = update_site
    setup_of_version(site / "setup.exe", (9, 0, 0, 0))
    offer(site, address, "10.0.0.0", "setup.exe")
    edit_dcf(kit, "InstallActions=Main\nShutdownApplications", "InstallActions=Main,Helper\nShutdownApplications")
    edit_dcf(kit, "[Setup.Beta]", "[InstallActions.Alpha.Helper]\nSequence=30\nCommandLine=helper_3010.exe\n\n"
                                  "[Setup.Beta]")
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "helper_3010.exe")
    code, messages = run_kit(kit, "/qn", "AllowOnlineUpdates=2", f"TestConnectionURL={address}/", "MyProp=Abc",
                             "ReturnRebootRequest=1")
    # The first run hands over to the updated setup and ends with its result.
    assert code == 3010, messages[-5:]
    codes, messages = wait_for_runs(kit / "logs", 2)
    assert codes == [3010, 3010], messages[-5:]
    updated = messages[len(messages) - messages[::-1].index("Worker thread starting..."):]
    assert "   Setup was started again by setup; it does not look for newer setup files" in updated
    assert "   MyProp = Abc" in updated
    # The updated run tested the connection against the address it was given
    # (the default one is out of reach: 59) and looked for no update.
    assert UpdateSite.requests == ["/update.xml", "/setup.exe"]
    assert installed(ALPHA)
    assert_nothing_left()


def test_online_updates_without_an_update_address_install(check_kit, update_site):
    """None of the five [Setup] values that the setup's own configuration
    reads: no address, so no update, and the suite installs."""
    site, address = update_site
    edit_dcf(check_kit, f"SetupUpdateURL={address}/update.xml\n", "")
    code, messages = run_kit(check_kit, "/qn", "AllowOnlineUpdates=2", f"TestConnectionURL={address}/")
    assert code == 0, messages[-5:]
    assert "   No download location was specified for setup files." in messages
    assert UpdateSite.requests == []
    assert installed(ALPHA)
    assert_nothing_left()


def test_updated_setup_that_restarts_during_preparation_resumes_from_its_copy(check_kit, update_site):
    """The updated setup's installer update restarts the machine: the files
    it was updated with must still be there when the resume starts them."""
    kit = check_kit
    site, address = update_site
    setup_of_version(site / "setup.exe", (9, 0, 0, 0))
    offer(site, address, "9.0.0.0", "setup.exe")
    # In bin\, which the copy the updated setup runs from holds too.
    (kit / "bin").mkdir()
    shutil.copy(BUILD / "exit_with.exe", kit / "bin" / "msi_1641.exe")
    edit_dcf(kit, "ProductName=Tamsa Check Suite\n", INSTALLER_UPDATE + "NTMsiInstaller=bin\\msi_1641.exe\n")
    logs = start_unattended(kit, "/qn", "AllowOnlineUpdates=2", f"TestConnectionURL={address}/")
    codes, messages = wait_for_runs(logs, 3)
    # The updated run restarts; after the restart its copy resumes at the
    # stage and does not restart for it again.
    assert codes[-2:] == [0x70669, 1603], messages[-5:]
    assert "Setup was restarted for stage 502 already and does not restart for it again" in messages
    assert not installed(ALPHA)
    assert_nothing_left()
