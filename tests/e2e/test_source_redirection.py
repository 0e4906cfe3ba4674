"""setup.exe works from a temporary copy of itself during a run and removes
it at the end; a copy that finds its source.ini hands the run back to the
setup program it names, with the command line of the first run, when that
program is still the one the copy was made from."""
import shutil
import subprocess

import pytest

from conftest import BUILD, REPO, prefix_drive_c, read_log, run_windows, wine_environment, windows_path
from test_killed_runs import prefix_processes, wait_until

PACKAGES = BUILD / "fixtures" / "msi"
LISTS_DCF = REPO / "tests" / "fixtures" / "action_lists" / "SETUP.DCF"
HELPER_LINE = "CommandLine=helper.exe /install {ProductDir}"


def kwsetup(folder):
    return {"KWSETUP": windows_path(folder / "logs") + "\\TAM_{ProductID}.log"}


def work_folders():
    """The users' temporary folders, and the machine's, where an administrator's run works."""
    return sorted(p for folder in ("users", "windows/temp") for p in (prefix_drive_c() / folder).rglob("ZOLM*")
                  if p.is_dir())


def recorded_copy(copy):
    """The copy back where the first run made it, with the record a run that
    has ended leaves for it."""
    folder = prefix_drive_c() / "windows" / "temp" / copy.name
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(copy, folder)
    subprocess.run(["wine", "reg", "add", "HKLM\\SOFTWARE\\Tamsa\\Setup\\WorkingCopies", "/v",
                    f"C:\\windows\\temp\\{copy.name}\\", "/d", "4294967280.01D0000000000001", "/f", "/reg:64"],
                   env=wine_environment(), check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return folder


def read_ini(path):
    data = path.read_bytes()
    text = data.decode("utf-16") if data.startswith(b"\xff\xfe") else data.decode("latin-1")
    return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)


@pytest.fixture
def snapshot_kit(kit):
    """A suite whose first install action copies the temporary folder aside."""
    shutil.copy(BUILD / "setup.exe", kit)
    for key, package in (("Alpha", "alpha.msi"), ("Beta", "beta.msi")):
        (kit / key).mkdir()
        shutil.copy(PACKAGES / package, kit / key / package)
    (kit / "bin" / "lang").mkdir(parents=True)
    (kit / "bin" / "lang" / "license.txt").write_bytes(b"license")
    # The program line's program is looked for in the product's folder.
    shutil.copy(prefix_drive_c() / "windows" / "syswow64" / "xcopy.exe", kit / "Alpha" / "helper.exe")
    # Alpha's own check passes: a copy named for the code it ends with.
    shutil.copy(BUILD / "exit_with.exe", kit / "Alpha" / "check_0.exe")
    # Wine's user is an administrator: the copy lies in the machine's temporary folder.
    temp_folder = "C:\\windows\\temp"
    snapshot = windows_path(kit / "snapshot")
    text = LISTS_DCF.read_text(encoding="latin-1")
    assert HELPER_LINE in text
    text = text.replace(HELPER_LINE, f"CommandLine=helper.exe /e /i /y /q \"{temp_folder}\" \"{snapshot}\"")
    (kit / "SETUP.DCF").write_text(text, encoding="latin-1")
    return kit


def test_run_works_from_a_copy_that_hands_back_to_its_source(snapshot_kit):
    kit = snapshot_kit
    result = run_windows(kit / "setup.exe", ["/qn", "PROBE=1"], env=kwsetup(kit), remove_env=())
    assert result.code == 0
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    copies = [p for p in (kit / "snapshot").iterdir() if p.name.startswith("ZOLM")]
    assert len(copies) == 1, "the run made one working copy and it existed while the run went on"
    copy = copies[0]
    assert (copy / "setup.exe").read_bytes() == (kit / "setup.exe").read_bytes()
    assert (copy / "SETUP.DCF").read_bytes() == (kit / "SETUP.DCF").read_bytes()
    assert (copy / "bin" / "lang" / "license.txt").read_bytes() == b"license"
    setup = windows_path(kit) + "\\setup.exe"
    # The command line as the run rebuilds it: the log switch comes from KWSETUP.
    first_command = (f"\"{setup}\" /qn /L*v \"{windows_path(kit)}\\logs\\TAM_{{ProductID}}.log\" "
                     "PROBE=1")
    assert read_ini(copy / "source.ini") == {
        "InstallSourceProg": setup,
        "InstallSourceCmd": first_command,
        "InstallSourceIni": "SETUP.DCF",
    }
    assert any(m.lower().startswith("setup works from its temporary copy in 'c:\\windows\\temp\\zolm")
               for m in messages)
    assert "Removing temporary reboot files in Cleanup" in messages
    assert work_folders() == [], "the working copy is gone after the run"

    # After a restart the copy starts again; the medium holds another
    # program now: the copy, which runs with the administrator's rights, does
    # not hand over to it.
    original = (kit / "setup.exe").read_bytes()
    shutil.copy(BUILD / "command_recorder.exe", kit / "setup.exe")
    resumed = recorded_copy(copy)
    logs = kit / "changed"
    result = run_windows(resumed / "setup.exe", ["/qn", "/~"], env=kwsetup(logs), remove_env=())
    assert result.code == 13
    assert not (kit / "setup.exe.cmdline").exists()
    messages = read_log(logs / "logs" / "VELL_SETUP.LOG")
    assert (f"The setup program '{setup}' that source.ini names is not the one this copy "
            f"'{windows_path(resumed)}\\setup.exe' was made from; setup does not hand over to it") in messages

    # The program it was made from takes the run over (its kit ends at once
    # without a configuration). The copy goes after the hand-over, so its
    # log is written beside it.
    (kit / "setup.exe").write_bytes(original)
    (kit / "SETUP.DCF").unlink()
    resumed = recorded_copy(copy)
    logs = kit / "first"
    result = run_windows(resumed / "setup.exe", ["/qn", "/~"], env=kwsetup(logs), remove_env=())
    assert result.code == 0
    messages = read_log(logs / "logs" / "VELL_SETUP.LOG")
    # Marked as a hand-over: the program it starts hands over no further.
    assert "   " + first_command + " SourceIniHandOver=1" in messages
    assert "   The new setup has responded and this process will now exit." in messages
    assert "Worker exiting with status code: 00000000, ResultCode = 0" in messages
    assert not any(m.startswith("Exception while loading DCF file") for m in messages)
    # Only the running program itself cannot go before the restart.
    assert [p.name for p in resumed.iterdir()] in ([], ["setup.exe"])
    # The kit's setup, once it has ended, has nothing more to remove.
    wait_until(lambda: not prefix_processes("setup.exe"), "the handed-over setup ending")

    # Without the medium the quiet copy ends with 2 and shows no box (a box
    # would hold the run until the launcher's time-out).
    (kit / "setup.exe").unlink()
    resumed = recorded_copy(copy)
    logs = kit / "second"
    result = run_windows(resumed / "setup.exe", ["/qn", "/~"], env=kwsetup(logs), remove_env=(),
                         timeout=60)
    assert result.code == 2
    messages = read_log(logs / "logs" / "VELL_SETUP.LOG")
    assert f"Unable to find the setup program '{setup}' that source.ini names" in messages
    assert "Worker exiting with status code: 00000002, ResultCode = 2" in messages
    assert not any(m.startswith("Aborting on error code") for m in messages)


def test_kit_started_with_the_copy_marker_is_kept(kit):
    """"/~" given to a setup started from its own kit must not delete the kit."""
    shutil.copy(BUILD / "setup.exe", kit)
    (kit / "source.ini").write_bytes(b"[All]\r\nInstallSourceProg=C:\\gone\\setup.exe\r\n"
                                     b"InstallSourceCmd=x\r\nInstallSourceIni=SETUP.DCF\r\n")
    result = run_windows(kit / "setup.exe", ["/qn", "/~"], env=kwsetup(kit), remove_env=(), timeout=60)
    assert result.code == 2
    assert (kit / "source.ini").exists()
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    assert f"Keeping the folder '{windows_path(kit)}\\': it is not a temporary working copy" in messages


@pytest.mark.parametrize("text", [
    "[All]\r\nInstallSourceProg=C:\\windows\\notepad.exe\r\nInstallSourceCmd=notepad.exe\r\n",
    "[All]\r\nInstallSourceProg=\r\nInstallSourceCmd=x\r\nInstallSourceIni=SETUP.DCF\r\n",
    "[Source]\r\nInstallSourceProg=a\r\nInstallSourceCmd=b\r\nInstallSourceIni=c\r\n",
], ids=["no-ini-key", "empty-program", "no-all-section"])
def test_incomplete_source_ini_ends_with_13(kit, text):
    shutil.copy(BUILD / "setup.exe", kit)
    (kit / "source.ini").write_bytes(text.encode("latin-1"))
    result = run_windows(kit / "setup.exe", ["/qn"], env=kwsetup(kit), remove_env=(), timeout=60)
    assert result.code == 13
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    assert "Source.ini does not contain the required data" in messages
    assert "Aborting on error code 13" in messages
    assert not any(m.startswith("Setup is going to attempt to restart") for m in messages)
