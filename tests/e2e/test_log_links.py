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
from test_special_modes import read_link
from test_suite_run import suite_kit
from wizard_driver import BackgroundRun, Wizard

VICTIM = b"another owner's file\r\n"
MESSAGE_LINK, OK = 1003, 1


def link(kind, path, target):
    path.parent.mkdir(parents=True, exist_ok=True)
    (os.symlink if kind == "symlink" else os.link)(target, path)


def archive_names(minutes=3):
    """The archive's names, predictable to the minute, for this minute on."""
    return [time.strftime("LogFile %y-%m-%d %H-%M.zip", time.localtime(time.time() + 60 * m)) for m in range(minutes)]


def entries(archive):
    """Name to bytes, once unzip and 7-Zip have tested the archive and read the names zipfile reads."""
    for test in (["unzip", "-tq"], ["7zz", "t"]):
        subprocess.run(test + [str(archive)], capture_output=True, check=True)
    unzip = subprocess.run(["unzip", "-Z1", str(archive)], capture_output=True, text=True, check=True).stdout
    seven = subprocess.run(["7zz", "l", "-slt", str(archive)], capture_output=True, text=True, check=True).stdout
    with zipfile.ZipFile(archive) as packed:
        names = {info.filename: packed.read(info) for info in packed.infolist()}
    listed = [line[7:] for line in seven.splitlines() if line[:7] == "Path = " and line[7:] != str(archive)]
    assert sorted(unzip.splitlines()) == sorted(listed) == sorted(names)
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


@pytest.mark.parametrize("level", ["/qn", "/qb"])
def test_a_failed_run_packs_its_last_lines_and_leaves_a_shortcut(test_world, level):
    kit = suite_kit("suite_one")
    logs = kit / "logs"
    run = BackgroundRun(kit / "setup.exe", [level, "FAILME=1", "/L", windows_path(logs)])
    if level == "/qb":
        Wizard("").answer(MESSAGE_LINK, OK, timeout_ms=120000)
    assert run.wait() == 1603
    shortcut = prefix_drive_c() / "users" / "Public" / "Desktop" / "Installation Log Files.lnk"
    assert read_link(shortcut)["target"] == windows_path(logs) + "\\"
    [archive] = logs.glob("LogFile *.zip")
    packed = entries(archive)["vell_setup.log"].decode("utf-16-le")
    messages = read_log(logs / "VELL_SETUP.LOG")
    packed_at = messages.index(f"   Log files packed into {windows_path(logs)}\\{archive.name}; "
                               "this line and those after it are not in it")
    for line in ("Aborting on error code 1603", "   Created the shortcut C:\\users\\Public\\Desktop\\Installation Log "
                 "Files.lnk instead", "Worker exiting with status code: 00000643, ResultCode = 1603"):
        assert messages.index(line) < packed_at and f" - {line}\r\n" in packed


@pytest.mark.parametrize("folder", ["windows/temp", "Program Files", "users/Public"])
def test_folders_of_windows_own_are_never_packed(test_world, folder):
    kit, logs = suite_kit("suite_one"), prefix_drive_c() / folder
    result = run_windows(kit / "setup.exe", raw_args=f"/qn /L \"C:\\{folder.replace('/', chr(92))}\"")
    assert result.code == 0
    assert (logs / "VELL_SETUP.LOG").exists() and not list(logs.glob("LogFile *.zip"))


def test_a_folder_at_a_log_name_gives_the_log_the_next_name(test_world):
    kit, victims = suite_kit("suite_one"), prefix_drive_c() / "victims"
    logs = kit / "logs"
    (logs / "VELL_SETUP.LOG").mkdir(parents=True)
    victims.mkdir()
    link("symlink", logs / "TAM_Alpha.log", victims)
    result = run_windows(kit / "setup.exe", raw_args=f"/qn /L {windows_path(logs)}")
    assert result.code == 0
    messages = read_log(logs / "VELL_SETUP (2).LOG")
    assert messages[0].endswith(f"\\VELL_SETUP.LOG is a folder: this run logs into "
                                f"\\\\?\\{windows_path(logs)}\\VELL_SETUP (2).LOG")
    assert any(m.endswith("TAM_Alpha.log is a folder: the package logs into "
                          f"{windows_path(logs)}\\TAM_Alpha (2).log") for m in messages), messages
    assert b"Logging started" in (logs / "TAM_Alpha (2).log").read_bytes()
    assert list(victims.iterdir()) == [] and list((logs / "VELL_SETUP.LOG").iterdir()) == []


def test_a_folder_swapped_for_a_link_while_the_logs_are_packed_is_left_out(test_world):
    """80 MB of logs, packed first, give the swap its time: when the log says it
    packs, `sub` becomes a link to an administrator's folder (a junction on
    Windows, which any user may make). A few tries: the swap may come late."""
    kit, admin = suite_kit("suite_one"), prefix_drive_c() / "victims" / "adm"
    admin.mkdir(parents=True)
    (admin / "x.log").write_bytes(VICTIM)
    for attempt in range(3):
        logs = kit / f"logs_race{attempt}"
        (logs / "sub").mkdir(parents=True)
        (logs / "sub" / "x.log").write_bytes(b"the run's own\r\n")
        for number in range(8):
            (logs / f"big{number}.log").write_bytes(os.urandom(10 * 1024 * 1024))
        run = BackgroundRun(kit / "setup.exe", ["/qn", "FAILME=1", "/L", windows_path(logs)])
        packing = f"Packing the log files of {windows_path(logs)}".encode("utf-16-le")
        deadline, log = time.time() + 180, logs / "VELL_SETUP.LOG"
        while not (log.exists() and packing in log.read_bytes()):
            assert time.time() < deadline and run.process.poll() is None, "the run never packed its logs"
            time.sleep(0.05)
        (logs / "sub").rename(logs / "sub_own")
        os.symlink(admin, logs / "sub")
        assert run.wait() == 1603
        [archive] = logs.glob("LogFile *.zip")
        packed = entries(archive)
        assert packed.get("sub/x.log", b"the run's own\r\n") == b"the run's own\r\n"
        messages = read_log(logs / "VELL_SETUP.LOG")
        left_out = f"   Left out of the archive, lying outside the log folder (at 'C:\\victims\\adm\\x.log'): " \
                   f"{windows_path(logs)}\\sub\\x.log"
        if left_out in messages:
            assert "sub/x.log" not in packed
            return
    pytest.fail("the swap never came while the logs were packed")
