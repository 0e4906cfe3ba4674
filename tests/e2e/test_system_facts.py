"""setup.exe describes the machine in its log, each system file once, and
reads nothing for that description when there is no log; and it holds Windows
Update off for the run: AUOptions in the 64-bit view after the run, from
every start."""
import collections
import fnmatch
import os
import re
import shutil
import subprocess

import pytest

from conftest import BUILD, current_world, prefix_drive_c, read_log, run_windows, wine_environment, windows_path

MINIMAL_DCF = b"[Setup]\r\nProductName=Sample\r\nProducts=Tool\r\n[Setup.Tool]\r\nPackageName=tool.exe\r\n"
AUTO_UPDATE = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\WindowsUpdate\Auto Update"


def reg(*args):
    """`wine reg` in the 64-bit view unless the arguments name one; its output is read from a file, since
    Wine's services keep inherited pipes open."""
    out = current_world().out / "reg.out"
    with open(out, "wb") as handle:
        result = subprocess.run(["wine", "reg", *args] + ([] if any(a.startswith("/reg:") for a in args) else ["/reg:64"]), stdout=handle, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, env=wine_environment(), timeout=60, check=False)
    result.stdout = out.read_bytes().decode("utf-8", "replace")
    return result


def au_options():
    result = reg("query", AUTO_UPDATE, "/v", "AUOptions")
    for line in result.stdout.splitlines():
        if "AUOptions" in line:
            return int(line.split()[-1], 16)
    return None


def run_setup(kit, log=True, env=None):
    shutil.copy(BUILD / "setup.exe", kit)
    (kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    env = dict(env or {})
    if log:
        env["KWSETUP"] = windows_path(kit / "logs") + "\\TAM_{ProductID}.log"
    result = run_windows(kit / "setup.exe", ["/qn"], env=env, remove_env=() if log else ("KWSETUP",))
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG") if log else None
    return result.code, messages, result.stdout


SEARCHED = ("msxml*.dll", "d3d*9*.dll", "d3d*10*.dll", "d3d*11*.dll", "msi.dll")
# Wine's trace of every file a program opens (Wine 8: "trace:file:NtCreateFile ... name=L"...").
OPENED = re.compile(r'trace:file:NtCreateFile .*?name=L"([^"]*)"')


def described_files():
    """File name -> the distinct files (inodes) of that name where the
    description looks: the 32-bit system folder and the side-by-side
    folders of MSXML."""
    windows = prefix_drive_c() / "windows"
    paths = [path for path in (windows / "syswow64").iterdir()
             if any(fnmatch.fnmatch(path.name.lower(), pattern) for pattern in SEARCHED)]
    for folder in (windows / "winsxs").iterdir():
        if folder.is_dir() and "msxml" in folder.name.lower():
            paths += [path for path in folder.rglob("*") if fnmatch.fnmatch(path.name.lower(), "msxml*.dll")]
    files = collections.defaultdict(set)
    for path in paths:
        files[path.name.lower()].add(os.stat(path).st_ino)
    return files


@pytest.mark.parametrize("before,during_run_line", [
    (4, "   Supressed Windows Update successfully"),
    (3, "   Supressed Windows Update successfully"),
    (2, "   Windows Update was already set to notify for both download and install"),
    (1, "   Windows Update was already disabled"),
    (None, "   Windows Update has no AUOptions setting; there is nothing to hold"),
])
def test_windows_update_is_held_off_and_restored(kit, before, during_run_line):
    if before is not None:
        reg("add", AUTO_UPDATE, "/v", "AUOptions", "/t", "REG_DWORD", "/d", str(before), "/f")
    code, messages, _ = run_setup(kit)
    assert code == 0
    start = messages.index("Attempting to supress Windows Update")
    assert messages[start + 1] == during_run_line
    restore = messages.index("Attempting to restore Windows Update") if before in (3, 4) else None
    if restore is not None:
        assert messages[restore + 1] == "   Restoring Windows Update was successful"
    else:
        assert "Attempting to restore Windows Update" not in messages
    assert au_options() == before
    if before is None:
        assert reg("query", AUTO_UPDATE).returncode != 0, "no key is left behind"


def test_log_describes_the_machine_as_wine_reports_it(kit):
    code, messages, _ = run_setup(kit)
    assert code == 0
    start = messages.index("Operating System Information:")
    assert messages[start + 1] == "   Microsoft Windows 7 Ultimate Edition N Service Pack 1 (build 7601), 64-bit"
    assert messages[start + 2] == "   Display Language id: 1033"
    assert messages[start + 3] == "   System Locale id: 1033"
    assert messages[start + 4] == "   User default ANSI code page: 1252"
    assert messages[start + 5] == "   User default OEM code page: 437"
    # Wine has no .NET registration by default.
    assert messages[start + 6] == "   There were no versions of .NET found on this system."
    block = messages[start:]
    assert "   MS XML was found on this system:" in block
    assert "   DirectX was found on this system:" in block
    msi = block.index("   MSI was found on this system:")
    assert block[msi + 1].startswith("      msi.dll file version: ")
    # The property map as the run's end lists it.
    for line in ["   ARCHITECTURE = 64", "   OSBUILD = 7601", "   OSEDITION = UltimateN", "   OSVERSION = 6.1"]:
        assert line in messages


def test_each_system_file_is_listed_once_whatever_name_reaches_it(kit):
    windows = prefix_drive_c() / "windows"
    # As Windows keeps its side-by-side copies: a second name of the system
    # folder's file (this test's prefix only; the template keeps its own).
    second_name = next((windows / "winsxs").glob("x86_microsoft-windows-msxml30_*")) / "msxml3.dll"
    second_name.unlink()
    os.link(windows / "syswow64" / "msxml3.dll", second_name)
    code, messages, _ = run_setup(kit)
    assert code == 0
    listed = collections.Counter()
    for index, message in enumerate(messages):
        found = re.match(r"^      (\S+) file version: \d+\.\d+\.\d+\.\d+$", message)
        if found:
            assert messages[index - 1].endswith(" was found on this system:"), message
            listed[found.group(1).lower()] += 1
    assert listed == {name: len(files) for name, files in described_files().items()}
    # Three names, two files: the amd64 copy is a file of its own.
    assert listed["msxml3.dll"] == 2
    # Matched by "d3d*9*.dll" and "d3d*10*.dll" alike.
    assert listed["d3dx10_39.dll"] == 1


def test_without_a_log_no_system_file_is_read(kit):
    code, _, trace = run_setup(kit, log=False, env={"WINEDEBUG": "-all,+file"})
    assert code == 0
    opened = OPENED.findall(trace)
    assert any(name.lower().endswith("setup.dcf") for name in opened), "the trace shows the run's own files"
    assert [name for name in opened if re.search(r"\\(msxml|d3d)[^\\]*\.dll$", name, re.I)] == []
