"""Where a run's log goes, seen from outside: the probe program starts the
way setup.exe does (InitializeLogging on its own command line) from a
prepared folder, command line and environment; and what a whole run of
setup.exe leaves in its log folder."""
import contextlib
import os
import pathlib
import subprocess
import zipfile

import pytest

from conftest import prefix_drive_c, read_log, run_windows, windows_path
from test_suite_run import read_messages, suite_kit

PROBE = "foundation_probe.exe"


@pytest.fixture
def default_log():
    path = prefix_drive_c() / "VELL_SETUP.LOG"
    path.unlink(missing_ok=True)
    yield path
    path.unlink(missing_ok=True)


def test_log_from_command_line_switch(kit):
    logs = kit / "my logs"
    result = run_windows(kit / PROBE, ["log", "2", "hello", "/L*v", windows_path(logs)])
    assert result.code == 0
    template = windows_path(logs) + "\\TAM_{ProductID}.log"
    assert read_log(logs / "VELL_SETUP.LOG") == [
        f"Created folder for log files: {template}",
        "hello line 1",
        "hello line 2",
    ]


def test_log_from_setup_dcf_beside_the_program(kit):
    logs = kit / "dcf-logs"
    (kit / "SETUP.DCF").write_bytes(
        f"[Setup]\r\nProductName=Sample\r\n[Property]\r\nLogFile={windows_path(logs)}\\run.log\r\n".encode())
    result = run_windows(kit / PROBE, ["log", "1", "from-dcf"])
    assert result.code == 0
    assert read_log(logs / "VELL_SETUP.LOG") == [
        f"Created folder for log files: {windows_path(logs)}\\run_{{ProductID}}.log",
        "from-dcf line 1",
    ]


def test_switch_wins_over_setup_dcf(kit):
    (kit / "SETUP.DCF").write_bytes(b"[Property]\r\nLogFile=C:\\never\\x.log\r\n")
    result = run_windows(kit / PROBE, ["log", "1", "switch", "/l", windows_path(kit / "sw")])
    assert result.code == 0
    assert read_log(kit / "sw" / "VELL_SETUP.LOG")[-1] == "switch line 1"
    assert not (prefix_drive_c() / "never").exists()


def test_log_from_inherited_variable(kit):
    template = windows_path(kit / "inherited") + "\\TAM_{ProductID}.log"
    result = run_windows(kit / PROBE, ["log", "1", "child"], env={"KWSETUP": template}, remove_env=())
    assert result.code == 0
    assert read_log(kit / "inherited" / "VELL_SETUP.LOG") == [
        f"Created folder for log files: {template}",
        "child line 1",
    ]


def test_no_source_writes_no_log(kit, default_log):
    result = run_windows(kit / PROBE, ["log", "3", "nowhere"])
    assert result.code == 0
    assert not default_log.exists()
    assert sorted(p.name for p in kit.iterdir()) == [PROBE]


def test_switch_without_path_logs_into_application_data(kit):
    appdata_logs = list((prefix_drive_c() / "users").glob("*/AppData/Roaming/Tamsa Log Files"))
    for folder in appdata_logs:
        (folder / "VELL_SETUP.LOG").unlink(missing_ok=True)
    result = run_windows(kit / PROBE, ["log", "1", "appdata", "/L"])
    assert result.code == 0
    logs = list((prefix_drive_c() / "users").glob("*/AppData/Roaming/Tamsa Log Files/VELL_SETUP.LOG"))
    assert len(logs) == 1
    messages = read_log(logs[0])
    assert messages[0].startswith("Created folder for log files: C:\\users\\")
    assert messages[0].endswith("\\AppData\\Roaming\\Tamsa Log Files\\TAM_{ProductID}.log")
    assert messages[-1] == "appdata line 1"


@pytest.mark.parametrize("content", [
    b"\x00\xff\x13garbage\x00" * 300,
    b"[Property]\r\nLogF",
    b"\xff\xfe[\x00P\x00r\x00",
    b"[]\r\nLogFile=x\r\n",
], ids=["binary", "truncated", "utf16-cut-in-header", "refused-header"])
def test_broken_setup_dcf_never_crashes(kit, default_log, content):
    (kit / "SETUP.DCF").write_bytes(content)
    result = run_windows(kit / PROBE, ["log", "1", "broken"],
                         env={"KWSETUP": windows_path(kit / "env") + "\\x.log"}, remove_env=())
    assert result.code == 0
    messages = read_log(kit / "env" / "VELL_SETUP.LOG")
    assert messages[-1] == "broken line 1"


def test_setup_config_without_values_ends_with_internal_error_code(kit):
    (kit / "setup.dcf").write_bytes(b"[Setup]\r\nOther=1\r\n")
    result = run_windows(kit / PROBE, ["config", "setup.dcf", "/qn", "/L", windows_path(kit / "l")])
    assert result.code == 0x80070005  # the full 32-bit code, not its low 8 bits
    messages = read_log(kit / "l" / "VELL_SETUP.LOG")
    assert messages[-1] == f"Ended with code {0x80070005 - 2**32}"


def test_setup_config_missing_file_is_logged(kit):
    result = run_windows(kit / PROBE, ["config", "absent.dcf", "/qn", "/L", windows_path(kit / "l")])
    assert result.code == 0x80070005
    path = windows_path(kit / "absent.dcf")
    assert (f"Exception while loading DCF file: {path} error 2: "
            f"Call to CTCharStream::OpenStream( {path} ) failed.") in read_log(kit / "l" / "VELL_SETUP.LOG")


def test_setup_config_with_values(kit):
    (kit / "setup.dcf").write_bytes(b"[Setup]\r\nMinimumMSIVersion=3.1\r\n")
    result = run_windows(kit / PROBE, ["config", "setup.dcf", "/qn", "/L", windows_path(kit / "l")])
    assert result.code == 0
    assert read_log(kit / "l" / "VELL_SETUP.LOG")[-1] == "Minimum Windows Installer version: 3.1"


@contextlib.contextmanager
def small_drive(folder):
    """The folder as a 512 KiB drive of its own, half taken by an earlier
    log that does not compress: the run's logs fit, their archive does not."""
    folder.mkdir()
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "tmpfs", str(folder)],
                      capture_output=True, check=False).returncode:
        pytest.skip("a drive of its own needs mount rights")
    try:
        (folder / "earlier.log").write_bytes(os.urandom(256 * 1024))
        yield
    finally:
        subprocess.run(["umount", "-l", str(folder)], check=False)


# What the log switch names below the kit, the run's other words, its exit
# code, and the package logs the folder then holds (None: no log folder).
RUN_LOG_CASES = [
    ("logs\\mine.log", "", 0, ["mine_Alpha.log", "mine_Beta.log", "mine_Delta.log"]),
    # Delta fails: Beta's log keeps its install beside its rollback.
    ("logs", "FAILME=1", 1603, ["TAM_Beta.log", "TAM_Delta.log"]),
    ("notes", "", 0, None),  # a plain file: the run logs into C:\\VELL_SETUP.LOG
    ("full", "", 0, ["TAM_Alpha.log", "TAM_Beta.log", "TAM_Delta.log", "earlier.log"]),
]


@pytest.mark.parametrize("target,words,code,package_logs", RUN_LOG_CASES,
                         ids=["named-file", "rollback", "plain-file", "drive-full"])
def test_a_run_loses_no_log(test_world, target, words, code, package_logs):
    kit = suite_kit("suite_one")
    folder = kit / target.split("\\")[0]
    if target == "notes":
        folder.write_bytes(b"notes")
    with small_drive(folder) if target == "full" else contextlib.nullcontext():
        result = run_windows(kit / "setup.exe", raw_args=f"/qn {words} /l* {windows_path(kit)}\\{target}")
        assert result.code == code
        if package_logs is None:
            assert folder.read_bytes() == b"notes"
            messages = read_messages(prefix_drive_c() / "VELL_SETUP.LOG")
            assert f"   A file, not a folder, stands at {windows_path(folder)}: the log goes to C:\\VELL_SETUP.LOG" \
                in messages
            return
        logs = sorted(package_logs + ["VELL_SETUP.LOG"])
        archives = list(folder.glob("LogFile *.zip"))
        assert sorted(p.name for p in folder.iterdir() if p not in archives) == logs
        assert len(archives) == (0 if target == "full" else 1)
        for path in archives:
            with zipfile.ZipFile(path) as archive:
                assert archive.testzip() is None
                assert sorted(archive.namelist()) == sorted(name.lower() for name in logs)
        if words:
            beta = (folder / "TAM_Beta.log").read_text(errors="replace")
            assert beta.index("Property(S): ADDLOCAL = ALL") < beta.index("Property(S): REMOVE = ALL")
