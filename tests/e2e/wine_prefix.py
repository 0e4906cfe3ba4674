"""Wine prefixes of the end-to-end tests: a template copied once per test run
from the build's prefix, and for each test a copy of the template with a
wineserver of its own, so no test sees another's installs.

A prefix is 1.3 GB, almost all of it Wine's builtin DLLs, which Wine loads
from its own folder and which stand in the prefix only as files to be found.
A test's copy hard-links those and copies the rest (about 20 MB); a test
that writes into one of the linked files in place fails, because that would
change the template under every other test."""
import ctypes
import os
import pathlib
import shutil
import signal
import subprocess
import threading
import time

BUILTIN_MARK = b"Wine builtin DLL"
PR_SET_PDEATHSIG = 1
# Looked up here: a child between fork and exec loads nothing.
_prctl = ctypes.CDLL(None, use_errno=True).prctl
WINE_DEFAULTS = {
    "WINEARCH": "win64",
    "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
}


def base_environment(prefix):
    env = dict(os.environ)
    for name, value in WINE_DEFAULTS.items():
        env.setdefault(name, value)
    env["WINEDEBUG"] = "-all"
    env["WINEPREFIX"] = str(prefix)
    return env


def end_with_parent():
    """In a child about to start: a signal to end when the process that
    started it ends, so a worker stopped half-way leaves no server or display."""
    _prctl(PR_SET_PDEATHSIG, signal.SIGINT)


def _quiet(args, prefix, timeout=120):
    # Wine's services keep inherited pipes open: no pipes, only the null device.
    subprocess.run(args, env=base_environment(prefix), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout, check=False)


def unlink_user_folders(prefix):
    """Wine links the user's Desktop, Documents, Downloads, Music, Pictures
    and Videos to the Linux home folder: what a program deletes there is the
    machine's own. Each link becomes an empty folder of the prefix's own."""
    users = pathlib.Path(prefix) / "drive_c" / "users"
    for entry in users.glob("*/*"):
        if entry.is_symlink():
            entry.unlink()
            entry.mkdir()
    left = [str(entry) for entry in users.glob("*/*") if entry.is_symlink()]
    if left:
        raise RuntimeError(f"user folders still linked out of the prefix: {left}")


def make_template(base, template):
    """Creates the build's prefix when missing (about 30 s), then copies it,
    its user folders its own."""
    if not (base / "system.reg").exists():
        base.mkdir(parents=True, exist_ok=True)
        _quiet(["wineboot", "-i"], base, timeout=300)
        _quiet(["wineserver", "-w"], base)
    shutil.rmtree(template, ignore_errors=True)
    template.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["cp", "-a", str(base), str(template)], check=True)
    unlink_user_folders(template)


def _is_builtin(path):
    with open(path, "rb") as file:
        return BUILTIN_MARK in file.read(0x80)


def shared_files(template):
    """The template's builtin DLLs, each with the (size, mtime) it had."""
    shared = {}
    for root, _, files in os.walk(template):
        for name in files:
            path = os.path.join(root, name)
            if name.lower().endswith((".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".tlb")) \
                    and not os.path.islink(path) and _is_builtin(path):
                stat = os.stat(path)
                shared[os.path.relpath(path, template)] = (stat.st_size, stat.st_mtime_ns)
    return shared


def _copy_tree(source, target, shared, relative=""):
    target.mkdir(parents=True)
    with os.scandir(source) as entries:
        for entry in entries:
            name = os.path.join(relative, entry.name)
            destination = target / entry.name
            if entry.is_symlink():
                os.symlink(os.readlink(entry.path), destination)
            elif entry.is_dir():
                _copy_tree(pathlib.Path(entry.path), destination, shared, name)
            elif name in shared:
                os.link(entry.path, destination)
            else:
                shutil.copy2(entry.path, destination)


class PrefixCopy:
    """One test's prefix: copied on first use, its wineserver ended and the
    copy removed at the end of the test (kept when the test failed)."""

    def __init__(self, template, shared, folder):
        self.template = template
        self.shared = shared
        self.folder = folder
        self.server = None

    def path(self):
        if self.server is None:
            shutil.rmtree(self.folder, ignore_errors=True)
            _copy_tree(self.template, self.folder, self.shared)
            self.server = self._start_server()
        return self.folder

    def _server_folder(self):
        """Where the server keeps its socket: named after the prefix's device
        and inode, under the temporary folder the prefix names (Debian's
        Wine) or Wine's own."""
        stat = os.stat(self.folder)
        named = self.folder / "wineserver"
        temporary = pathlib.Path("/tmp") / (named.read_text().strip() if named.exists()
                                            else f".wine-{os.getuid()}")
        return temporary / f"server-{stat.st_dev:x}-{stat.st_ino:x}"

    def _start_server(self):
        """A persistent server, so the test's programs start without booting
        Wine's services anew each time; up before the first program starts,
        or that program starts a second server that races with it."""
        for _ in range(3):
            server = subprocess.Popen(
                ["wineserver", "-f", "-p"], env=base_environment(self.folder), preexec_fn=end_with_parent,
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 30
            while time.time() < deadline and server.poll() is None:
                if (self._server_folder() / "socket").exists():
                    return server
                time.sleep(0.01)
            # Debian's server that finds the prefix's temporary folder gone
            # makes a new one, says so and ends: it asks to be started again.
            server.kill()
            server.wait()
        raise RuntimeError(f"no wineserver for {self.folder}")

    def changed_shared_files(self):
        changed = []
        for name, (size, mtime) in self.shared.items():
            try:
                stat = os.stat(self.folder / name)
                original = os.stat(self.template / name)
            except FileNotFoundError:
                continue  # removed from the copy: the template keeps its own
            if stat.st_ino == original.st_ino and (stat.st_size, stat.st_mtime_ns) != (size, mtime):
                changed.append(name)
        return changed

    def end(self, keep):
        """Returns the shared files the test changed in place, then ends the
        server and every program of the prefix and removes the copy (kept
        when `keep`) in the background: ending a server saves its registry,
        most of a second the next test need not wait for."""
        if self.server is None:
            return []
        changed = self.changed_shared_files()
        cleanup = threading.Thread(target=self._remove, args=(keep,))
        cleanup.start()
        _cleanups.append(cleanup)
        return changed

    def _remove(self, keep):
        _quiet(["wineserver", "-k"], self.folder, timeout=60)
        # A server that -k did not reach (its socket folder renamed under
        # it) gets the same request as a signal, then the last one.
        for stop in (lambda: None, lambda: self.server.send_signal(signal.SIGINT), self.server.kill):
            stop()
            try:
                self.server.wait(timeout=10)
                break
            except subprocess.TimeoutExpired:
                pass
        _quiet(["wineserver", "-w"], self.folder, timeout=60)
        server_folder = self._server_folder()
        shutil.rmtree(server_folder, ignore_errors=True)
        # When the template's temporary folder had gone, Wine made one for
        # this copy alone.
        template_named = self.template / "wineserver"
        if (self.folder / "wineserver").exists() and (
                not template_named.exists() or template_named.read_text().strip() != server_folder.parent.name):
            shutil.rmtree(server_folder.parent, ignore_errors=True)
        if not keep:
            shutil.rmtree(self.folder, ignore_errors=True)


_cleanups = []


def wait_for_cleanups():
    """Every ended test's server is gone and its copy removed."""
    while _cleanups:
        _cleanups.pop().join()
