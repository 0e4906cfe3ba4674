"""setup.exe describes the machine in its log and holds Windows Update off
for the run: AUOptions in the 64-bit view after the run, from every start."""
import shutil
import subprocess

import pytest

from conftest import BUILD, current_world, read_log, run_windows, wine_environment, windows_path

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


def run_setup(kit):
    shutil.copy(BUILD / "setup.exe", kit)
    (kit / "SETUP.DCF").write_bytes(MINIMAL_DCF)
    env = {"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log"}
    result = run_windows(kit / "setup.exe", ["/qn"], env=env, remove_env=())
    return result.code, read_log(kit / "logs" / "VELL_SETUP.LOG")


@pytest.mark.parametrize("before,during_run_line", [
    (4, "   Supressed Windows Update successfully"),
    (3, "   Supressed Windows Update successfully"),
    (2, "   Windows Update was already set to notify for both download and install"),
    (1, "   Windows Update was already disabled"),
    (None, "   Windows Update was already set to 0 which is an invalid value"),
])
def test_windows_update_is_held_off_and_restored(kit, before, during_run_line):
    if before is not None:
        reg("add", AUTO_UPDATE, "/v", "AUOptions", "/t", "REG_DWORD", "/d", str(before), "/f")
    code, messages = run_setup(kit)
    assert code == 0
    start = messages.index("Attempting to supress Windows Update")
    assert messages[start + 1 + (before is None)] == during_run_line
    restore = messages.index("Attempting to restore Windows Update") if before in (3, 4) else None
    if restore is not None:
        assert messages[restore + 1] == "   Restoring Windows Update was successful"
    else:
        assert "Attempting to restore Windows Update" not in messages
    assert au_options() == before
    if before is None:
        assert reg("query", AUTO_UPDATE).returncode != 0, "no key is left behind"


def test_log_describes_the_machine_as_wine_reports_it(kit):
    code, messages = run_setup(kit)
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
