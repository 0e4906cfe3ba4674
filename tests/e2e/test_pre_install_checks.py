"""The checks before setup.exe installs anything: applications that hold
the products' files are asked to close and a service is stopped (our own
window_holder windows and service_probe service, in the test's prefix);
this suite's pending renames are removed in whole pairs while everyone
else's stay; a second run over the same installed suite repairs through
the cached setup program or removes and installs it again; the built-in
and per-product checks, and newer setup files from a loopback update site
that go into the working copy only."""
import functools
import http.server
import re
import shutil
import subprocess
import threading
import time

import pytest

from conftest import BUILD, REPO, current_world, prefix_drive_c, run_windows, windows_path, \
    wine_environment
from test_suite_run import installed, read_messages

PACKAGES = BUILD / "fixtures" / "msi"
DCF = REPO / "tests" / "fixtures" / "pre_install" / "SETUP.DCF"
SUITE = "{8C3E5F70-2A4B-4C6D-8E9F-0A1B2C3D4E5F}"
ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"
SESSION_MANAGER = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager"


@pytest.fixture
def check_kit(test_world):
    kit = test_world.folder / "kit"
    kit.mkdir(parents=True)
    shutil.copy(BUILD / "setup.exe", kit)
    shutil.copy(DCF, kit / "SETUP.DCF")
    for product in ("Alpha", "Beta"):
        (kit / product).mkdir()
        shutil.copy(PACKAGES / (product.lower() + ".msi"), kit / product)
    return kit


def edit_dcf(kit, old, new):
    text = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    assert old in text
    (kit / "SETUP.DCF").write_text(text.replace(old, new, 1), encoding="latin-1")


def run_kit(kit, *args):
    logs = kit / "logs"
    shutil.rmtree(logs, ignore_errors=True)
    env = {"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}
    result = run_windows(kit / "setup.exe", list(args), env=env, remove_env=())
    return result.code, read_messages(logs / "VELL_SETUP.LOG")


def wine(*args):
    out = current_world().out / "wine.out"
    with open(out, "wb") as handle:
        subprocess.run(["wine", *args], stdout=handle, stderr=subprocess.STDOUT,
                       stdin=subprocess.DEVNULL, env=wine_environment(), timeout=120, check=False)
    return out.read_bytes().decode("utf-8", "replace")


def open_window(class_name, title, mode):
    """A window_holder process with its window open."""
    folder = current_world().out
    ready = folder / f"{class_name}.ready"
    log = open(folder / f"{class_name}.out", "wb")
    process = subprocess.Popen(["wine", str(BUILD / "window_holder.exe"), class_name, title, mode,
                                windows_path(ready)], stdout=log, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL, env=wine_environment())
    deadline = time.time() + 60
    while not ready.exists():
        assert process.poll() is None, f"window_holder ended with {process.returncode}"
        assert time.time() < deadline, "the window did not open"
        time.sleep(0.2)
    return process


def service_state(name):
    match = re.search(r"STATE\s*:\s*\d+\s+(\w+)", wine("sc", "query", name))
    return match.group(1) if match else None


# Items whose class is written in another case, or whose name matches no
# window: item, its code, its last log lines.
SHUTDOWN_ITEMS = [
    ("Lower", 0, ["   Attempting to close the application 'tamsalowerwindow'",
                  "   The applicaiton 'tamsalowerwindow' successfully closed."]),
    ("Upper", 1603, ["   The applicaiton 'TAMSAUPPERWINDOW' failed to close, and the silent flag is set. "
                     "Returing a failure."]),
    ("Pattern", 0, ["   The application 'tamsaupper*' is not running.",
                    "   No open window has the class 'tamsaupper*' (whole name, any case)."]),
    ("OtherTitle", 0, ["   The application 'Close Me' is not running.",
                       "   No open window of the class 'TamsaUpperWindow' (whole name, any case) has 'Close Me' "
                       "in its title."]),
]


def test_quiet_install_closes_our_applications_and_stops_our_service(check_kit):
    probe = windows_path(BUILD / "service_probe.exe")
    wine("sc", "create", "TamsaProbe", "binPath=", probe, "DisplayName=", "Tamsa Probe Service")
    wine("sc", "start", "TamsaProbe")
    assert service_state("TamsaProbe") == "RUNNING"
    windows = {
        "editor": open_window("TamsaEditorWindow", "Draft 1 - Tamsa Editor", "close"),
        "notes": open_window("TamsaNotesWindow", "Tamsa Notes - readme.txt", "close"),
        "stubborn": open_window("TamsaStubbornWindow", "Tamsa Stubborn", "refuse"),
        "optional": open_window("TamsaOptionalWindow", "Tamsa Optional", "refuse"),
        "lower": open_window("TamsaLowerWindow", "Please Close Me Now", "close"),
        "upper": open_window("TamsaUpperWindow", "Please Do Not Close", "refuse"),
    }
    try:
        code, messages = run_kit(check_kit, "/qn")
        for name in ("editor", "notes", "lower"):
            windows[name].wait(timeout=30)
        still_open = {name: windows[name].poll() is None for name in ("stubborn", "optional", "upper")}
    finally:
        for process in windows.values():
            if process.poll() is None:
                process.kill()
                process.wait()
    # A required application that stays open is a failure of its action, and
    # is never reported as closed; the quiet run goes on.
    assert code == 0, messages[-5:]
    assert installed(ALPHA)
    assert still_open == {"stubborn": True, "optional": True, "upper": True}
    shutdown = messages[messages.index("Starting ExecuteShutdownActions"):]
    # The "Files in Use" list takes any item whose name appears in an open window's.
    assert shutdown[1:9] == ["   Adding WindowTitle: Draft", "   Adding WindowTitle: Tamsa Notes - readme.txt",
                             "   Adding FriendlyName: Tamsa Stubborn", "   Adding ClassName: TamsaOptionalWindow",
                             "   Adding ClassName: tamsalowerwindow", "   Adding ClassName: TAMSAUPPERWINDOW",
                             "   Adding ClassName: tamsaupper*", "   Adding WindowTitle: Close Me"]
    assert "   The applicaiton 'Draft' successfully closed." in shutdown
    assert "   The applicaiton 'Tamsa Notes - readme.txt' successfully closed." in shutdown
    assert ("   The applicaiton 'TamsaStubbornWindow' failed to close, and the silent flag is set. "
            "Returing a failure.") in shutdown
    assert "   Shutdown action ShutdownApplications.Alpha.Stubborn return code: 1603" in shutdown
    assert not any("'TamsaStubbornWindow' successfully closed" in m for m in messages)
    assert ("   The applicaiton 'TamsaOptionalWindow' failed to close, but it was not set as required."
            in shutdown)
    for name, code, lines in SHUTDOWN_ITEMS:
        block = shutdown[shutdown.index(f"Executing shutdown action: ShutdownApplications.Alpha.{name}"):]
        end = block.index(f"   Shutdown action ShutdownApplications.Alpha.{name} return code: {code}")
        assert block[end - len(lines):end] == lines, name
    assert "   Shutdown action ShutdownApplications.Alpha.Probe return code: 0" in shutdown
    # Stopping does not wait for the service; it stops on its own shortly.
    deadline = time.time() + 30
    while service_state("TamsaProbe") != "STOPPED" and time.time() < deadline:
        time.sleep(0.5)
    assert service_state("TamsaProbe") == "STOPPED"


def reg_file(values):
    """A .reg file setting the pending renames to exactly these entries."""
    data = "".join(entry + "\0" for entry in values) + "\0"
    hexes = ",".join(f"{byte:02x}" for byte in data.encode("utf-16-le"))
    text = (f"Windows Registry Editor Version 5.00\r\n\r\n[{SESSION_MANAGER}]\r\n"
            f"\"PendingFileRenameOperations\"=hex(7):{hexes}\r\n")
    path = current_world().out / "pending.reg"
    path.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
    return path


def pending_renames_data():
    """The value's exact bytes, as UTF-16 text (None when it is missing)."""
    export = current_world().out / "export.reg"
    export.unlink(missing_ok=True)
    wine("regedit", "/e", windows_path(export), SESSION_MANAGER)
    text = export.read_bytes().decode("utf-16")
    match = re.search(r'"PendingFileRenameOperations"=hex\(7\):((?:[0-9a-f,]|\\\r?\n\s*)*)', text)
    if not match:
        return None
    hexes = re.sub(r"[^0-9a-f,]", "", match.group(1))
    return bytes(int(h, 16) for h in hexes.split(",") if h).decode("utf-16-le")


def test_pending_renames_of_this_suite_go_in_whole_pairs(check_kit):
    cache = f"\\??\\C:\\ProgramData\\Uninstall\\{SUITE.lower()}"
    others = [
        "\\??\\C:\\Other\\a.new", "!\\??\\C:\\Other\\a.dll",
        "\\??\\C:\\Other\\old.tmp", "",
        "\\??\\C:\\Other\\b.new", "!\\??\\C:\\Other\\b.dll",
    ]
    # Ours: a move whose target only names the suite (dropping that entry
    # alone would shift every later pair), and a deletion at the very end.
    entries = others[:2] + ["\\??\\C:\\Temp\\setup.new", "!" + cache + "\\setup.exe"] + others[2:] + \
        [cache + "\\SETUP.DCF", ""]
    wine("regedit", "/s", windows_path(reg_file(entries)))
    assert pending_renames_data() == "".join(e + "\0" for e in entries) + "\0"
    code, messages = run_kit(check_kit, "/qn")
    assert code == 0, messages[-5:]
    assert "Removed this suite's pending file rename operations" in messages
    assert pending_renames_data() == "".join(e + "\0" for e in others) + "\0"


def test_pending_renames_that_were_all_this_suites_leave_no_value(check_kit):
    cache = f"\\??\\C:\\ProgramData\\Uninstall\\{SUITE.lower()}"
    wine("regedit", "/s", windows_path(reg_file([cache + "\\setup.exe", "", cache, ""])))
    code, messages = run_kit(check_kit, "/qn")
    assert code == 0, messages[-5:]
    assert "Removed this suite's pending file rename operations" in messages
    # An empty value would tell every installer that a restart is pending.
    assert pending_renames_data() is None


def cached_setup():
    return prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE / "setup.exe"


@pytest.mark.parametrize("group_keys, hands_over", [
    ("RepairModeAllowed=1", True),
    ("OverinstallAllowed=0", False),
], ids=["repair-through-cached-setup", "remove-and-install-again"])
def test_second_run_over_the_same_suite(check_kit, group_keys, hands_over):
    code, messages = run_kit(check_kit, "/qn")
    assert code == 0, messages[-5:]
    assert cached_setup().is_file()
    # The cached program records how it is started instead of repairing.
    shutil.copy(BUILD / "command_recorder.exe", cached_setup())
    edit_dcf(check_kit, "SKU=STD\n", f"SKU=STD\n{group_keys}\n")
    code, messages = run_kit(check_kit, "/qn")
    assert code == 0, messages[-5:]
    assert "An existing suite was found on this system." in messages
    # The cached setup has ended when this run does.
    recorded = cached_setup().with_name("setup.exe.cmdline")
    assert recorded.exists() == hands_over
    assert installed(ALPHA)
    if hands_over:
        command = recorded.read_bytes().decode("utf-16-le")
        assert f" /f {SUITE} " in command
        assert f"RepairSource=\"{windows_path(check_kit)}\\" in command
        assert " /qn" in command
        index = messages.index("Setup is going to attempt to restart using this command line:")
        assert "The setup that took over ended with exit code 0" in messages[index:]
        assert not any(m.startswith("Executing shutdown action") for m in messages)
    else:
        assert "Setup is going to attempt to restart using this command line:" not in messages
        assert "   Shutdown action ShutdownApplications.Alpha.Probe return code: 0" in messages


BETA = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"


@pytest.mark.parametrize("refusal, code, alpha, beta", [
    ("ABORTPROD", 0, True, False),
    ("ABORTALL", 1150, False, False),
    ("IGNORE", 0, True, True),
], ids=["takes-its-product-out", "ends-the-run", "is-only-logged"])
def test_a_failed_product_check(check_kit, refusal, code, alpha, beta):
    gate = windows_path(BUILD / "exit_with.exe")
    edit_dcf(check_kit, "[Setup.Beta]\n", "[Setup.Beta]\nVerifyActions=Gate\n")
    edit_dcf(check_kit, "[ShutdownApplications.Alpha.Editor]",
             f"[VerifyActions.Beta.Gate]\nAction=PROGRAM,{gate},5\nRefusal={refusal}\n\n"
             "[ShutdownApplications.Alpha.Editor]")
    result, messages = run_kit(check_kit, "/qn")
    assert result == code, messages[-5:]
    assert "   Action VerifyActions.Beta.Gate return code: 1247" in messages
    assert [installed(ALPHA), installed(BETA)] == [alpha, beta]
    assert ("   Disabling installation of product 'Beta'" in messages) == (refusal == "ABORTPROD")


def test_built_in_checks_leave_no_resume_entry(check_kit):
    result, messages = run_kit(check_kit, "/qn")
    assert result == 0, messages[-5:]
    for section in ("VerifyActions.*.Admin", "VerifyActions.*.EnsureMSI"):
        index = messages.index(f"Executing setup action: {section}")
        assert messages[index + 1:].count(f"   Action {section} return code: 0") == 1
    run_once = wine("reg", "query", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce")
    assert "MultiInstall" not in run_once


@pytest.fixture
def update_site(test_world):
    """A loopback HTTP server of the test's own serving the folder `site`."""
    site = test_world.folder / "site"
    site.mkdir()
    handler = functools.partial(QuietHandler, directory=str(site))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    yield site, f"http://127.0.0.1:{server.server_address[1]}"
    server.shutdown()
    server.server_close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@pytest.mark.parametrize("offered, restarts", [("9.0.0.0", True), ("3.58.94.0", False)],
                         ids=["newer-restarts-from-the-working-copy", "same-version-goes-on"])
def test_setup_update_goes_into_the_working_copy(check_kit, update_site, offered, restarts):
    site, address = update_site
    # The offered setup.exe records how it is started.
    shutil.copy(BUILD / "command_recorder.exe", site / "setup.exe")
    (site / "update.xml").write_text(f"<update><version>{offered}</version>"
                                     f"<files><file>{address}/setup.exe</file></files></update>")
    edit_dcf(check_kit, "ProductName=Tamsa Check Suite\n",
             f"ProductName=Tamsa Check Suite\nSetupUpdateURL={address}/update.xml\n")
    # A quiet run takes updates only when told to without asking; the
    # connection test asks the same site.
    original = (check_kit / "setup.exe").read_bytes()
    result, messages = run_kit(check_kit, "AllowOnlineUpdates=2", "/qn", f"TestConnectionURL={address}/")
    assert result == 0, messages[-5:]
    assert (check_kit / "setup.exe").read_bytes() == original
    assert not (check_kit / "setup.exe.cmdline").exists()
    work = re.search(r"^Setup works from its temporary copy in '(.*)'$",
                     "\n".join(messages), re.M).group(1)
    work_folder = prefix_drive_c() / work[3:].rstrip("\\").replace("\\", "/")
    line = f"   The version of setup available on the update site is: {offered}, and will "
    assert line + ("be downloaded" if restarts else "not be downloaded") in messages
    if not restarts:
        assert installed(ALPHA)
        assert "Setup is going to attempt to restart using this command line:" not in messages
        return
    # The offered program has run and ended: its copy is gone with it.
    command = messages[messages.index("Setup is going to attempt to restart using this command line:") + 1]
    assert command.startswith(f'   "{work}setup.exe" {{lang}}=ENU AllowOnlineUpdates=2 /qn')
    assert "The setup that took over ended with exit code 0" in messages
    assert not work_folder.exists()
    assert not installed(ALPHA)
    pending = pending_renames_data() or ""
    assert f"{work}setup.exe".lower() in pending.lower()
    assert windows_path(check_kit).lower() not in pending.lower()


@pytest.mark.parametrize("link, code", [("1", 1150), ("0", 0)], ids=["linked-ends-the-run", "unlinked-goes-on"])
def test_upgrade_condition_that_fails(check_kit, link, code):
    edit_dcf(check_kit, "[Property]\n", f"[Property]\nUpgradeLink={link}\n")
    edit_dcf(check_kit, "[Setup.Beta]\n", "[Setup.Beta]\nUpgradeConditions=Classic\n")
    edit_dcf(check_kit, "[ShutdownApplications.Alpha.Editor]",
             "[UpgradeConditions.Beta.Classic]\nUninstallKey={0BADC0DE-0000-4000-8000-0000000000C1}\n\n"
             "[ShutdownApplications.Alpha.Editor]")
    result, messages = run_kit(check_kit, "/qn")
    assert result == code, messages[-5:]
    assert "   Action UpgradeConditions.Beta.Classic return code: 2" in messages
    assert installed(ALPHA) == (code == 0)


# A passed "RebrandFor" check renames its product and tells the package.
def test_a_passed_rebranding_check_renames_the_product(check_kit):
    gate = windows_path(BUILD / "exit_with.exe")
    edit_dcf(check_kit, "[Setup.Beta]\n", "[Setup.Beta]\nVerifyActions=RebrandForOEM\n")
    edit_dcf(check_kit, "[ShutdownApplications.Alpha.Editor]",
             f"[VerifyActions.Beta.RebrandForOEM]\nAction=PROGRAM,{gate},0\nProductName=Tamsa OEM Beta\n\n"
             "[ShutdownApplications.Alpha.Editor]")
    result, messages = run_kit(check_kit, "/qn")
    assert result == 0, messages[-5:]
    assert installed(ALPHA) and installed(BETA)
    packages = [m for m in messages if m.startswith("   Installing Package: ")]
    assert len(packages) == 2
    assert [' OEM="1" ' in m for m in packages] == ["beta.msi" in m for m in packages]
