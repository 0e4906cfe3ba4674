"""Shared pieces of the end-to-end tests: our Windows programs run under
Wine in the build's own prefix, with full 32-bit exit codes."""
import os
import pathlib
import re
import shutil
import subprocess

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD = REPO / "build" / "win"
WORK = REPO / "build" / "e2e"


def windows_path(path):
    """Wine maps the Linux root to drive Z:."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def wine_environment(extra=None, remove=()):
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", str(REPO / "build" / "wineprefix"))
    env["WINEDEBUG"] = "-all"
    for name in list(env):
        if name.upper() in {n.upper() for n in remove}:
            del env[name]
    env.update(extra or {})
    return env


class RunResult:
    def __init__(self, code, stdout):
        self.code = code
        self.stdout = stdout


def run_windows(program, args=(), cwd=None, env=None, remove_env=("KWSETUP",), timeout=120,
                raw_args=None):
    """Runs a Windows program through our launcher and returns its full exit code.

    Wine joins the arguments into the Windows command line, quoting those
    that hold blanks, as a shell user's quotes would. `raw_args` is appended
    to the command line exactly as written, quotes and all."""
    launcher = BUILD / "exit_code_launcher.exe"
    launcher_args = ["wine", str(launcher)]
    if cwd:
        launcher_args += ["--cwd", windows_path(cwd)]
    if raw_args is not None:
        args_file = WORK / "launcher.args"
        WORK.mkdir(parents=True, exist_ok=True)
        args_file.write_bytes(raw_args.encode("utf-8"))
        launcher_args += ["--args-file", windows_path(args_file)]
    launcher_args += [windows_path(program)] + [str(arg) for arg in args]
    out_file = WORK / "launcher.out"
    WORK.mkdir(parents=True, exist_ok=True)
    # Wine's services keep inherited pipes open: read the output from a file.
    with open(out_file, "wb") as out:
        subprocess.run(launcher_args, stdout=out, stderr=subprocess.STDOUT,
                       stdin=subprocess.DEVNULL, env=wine_environment(env, remove_env),
                       timeout=timeout, check=False)
    text = out_file.read_bytes().decode("utf-8", "replace")
    found = re.findall(r"exit code: (\d+)", text)
    assert found, f"launcher gave no exit code: {text}"
    return RunResult(int(found[-1]), text)


LINE = re.compile(r"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d - (.*)$")


def read_log(path):
    """The log's messages; asserts the file's exact shape on the way."""
    data = pathlib.Path(path).read_bytes()
    assert not data.startswith(b"\xff\xfe"), "the log has no byte-order mark"
    assert len(data) % 2 == 0
    text = data.decode("utf-16-le")
    assert text.endswith("\r\n")
    messages = []
    for line in text[:-2].split("\r\n"):
        match = LINE.match(line)
        assert match, f"malformed log line: {line!r}"
        messages.append(match.group(1))
    return messages


def prefix_drive_c():
    return pathlib.Path(wine_environment()["WINEPREFIX"]) / "drive_c"


@pytest.fixture
def kit(request):
    """A fresh folder holding a copy of the probe program."""
    folder = WORK / request.node.name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    shutil.copy(BUILD / "foundation_probe.exe", folder)
    yield folder
