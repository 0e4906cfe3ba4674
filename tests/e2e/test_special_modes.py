"""What setup.exe does with its logs at the end of a run, and the modes that
do one job and end: the launch-point shortcut and the update folder. Each
archive is checked by Info-ZIP's `unzip -t` and Python's `zipfile`."""
import re
import shutil
import subprocess
import zipfile

import pytest

from conftest import BUILD, current_world, prefix_drive_c, run_windows, windows_path
from test_suite_run import read_messages, run_kit, suite_kit

ARCHIVE_NAME = re.compile(r"^LogFile \d\d-\d\d-\d\d \d\d-\d\d\.zip$")


def checked_archive(path):
    """The archive's entries, name to bytes, once unzip -t has passed it."""
    test = subprocess.run(["unzip", "-t", str(path)], capture_output=True, text=True, check=False)
    assert test.returncode == 0, test.stdout + test.stderr
    with zipfile.ZipFile(path) as archive:
        assert archive.testzip() is None
        return {info.filename: archive.read(info) for info in archive.infolist()}


def read_link(path):
    """Target, arguments and working folder, read through the shell's link object."""
    out = current_world().out / "link.txt"
    result = run_windows(BUILD / "foundation_probe.exe", ["link", windows_path(path), windows_path(out)])
    assert result.code == 0, result.stdout
    return dict(line.split("=", 1) for line in out.read_text(encoding="utf-8").splitlines())


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


def launch_point_kit(shortcut):
    kit = current_world().folder / "kit"
    kit.mkdir()
    shutil.copy(BUILD / "setup.exe", kit)
    dcf = "[Setup]\r\nProducts=Alpha\r\n\r\n[ProductGroup.Default]\r\nUUID={3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E9}\r\n"
    (kit / "SETUP.DCF").write_text(dcf + shortcut, encoding="ascii")
    return kit


def run_mode(kit, raw_args):
    logs = kit / "logs"
    result = run_windows(kit / "setup.exe", env={"KWSETUP": windows_path(logs) + "\\TAM.log"}, remove_env=(),
                         raw_args=raw_args)
    return result.code, read_messages(logs / "VELL_SETUP.LOG")


def test_create_launch_point_makes_a_shortcut_to_setup(test_world):
    kit = launch_point_kit("\r\n[Shortcut]\r\nLaunchPointLink={AllUsersDesktop}\\Tamsa\\Suite One.lnk\r\n"
                           "LaunchPointDesc=Suite One\r\nLaunchPointIcon={SetupDir}\\missing.ico\r\n")
    code, messages = run_mode(kit, "/CreateLaunchPoint /qn A=1")
    assert code == 0
    link = prefix_drive_c() / "users" / "Public" / "Desktop" / "Tamsa" / "Suite One.lnk"
    assert read_link(link) == {"target": windows_path(kit / "setup.exe"), "args": "/qn A=1",
                               "folder": windows_path(kit)}
    assert "Creating Launch Point" in messages

    shutil.rmtree(kit / "logs")
    (kit / "SETUP.DCF").write_text("[Setup]\r\nProducts=Alpha\r\n", encoding="ascii")
    code, messages = run_mode(kit, "/qn /createlaunchpoint")
    assert code == 13
    assert "Aborting on error code 13" in messages


def test_prepare_update_packs_products_and_setup_files(test_world):
    kit = suite_kit("suite_one")
    (kit / "bin").mkdir()
    (kit / "bin" / "Helper.txt").write_bytes(b"helper")
    (kit / "Alpha" / "HISTORY.BLD").write_bytes(b"2.0.1\r\n305\r\n")
    update = test_world.folder / "update"
    code, messages = run_mode(kit, f"/qn PrepareUpdate={windows_path(update)}")
    assert code == 0
    assert sorted(p.name for p in update.iterdir()) == ["Alpha_2.0.1_305.zip", "Beta_0_0.zip", "Delta_0_0.zip",
                                                        "Setup.zip"]
    alpha = checked_archive(update / "Alpha_2.0.1_305.zip")
    assert alpha["Alpha/alpha.msi"] == (kit / "Alpha" / "alpha.msi").read_bytes()
    setup = checked_archive(update / "Setup.zip")
    assert set(setup) == {"bin/helper.txt", "setup.exe", "SETUP.DCF"}
    assert setup["setup.exe"] == (kit / "setup.exe").read_bytes()

    # A quiet run has nobody to ask: the folder that exists stays as it is,
    # and the run says it prepared nothing.
    before = (update / "Setup.zip").read_bytes()
    shutil.rmtree(kit / "logs")
    code, messages = run_mode(kit, f"/qn PrepareUpdate={windows_path(update)}")
    assert code == 183
    assert (update / "Setup.zip").read_bytes() == before


# Targets nothing can be written into: a drive the machine does not have
# (Wine answers 2 where the drive is looked for), a refused folder, a path
# through a file, a file. The run ends with that code, not 0, and writes nothing.
@pytest.mark.parametrize("target,code", [("Q:\\update", 2), ("C:\\windows\\", 5), ("{kit}\\setup.exe\\update", 3),
                                         ("{kit}\\setup.exe", 267)])
def test_prepare_update_that_writes_no_archive_ends_with_the_error(test_world, target, code):
    kit = suite_kit("suite_one")
    target = target.replace("{kit}", windows_path(kit))
    code_seen, messages = run_mode(kit, f"/qn PrepareUpdate={target}")
    assert code_seen == code
    assert f"Aborting on error code {code}" in messages
    assert not any(m.startswith("   Packed ") for m in messages)
    assert not list(prefix_drive_c().glob("windows/*.zip"))
    assert (kit / "setup.exe").is_file()
    assert (kit / "setup.exe").read_bytes() == (BUILD / "setup.exe").read_bytes()


# A launch point has done its job once the suite is installed from it.
def test_a_successful_install_removes_the_launch_point(test_world):
    kit = suite_kit("suite_one")
    with open(kit / "SETUP.DCF", "a", encoding="ascii", newline="") as dcf:
        dcf.write("\r\n[Shortcut]\r\nLaunchPointLink={AllUsersDesktop}\\Tamsa\\Suite One.lnk\r\n")
    code, _ = run_mode(kit, "/CreateLaunchPoint /qn")
    assert code == 0
    folder = prefix_drive_c() / "users" / "Public" / "Desktop" / "Tamsa"
    assert (folder / "Suite One.lnk").exists()

    shutil.rmtree(kit / "logs")
    code, messages = run_mode(kit, "/qn")
    assert code == 0
    assert "Cleanup Launch Point" in messages
    assert not folder.exists()
