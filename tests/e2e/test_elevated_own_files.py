"""An elevated run deletes, schedules for the restart and writes only what
is its own, judged by where each file's handle lies. Each row plants, in a
prefix of its own, links to a victim folder under C:\\ProgramData where one
road of the run deletes, schedules, keeps or logs (a working copy someone
made and marked, one in use, a killed run's recorded copy, the suite's cache
and the folder of every cache made before the first install, the kit's own
files, the log folder swapped while the run logs, the folder PrepareUpdate
replaces), runs setup.exe, and finds the victim's files as they were,
nothing new beside them, and no deletion pending at the restart outside the
run's own folders. Every link points inside the test's prefix."""
import os
import re
import shutil
import subprocess

import pytest

from conftest import BUILD, current_world, prefix_drive_c, read_log, wine_environment, windows_path
from test_killed_runs import prefix_processes, wait_until
from test_overlapping_runs import HOLD, SUITE, make_kit, user_temp
from test_suite_run import ALPHA, installed, pending_deletions, run_setup
from wizard_driver import BackgroundRun, Wizard

VICTIM = {"data.txt": b"another owner's data\r\n", "VELL_SETUP.LOG": b"ADMIN ONLY FILE\r\n",
          "admin.log": b"an administrator's log\r\n", "sub/inner.txt": b"inner\r\n"}
MARKER = b"4294967280.01D0000000000001"  # a setup process that has ended
RECORDS = "HKLM\\SOFTWARE\\Tamsa\\Setup\\WorkingCopies"
BAD_COMMAND_LINE = "/qn /"
MESSAGE_TEXT, YES = 1003, 6


def victim():
    return prefix_drive_c() / "ProgramData" / "victim"


def tree(folder):
    """Every file below the folder, links left as they are, by relative name."""
    return {p.relative_to(folder).as_posix(): (os.readlink(p) if p.is_symlink() else p.read_bytes())
            for p in folder.rglob("*") if p.is_symlink() or p.is_file()}


def planted_copy(folder, record=False, link=True):
    """A folder of a working copy's name with the marker setup once trusted,
    a file link to the victim and, with `record`, the record a killed run's
    copy has."""
    folder.mkdir(parents=True)
    (folder / "setup.working-copy").write_bytes(MARKER)
    (folder / "setup.exe").write_bytes(b"program")
    (folder / "bin").mkdir()
    if link:
        os.symlink(victim() / "data.txt", folder / "bin" / "lang.txt")
    if record:
        name = "C:\\" + str(folder.relative_to(prefix_drive_c())).replace("/", "\\") + "\\"
        subprocess.run(["wine", "reg", "add", RECORDS, "/v", name, "/d", MARKER.decode(), "/f", "/reg:64"],
                       env=wine_environment(), check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return folder


def machine_temp(name):
    return prefix_drive_c() / "windows" / "temp" / name


def run_kit(kit, args="/qn"):
    return run_setup(kit / "setup.exe", current_world().folder / "logs", args)[0]


def in_use_copy(kit):
    """A user's marked folder whose program runs while the setup does."""
    folder = planted_copy(user_temp() / "ZOLMBEEF", link=False)
    shutil.copy(BUILD / "mutex_holder.exe", folder / "holder.exe")
    stop = folder.parent / "stop-holder"
    holder = subprocess.Popen(["wine", str(folder / "holder.exe"), "TamsaOwnFilesHold", windows_path(stop), "60"],
                              env=wine_environment(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    wait_until(lambda: prefix_processes("holder.exe"), "the user's program running")
    try:
        return run_kit(kit, BAD_COMMAND_LINE)
    finally:
        stop.write_bytes(b"")
        holder.wait(timeout=60)


def link_in_cache(kit):
    cache = prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE
    cache.mkdir(parents=True)
    os.symlink(victim() / "data.txt", cache / "setup.dcf")
    return run_kit(kit)


def linked_cache_root(kit):
    (victim() / "uninstall").mkdir()
    os.symlink(victim() / "uninstall", prefix_drive_c() / "ProgramData" / "Uninstall")
    return run_kit(kit)


def links_in_the_kit(kit):
    dcf = kit / "SETUP.DCF"
    dcf.write_text(dcf.read_text().replace("[Property]\n", "[Property]\nCleanupSourceFiles=1\n", 1))
    (kit / "bin").mkdir(exist_ok=True)
    (victim() / "empty").mkdir()
    os.symlink(victim() / "data.txt", kit / "bin" / "helper.txt")
    os.symlink(victim() / "empty", kit / "bin" / "lang")
    return run_kit(kit)


def swapped_log_folder(kit):
    """The held run logs into `logs`; while it holds, `logs` becomes a link."""
    logs = kit / "logs"
    run = BackgroundRun(kit / "setup.exe", ["/qn", "/L", windows_path(logs)])
    wait_until(lambda: (logs / "VELL_SETUP.LOG").exists() and "InstallActions.Beta.Hold".encode("utf-16-le") in
               (logs / "VELL_SETUP.LOG").read_bytes(), "the run holding")
    logs.rename(kit / "logs-own")
    os.symlink(victim(), logs)
    (kit / "release-hold").write_bytes(b"")
    return run.wait()


def said_where_it_logs(kit):
    """The run's own log, through the handle it kept, says why it wrote no more there."""
    messages = read_log(kit / "logs-own" / "VELL_SETUP.LOG")
    assert any(m.startswith("The log folder now leads to C:\\ProgramData\\victim, not to ") for m in messages)
    assert any(m.endswith(": nothing there is packed") for m in messages)
    assert "Worker exiting with status code: 00000000, ResultCode = 0" in messages


def update_into_the_kit(kit):
    """PrepareUpdate naming the kit's product folder, with Yes to replacing it."""
    run = BackgroundRun(kit / "setup.exe", ["/qb", f"PrepareUpdate={windows_path(kit / 'Alpha')}", "/L",
                                            windows_path(current_world().folder / "logs")])
    while run.process.poll() is None:
        try:
            Wizard("").answer(MESSAGE_TEXT, YES, timeout_ms=2000)
        except AssertionError:
            pass  # not asked (yet)
    return run.wait()


# Row: the road (plants, runs, gives the exit code), the exit code, files
# under C:\ there (True) or gone (False) afterwards, and whether Alpha is
# installed.
ROWS = {
    "a-marked-folder-in-the-machines-temp": (
        lambda kit: planted_copy(machine_temp("ZOLM0BAD")) and run_kit(kit, BAD_COMMAND_LINE), 1639,
        {"windows/temp/ZOLM0BAD/setup.exe": True}, False),
    "a-marked-folder-in-use-in-the-users-temp": (in_use_copy, 1639, {}, False),
    "a-killed-runs-recorded-copy-holding-a-link": (
        lambda kit: planted_copy(machine_temp("ZOLM0C0D"), record=True) and run_kit(kit, BAD_COMMAND_LINE), 1639,
        {"windows/temp/ZOLM0C0D/setup.exe": False}, False),
    "a-link-in-a-cache-made-before-the-first-install": (link_in_cache, 1603, {}, False),
    "the-folder-of-the-caches-linked-before-the-first-install": (linked_cache_root, 1603, {}, False),
    "links-among-the-kits-files-cleaned-up": (links_in_the_kit, 0, {"Kit/SETUP.DCF": False}, True),
    "the-log-folder-swapped-while-the-run-logs": (swapped_log_folder, 0, {}, True),
    "prepare-update-into-the-kits-product-folder": (update_into_the_kit, 5, {}, False),
}


@pytest.fixture(scope="module")
def sample_kits(tmp_path_factory):
    """The sample suite, and the one whose Beta holds until it is let go, built once."""
    root = tmp_path_factory.mktemp("kits")
    make_kit(root / "sample")
    make_kit(root / "held", HOLD)
    return root


@pytest.mark.parametrize("row", ROWS)
def test_an_elevated_run_touches_only_its_own_files(test_world, sample_kits, row):
    road, code, files, alpha = ROWS[row]
    drive_c = prefix_drive_c()
    # The kit is the victim itself where the update would replace a folder of it.
    kit = victim() if row.startswith("prepare-update") else drive_c / "Kit"
    shutil.copytree(sample_kits / ("held" if "log-folder" in row else "sample"), kit)
    for name, data in VICTIM.items():
        (victim() / name).parent.mkdir(parents=True, exist_ok=True)
        (victim() / name).write_bytes(data)
    before = tree(victim())

    ended = road(kit)
    assert tree(victim()) == before
    assert ended == code
    assert {name: (drive_c / name).exists() for name in files} == files
    assert installed(ALPHA) == alpha
    if row.startswith("the-log-folder"):
        said_where_it_logs(kit)
    # What the restart deletes lies in the run's own copy or the suite's cache.
    planted = ("ZOLM0BAD", "ZOLM0C0D", "ZOLMBEEF")
    pending = [entry[4:] for entry in pending_deletions() if entry.startswith("\\??\\")]
    assert [path for path in pending if any(name in path.upper() for name in planted) or not (
        re.match(r"C:\\windows\\temp\\ZOLM[0-9A-F]{4}\\", path, re.I) or
        path.upper().startswith(f"C:\\PROGRAMDATA\\UNINSTALL\\{SUITE}"))] == []
