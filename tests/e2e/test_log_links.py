"""An elevated run writes and packs only its own logs: links planted in the
log folder (at the setup log, a package log, the archive's next names, or a
*.log of another file) are never written through nor packed; the archive
holds the whole run, also after a failure, and a folder of Windows' own is
never packed. Every link points inside the test's prefix."""
import os
import subprocess
import time
import zipfile

import pytest

from conftest import prefix_drive_c, read_log, run_windows, windows_path
from test_suite_run import suite_kit

VICTIM = b"another owner's file\r\n"


def link(kind, path, target):
    path.parent.mkdir(parents=True, exist_ok=True)
    (os.symlink if kind == "symlink" else os.link)(target, path)


def archive_names(minutes=3):
    """The archive's names, predictable to the minute, for this minute on."""
    return [time.strftime("LogFile %y-%m-%d %H-%M.zip", time.localtime(time.time() + 60 * m)) for m in range(minutes)]


def entries(archive):
    assert subprocess.run(["unzip", "-tq", str(archive)], capture_output=True, check=False).returncode == 0
    listed = subprocess.run(["7zz", "l", "-slt", str(archive)], capture_output=True, text=True, check=True).stdout
    with zipfile.ZipFile(archive) as packed:
        names = {info.filename: packed.read(info) for info in packed.infolist()}
    assert {line[7:] for line in listed.splitlines() if line.startswith("Path = ")} - {str(archive)} == set(names)
    return names


@pytest.mark.parametrize("kind", ["symlink", "hardlink"])
def test_links_in_the_log_folder_are_never_written_or_packed(test_world, kind):
    kit, victims = suite_kit("suite_one"), prefix_drive_c() / "victims"
    logs = kit / "logs"
    planted = ["VELL_SETUP.LOG", "TAM_Alpha.log", "secret.log", "sub\\other.log"] + archive_names()
    for number, name in enumerate(planted):
        target = victims / f"{number}.txt"
        target.parent.mkdir(exist_ok=True)
        target.write_bytes(VICTIM)
        link(kind, logs / name.replace("\\", "/"), target)
    for name in ("жж.log", "кк.log"):
        (logs / name).write_bytes(name.encode())
    result = run_windows(kit / "setup.exe", raw_args=f"/qn /L {windows_path(logs)}")
    assert result.code == 0
    assert [path.read_bytes() for path in sorted(victims.iterdir())] == [VICTIM] * len(planted)
    messages = read_log(logs / "VELL_SETUP (2).LOG")
    assert messages[0].endswith(f"\\VELL_SETUP.LOG is a link or a file with other names: this run logs into "
                                f"\\\\?\\{windows_path(logs)}\\VELL_SETUP (2).LOG")
    assert b"Logging started" in (logs / "TAM_Alpha (2).log").read_bytes()
    archives = [path for path in logs.glob("LogFile *.zip") if path.name not in planted]
    assert len(archives) == 1 and archives[0].name.endswith(" (2).zip")
    packed = entries(archives[0])
    assert sorted(packed) == ["tam_alpha (2).log", "tam_beta.log", "tam_delta.log", "vell_setup (2).log",
                              "жж.log", "кк.log"]
    assert packed["жж.log"] == "жж.log".encode() and VICTIM not in b"".join(packed.values())


@pytest.mark.parametrize("folder", ["windows/temp", "Program Files", "users/Public"])
def test_folders_of_windows_own_are_never_packed(test_world, folder):
    kit, logs = suite_kit("suite_one"), prefix_drive_c() / folder
    result = run_windows(kit / "setup.exe", raw_args=f"/qn /L \"C:\\{folder.replace('/', chr(92))}\"")
    assert result.code == 0
    assert (logs / "VELL_SETUP.LOG").exists() and not list(logs.glob("LogFile *.zip"))
