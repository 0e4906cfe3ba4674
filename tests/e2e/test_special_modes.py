"""What setup.exe does with its logs at the end of a run. Each archive is
checked by Info-ZIP's `unzip -t` and Python's `zipfile`."""
import re
import subprocess
import zipfile

from conftest import prefix_drive_c, run_windows
from test_suite_run import read_messages, run_kit, suite_kit

ARCHIVE_NAME = re.compile(r"^LogFile \d\d-\d\d-\d\d \d\d-\d\d\.zip$")


def checked_archive(path):
    """The archive's entries, name to bytes, once unzip -t has passed it."""
    test = subprocess.run(["unzip", "-t", str(path)], capture_output=True, text=True, check=False)
    assert test.returncode == 0, test.stdout + test.stderr
    with zipfile.ZipFile(path) as archive:
        assert archive.testzip() is None
        return {info.filename: archive.read(info) for info in archive.infolist()}


def log_archive(logs):
    archives = [path for path in logs.iterdir() if path.suffix == ".zip"]
    assert len(archives) == 1, archives
    assert ARCHIVE_NAME.match(archives[0].name), archives[0].name
    return checked_archive(archives[0])


def test_failed_and_successful_runs_pack_their_logs(test_world):
    kit = suite_kit("suite_one")
    code, messages = run_kit(kit, "/qn FAILME=1")
    assert code == 1603
    assert "vell_setup.log" in log_archive(kit / "logs")

    code, messages = run_kit(kit)
    assert code == 0
    logs = kit / "logs"
    entries = log_archive(logs)
    on_disk = {path.name.lower(): path for path in logs.iterdir() if path.suffix.lower() == ".log"}
    assert set(entries) == set(on_disk) and "vell_setup.log" in entries and len(entries) >= 4
    for name, data in entries.items():
        # The setup log goes on after it was packed.
        if name == "vell_setup.log":
            assert on_disk[name].read_bytes().startswith(data) and len(data) > 0
        else:
            assert data == on_disk[name].read_bytes(), name
    assert any(m.startswith("   Log files packed into ") for m in messages)


# Logs written into the Windows folder are never packed, and the install still succeeds.
def test_a_refused_packing_keeps_the_run_successful(test_world):
    kit = suite_kit("suite_one")
    result = run_windows(kit / "setup.exe", env={"KWSETUP": "C:\\windows\\TAM_{ProductID}.log"}, remove_env=(),
                         raw_args="/qn")
    assert result.code == 0
    windows = prefix_drive_c() / "windows"
    assert not list(windows.glob("LogFile *.zip"))
    messages = read_messages(windows / "VELL_SETUP.LOG")
    assert "   Failed packing the log files of C:\\windows\\" in messages
