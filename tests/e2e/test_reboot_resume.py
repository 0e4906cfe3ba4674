"""The resume entry in RunOnce carries the stage switch, and the next start
of Wine after a played restart runs it once: in the test's own prefix."""
import subprocess

from conftest import current_world, read_log, run_windows, wine_environment, windows_path
from test_system_facts import reg

RUN_ONCE = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce"


def run_once(*args):
    """The 32-bit program's own view, where it writes the entry."""
    return reg("query", RUN_ONCE, *args, "/reg:32").stdout


def wine(*args, env=None):
    with open(current_world().out / "wine.out", "ab") as out:
        subprocess.run(["wine", *args], stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                       env=wine_environment(env, ()), timeout=120, check=False)


def test_resume_entry_runs_once_after_restart(kit):
    env = {"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log"}
    probe = windows_path(kit / "foundation_probe.exe")
    result = run_windows(kit / "foundation_probe.exe", ["resume", "Suite.dcf", probe, "log 1 resumed /s1", "4001"],
                         env=env, remove_env=())
    assert result.code == 0
    value = run_once("/v", "Suite.dcf")
    assert f'"{probe}" log 1 resumed /s4001' in value
    # A second registration under the same name is refused.
    again = run_windows(kit / "foundation_probe.exe", ["resume", "Suite.dcf", probe, "log 1 other", "2"],
                        env=env, remove_env=())
    assert again.code == 1
    wine("wineboot", "--end-session", env=env)
    wine("wineboot", env=env)
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    assert "Reboot already registered with description 'Suite.dcf'" in messages
    # Wine's start-up runs the entry of the process's own view, then deletes it.
    assert "resumed line 1" in messages
    assert "other line 1" not in messages
    assert "Suite.dcf" not in run_once()
