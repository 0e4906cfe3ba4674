"""Shared pieces of the end-to-end tests: our Windows programs run under
Wine with full 32-bit exit codes, each test in a Wine prefix of its own
(copied from a template made once per run) and a folder of its own under
build/e2e, so tests can run in parallel and never see each other's
installs."""
import hashlib
import os
import pathlib
import re
import shutil
import subprocess

import pytest

from wine_prefix import (PrefixCopy, base_environment, end_with_parent, make_template, shared_files,
                         wait_for_cleanups)

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD = REPO / "build" / "win"
WORK = REPO / "build" / "e2e"
BASE_PREFIX = pathlib.Path(os.environ.get("WINEPREFIX_OVERRIDE") or REPO / "build" / "wineprefix")
TEMPLATE_PREFIX = WORK / "template-prefix"


def windows_path(path):
    """Wine maps the Linux root to drive Z:; a path given in Windows form
    ("C:\\Kit\\setup.exe" or a PureWindowsPath, in the test's prefix) stays
    as it is."""
    if isinstance(path, pathlib.PureWindowsPath):
        return str(path)
    if isinstance(path, str) and re.match(r"^[A-Za-z]:\\", path):
        return path
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


class World:
    """The running test's own folder, output folder and prefix."""
    shared = None

    def __init__(self, node):
        module = pathlib.Path(node.nodeid.split("::")[0]).stem
        name = re.sub(r"[^\w.,=\[\]-]+", "_", node.name)
        if name != node.name:
            # Parameters that differ only in the characters replaced ("C:x",
            # "C\\x") must not share a folder when they run side by side.
            name += "-" + hashlib.sha1(node.name.encode()).hexdigest()[:8]
        self.folder = WORK / module / name
        shutil.rmtree(self.folder, ignore_errors=True)
        self.out = self.folder / "out"
        self.out.mkdir(parents=True)
        if World.shared is None:
            World.shared = shared_files(TEMPLATE_PREFIX)
        self.prefix = PrefixCopy(TEMPLATE_PREFIX, World.shared, self.folder / "prefix")


_current = None


def current_world():
    assert _current is not None, "Wine runs only inside a test, in the test's own prefix"
    return _current


def wine_environment(extra=None, remove=()):
    env = base_environment(current_world().prefix.path())
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
        args_file = current_world().out / "launcher.args"
        args_file.write_bytes(raw_args.encode("utf-8"))
        launcher_args += ["--args-file", windows_path(args_file)]
    launcher_args += [windows_path(program)]
    launcher_args += [str(arg) for arg in args]
    out_file = current_world().out / "launcher.out"
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


# The worker takes the AutoPlay suppression off as it ends, after the run's
# own last line.
AUTOPLAY_OFF = ("Attempting to unregister CancelAutoPlay", "   Successfully unregistered AppID",
                "   Unregistered CancelAutoPlay successfully")


def run_messages(messages):
    """The messages up to the run's own last line."""
    end = len(messages)
    while end and messages[end - 1] in AUTOPLAY_OFF:
        end -= 1
    return messages[:end]


def prefix_drive_c():
    return pathlib.Path(wine_environment()["WINEPREFIX"]) / "drive_c"


def start_display(size="1280x1024"):
    """An X display of this process's own, so tests that look for a window
    by its title find their own; Xvfb picks a free number itself. The size
    is a common desktop's: the wizard at 144 DPI fits it whole."""
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{size}x24",
                               "-nolisten", "tcp"], pass_fds=(write,), preexec_fn=end_with_parent,
                              stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read, "rb") as pipe:
        number = pipe.readline().strip().decode()
    if number:
        os.environ["DISPLAY"] = ":" + number
    return server


def pytest_configure(config):
    worker = hasattr(config, "workerinput")
    if not worker:
        # Once per run, before any worker starts: last run's folders go, and
        # the template is copied from the build's prefix as it is now.
        shutil.rmtree(WORK, ignore_errors=True)
        make_template(BASE_PREFIX, TEMPLATE_PREFIX)
    # Each worker gets a display (the controller of workers needs none).
    if (worker or not getattr(config.option, "numprocesses", None)) and shutil.which("Xvfb"):
        config.e2e_display = start_display()


_own_displays = []


def pytest_unconfigure(config):
    wait_for_cleanups()
    for server in _own_displays:
        server.terminate()
        server.wait()
    if not hasattr(config, "workerinput"):
        # 1.3 GB that the next run copies anew; a kept failed prefix holds
        # its own links to the files it shares.
        shutil.rmtree(TEMPLATE_PREFIX, ignore_errors=True)
    display = getattr(config, "e2e_display", None)
    if display:
        display.terminate()
        display.wait()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    if outcome.get_result().failed:
        item.e2e_failed = True


@pytest.fixture(autouse=True)
def test_world(request):
    """Every test's world. Its prefix is also this process's WINEPREFIX
    while the test runs, so a test that starts `wine` itself stays in it.
    At the end its wineserver is ended and the copy removed (kept when the
    test failed, for a look inside)."""
    global _current
    _current = World(request.node)
    previous = os.environ.get("WINEPREFIX")
    os.environ["WINEPREFIX"] = str(_current.prefix.path())
    yield _current
    world, _current = _current, None
    if previous is None:
        del os.environ["WINEPREFIX"]
    else:
        os.environ["WINEPREFIX"] = previous
    changed = world.prefix.end(keep=getattr(request.node, "e2e_failed", False))
    assert not changed, f"changed in place, under every other test's prefix too: {changed}"


@pytest.fixture
def display_of_size():
    """Starts a display of the size given ("1600x1200") for this test alone;
    called before the test's first Wine program, whose session keeps the
    display it started on."""
    previous = os.environ.get("DISPLAY")
    # The display outlives the test's Wine session, which ends after this
    # fixture: it goes when the worker does.
    yield lambda size: _own_displays.append(start_display(size))
    if previous is not None:
        os.environ["DISPLAY"] = previous


@pytest.fixture
def kit(test_world):
    """A fresh folder holding a copy of the probe program."""
    folder = test_world.folder / "kit"
    folder.mkdir(parents=True)
    shutil.copy(BUILD / "foundation_probe.exe", folder)
    yield folder
