"""setup.exe from start to exit code: the quiet inline path, the host
dialog path under Xvfb, and a second instance of the same setup, which
does nothing and says so with 1618."""
import os
import pathlib
import shutil
import subprocess
import time

import pytest

from conftest import BUILD, REPO, read_log, run_messages, run_windows, wine_environment, windows_path
from test_suite_run import BETA, DELTA, installed, run_setup, suite_kit

RESULTS = REPO / "build" / "results"
# One product whose package is a program: nothing to open through the installer.
ALREADY_RUNNING = 1618
MINIMAL_DCF = b"[Setup]\r\nProductName=Sample\r\nProducts=Tool\r\n[Setup.Tool]\r\nPackageName=tool.exe\r\n"


@pytest.fixture
def setup_kit(kit):
    shutil.copy(BUILD / "setup.exe", kit)
    return kit


def kwsetup(folder):
    return {"KWSETUP": windows_path(folder / "logs") + "\\TAM_{ProductID}.log"}


def mutex_name(kit):
    return "Global\\SETUP " + (windows_path(kit) + "\\SETUP.DCF").replace("\\", "_")


def test_quiet_run_without_configuration_ends_with_file_not_found(setup_kit):
    result = run_windows(setup_kit / "setup.exe", ["/qn"], env=kwsetup(setup_kit), remove_env=())
    assert result.code == 2
    dcf = windows_path(setup_kit) + "\\SETUP.DCF"
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    expected_in_order = [
        "Installer version: 3.58.94a",
        "Worker thread starting...",
        f"Exception while loading DCF file: {dcf} error 2: Call to CTCharStream::OpenStream( {dcf} ) failed.",
        "Aborting on error code 2",
        "Caught thrown dword 2",
        "Worker exiting with status code: 00000002, ResultCode = 2",
        "Removing temporary reboot files in Cleanup",
        "Worker routine returned error code = 2",
    ]
    positions = [messages.index(line) for line in expected_in_order]
    assert positions == sorted(positions)
    assert run_messages(messages)[-1] == "Worker routine returned error code = 2"
    assert "SetupDlg Started..." not in messages  # no window on the quiet path


def test_quiet_run_with_configuration_ends_with_success(setup_kit):
    (setup_kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    result = run_windows(setup_kit / "setup.exe", ["/qn"], env=kwsetup(setup_kit), remove_env=())
    assert result.code == 0
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    assert "Worker exiting with status code: 00000000, ResultCode = 0" in messages
    assert not any(m.startswith("Worker routine returned error code") for m in messages)


def test_bad_command_line_ends_with_invalid_command_line(setup_kit):
    (setup_kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    result = run_windows(setup_kit / "setup.exe", ["/qn", "/s99999999999"], env=kwsetup(setup_kit),
                         remove_env=())
    assert result.code == 1639
    messages = run_messages(read_log(setup_kit / "logs" / "VELL_SETUP.LOG"))
    assert messages[-1] == "Worker routine returned error code = 1639"


class MutexHolder:
    """Holds the single-instance mutex of a kit from another Windows process."""

    def __init__(self, kit):
        self.stop_file = kit / "stop-holding"
        self.out = kit / "holder.out"
        self.process = subprocess.Popen(
            ["wine", str(BUILD / "mutex_holder.exe"), mutex_name(kit), windows_path(self.stop_file), "60"],
            stdout=open(self.out, "wb"), stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
            env=wine_environment())
        deadline = time.time() + 30
        while b"held" not in self.out.read_bytes():
            assert time.time() < deadline, "mutex holder did not start"
            time.sleep(0.1)

    def release(self):
        self.stop_file.write_bytes(b"")
        self.process.wait(timeout=30)


def test_second_instance_ends_quietly_with_already_running(setup_kit):
    (setup_kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    holder = MutexHolder(setup_kit)
    try:
        result = run_windows(setup_kit / "setup.exe", ["/qn"], env=kwsetup(setup_kit), remove_env=())
    finally:
        holder.release()
    assert result.code == ALREADY_RUNNING
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    assert "Another instance of the same install is currently running" in messages
    assert "Caught thrown dword 1618" in messages


def test_second_run_of_a_kit_while_the_first_installs_ends_with_already_running(test_world):
    kit = suite_kit("suite_held")
    shutil.copy(BUILD / "mutex_holder.exe", kit / "Beta")
    first_log = kit / "logs-first" / "VELL_SETUP.LOG"
    out = kit / "first.out"
    env = wine_environment({"KWSETUP": windows_path(first_log.parent) + "\\TAM_{ProductID}.log"}, ())
    first = subprocess.Popen(["wine", str(BUILD / "exit_code_launcher.exe"), windows_path(kit / "setup.exe"), "/qn"],
                             stdout=open(out, "wb"), stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
    try:
        # The first run holds its mutex in its first action, before any package.
        deadline = time.time() + 60
        while "Executing setup action: InstallActions.Beta.Hold" not in log_text(first_log):
            assert time.time() < deadline and first.poll() is None, log_text(first_log)[-2000:]
            time.sleep(0.2)
        # /qb- shows the host dialog, which needs the display of scripts/test.sh.
        for arguments in ("/qn", "/qb-") if os.environ.get("DISPLAY") else ("/qn",):
            code, messages = run_setup(kit / "setup.exe", kit / f"logs-second{arguments[1:]}", arguments)
            assert code == ALREADY_RUNNING, messages[-8:]
            assert "Another instance of the same install is currently running" in messages
            assert not any("Installing Package" in m for m in messages)
            assert [installed(p) for p in (BETA, DELTA)] == [False, False]
    finally:
        (kit / "release-hold").write_bytes(b"")
        try:
            first.wait(timeout=120)
        finally:
            if first.poll() is None:
                first.kill()
    assert "exit code: 0" in out.read_bytes().decode(), out.read_bytes().decode()
    assert [installed(p) for p in (BETA, DELTA)] == [True, True]


def log_text(path):
    """A log still being written: what it holds so far."""
    return path.read_bytes().decode("utf-16-le", "ignore") if path.exists() else ""


needs_display = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs the X display of scripts/test.sh")


@needs_display
def test_dialog_path_ends_on_end_message_with_worker_status(setup_kit):
    result = run_windows(setup_kit / "setup.exe", ["/qb-"], env=kwsetup(setup_kit), remove_env=())
    assert result.code == 2
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    # The two threads' lines interleave freely once the message is posted:
    # each thread's own order, and the dialog's reply after the post, hold.
    worker = ["SetupDlg Started...", "Worker thread starting...", "Sending WM_ENDSETUPDIALOG message...",
              "Setting finish event..."]
    dialog = ["Sending WM_ENDSETUPDIALOG message...", "UI Received WM_ENDSETUPDIALOG message",
              "Ending setup dialog on WM_ENDSETUPDIALOG message"]
    for order in (worker, dialog):
        positions = [messages.index(line) for line in order]
        assert positions == sorted(positions), order


@needs_display
def test_no_quiet_switch_takes_the_dialog_path(setup_kit):
    (setup_kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    result = run_windows(setup_kit / "setup.exe", [], env=kwsetup(setup_kit), remove_env=())
    assert result.code == 0
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    assert "SetupDlg Started..." in messages
    assert "Worker exiting with status code: 00000000, ResultCode = 0" in messages
    assert run_messages(messages)[-1] == "Ending setup dialog on WM_ENDSETUPDIALOG message"


def find_window(name, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = subprocess.run(["xdotool", "search", "--name", name], capture_output=True, text=True)
        ids = found.stdout.split()
        if ids:
            return ids
        time.sleep(0.2)
    return []


@needs_display
def test_host_dialog_shows_while_another_instance_warning_waits(setup_kit):
    (setup_kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    holder = MutexHolder(setup_kit)
    out = setup_kit / "launcher-gui.out"
    env = wine_environment(kwsetup(setup_kit), ("KWSETUP",))
    env.update(kwsetup(setup_kit))
    launcher = subprocess.Popen(["wine", str(BUILD / "exit_code_launcher.exe"),
                                 windows_path(setup_kit / "setup.exe"), "/qb"],
                                stdout=open(out, "wb"), stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, env=env)
    try:
        host = find_window("^Setup$")
        assert host, "the host dialog did not appear"
        warning = find_window("^Warning$")
        assert warning, "the another-instance warning did not appear"
        # Both are centred: move the warning aside so the picture shows the dialog.
        subprocess.run(["xdotool", "windowmove", "--sync", warning[0], "0", "0"], check=False)
        time.sleep(0.5)
        RESULTS.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", str(RESULTS / "host_dialog.png")], check=False)
        subprocess.run(["xdotool", "windowactivate", "--sync", warning[0]], check=False)
        subprocess.run(["xdotool", "key", "--window", warning[0], "Return"], check=False)
        launcher.wait(timeout=60)
    finally:
        holder.release()
        if launcher.poll() is None:
            launcher.kill()
    assert f"exit code: {ALREADY_RUNNING}" in out.read_bytes().decode()
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    assert "Another instance of the same install is currently running" in messages
    assert "Ending setup dialog on WM_ENDSETUPDIALOG message" in messages


def test_cleanup_releases_the_instance_mutex(setup_kit):
    (setup_kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    for _ in range(2):
        assert run_windows(setup_kit / "setup.exe", ["/qn"], env=kwsetup(setup_kit), remove_env=()).code == 0
    messages = read_log(setup_kit / "logs" / "VELL_SETUP.LOG")
    assert messages.count("Worker exiting with status code: 00000000, ResultCode = 0") == 2
    assert "Another instance of the same install is currently running" not in messages
