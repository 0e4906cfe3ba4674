"""setup.exe takes Windows' DLLs from the system folder only: a DLL of a name
it uses, planted beside the kit's setup.exe or beside its cached copy and
preferred by a native-first load order, is never loaded, and the run does
what it does without it."""
import re
import shutil
import subprocess

import pytest

from conftest import BUILD, prefix_drive_c, run_windows, wine_environment
from test_suite_run import ALPHA, BETA, DELTA, ONE, UNINSTALL, drive_c_path, installed, registry, suite_kit

PLANTED = ("version", "wininet", "msi", "gdiplus", "comctl32")
# A planted DLL leaves its name in C:\markers when it is loaded.
MARKER_SOURCE = r"""#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID unused) {
  if (reason == DLL_PROCESS_ATTACH)
    CloseHandle(CreateFileW(L"C:\\markers\\" NAME, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  return TRUE;
}
"""


@pytest.fixture(scope="module")
def planted_dlls(tmp_path_factory):
    folder = tmp_path_factory.mktemp("planted")
    (folder / "marker.c").write_text(MARKER_SOURCE)
    for name in PLANTED:
        subprocess.run(["i686-w64-mingw32-gcc", "-shared", f'-DNAME=L"{name}"', "-o", str(folder / f"{name}.dll"),
                        str(folder / "marker.c")], check=True)
    return [folder / f"{name}.dll" for name in PLANTED]


def run_with_planted(dlls, program, arguments):
    """Wine's load order made Windows' own: a DLL beside the program first."""
    (prefix_drive_c() / "markers").mkdir(exist_ok=True)
    for dll in dlls:
        shutil.copy(dll, program.parent)
    overrides = ",".join(PLANTED) + "=n,b;" + wine_environment()["WINEDLLOVERRIDES"]
    return run_windows(program, env={"WINEDLLOVERRIDES": overrides}, raw_args=arguments).code


def test_setup_imports_only_kernel32_and_the_c_runtime():
    text = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(BUILD / "setup.exe")], capture_output=True,
                          text=True, check=True).stdout
    assert sorted(n.lower() for n in re.findall(r"DLL Name: (\S+)", text)) == ["kernel32.dll", "msvcrt.dll"]


@pytest.mark.parametrize("beside", ["kit", "cached copy"])
def test_planted_dlls_stay_unloaded(test_world, planted_dlls, beside):
    kit = suite_kit("suite_one")
    if beside == "kit":
        # With a progress window: the common controls and the drawing DLLs are used too.
        assert run_with_planted(planted_dlls, kit / "setup.exe", "/qb-") == 0
        assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, True]
    else:
        # The kit as its publisher made it installs as before; the programs
        # list then removes the suite through the cached copy.
        assert run_windows(kit / "setup.exe", raw_args="/qn").code == 0
        assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, True]
        command = registry(UNINSTALL + ONE, "32")["UninstallString"]
        program, arguments = re.match(r'^"([^"]+)" (.*)$', command).groups()
        assert run_with_planted(planted_dlls, drive_c_path(program), arguments) == 0
        assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]
    assert list((prefix_drive_c() / "markers").iterdir()) == []
