"""sample_kit.py: what the benchmarks share: the sample suite's kit
(setup.exe, SETUP.DCF and the three packages, each in its product's folder),
a suite of generated packages, and a Wine prefix of a benchmark's own in which
setup.exe and its registered uninstall command run."""
import os
import pathlib
import re
import shutil
import subprocess

REPO = pathlib.Path(__file__).resolve().parents[1]
BUILD = REPO / "build" / "win"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


class BenchPrefix:
    """A Wine prefix under `work` (copied once from the build's prefix) with
    its wineserver kept running between `start` and `stop`."""

    def __init__(self, work):
        self.work = work
        self.path = work / "prefix"
        self.server = None

    def environment(self, extra=None):
        env = dict(os.environ, WINEPREFIX=str(self.path), WINEARCH="win64", WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        env.pop("KWSETUP", None)
        env.update(extra or {})
        return env

    def start(self):
        if not self.path.exists():
            self.path.parent.mkdir(parents=True, exist_ok=True)
            shutil.copytree(REPO / "build" / "wineprefix", self.path, symlinks=True)
        self.server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.environment(),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.environment(), check=False)
        if self.server:
            self.server.wait(timeout=30)

    def wine(self, args, out_name="wine.out", env=None):
        """Output goes to a file: Wine's services keep inherited pipes open."""
        out = self.work / out_name
        with open(out, "wb") as handle:
            subprocess.run(["wine"] + args, stdout=handle, stderr=subprocess.STDOUT,
                           stdin=subprocess.DEVNULL, env=self.environment(env), check=False)
        return out.read_bytes().decode("utf-8", "replace")

    def launch(self, program, args, env=None):
        """The full 32-bit exit code, through our launcher."""
        text = self.wine([str(BUILD / "exit_code_launcher.exe"), windows(program)] + args, "launcher.out", env)
        codes = re.findall(r"exit code: (\d+)", text)
        return int(codes[-1]) if codes else -1

    def uninstall_command(self, suite):
        text = self.wine(["reg", "query", f"{UNINSTALL}\\{suite}", "/v", "UninstallString", "/reg:32"])
        found = re.search(r"UninstallString\s+REG_\w+\s+(.*)", text)
        return found.group(1).strip() if found else None

    def install_and_remove(self, kit, env=None):
        """setup.exe /qn from the kit, then the uninstall command it registered
        (the cached copy), each of which must end with 0."""
        dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
        suite = re.search(r"^UUID=(.*?)\s*$", dcf, re.M).group(1)
        assert self.launch(kit / "setup.exe", ["/qn"], env) == 0, "setup.exe /qn failed"
        command = self.uninstall_command(suite)
        assert command, "no programs list entry after the install"
        program, arguments = re.match(r'^"([^"]+)"\s*(.*)$', command).groups()
        cached = self.path / "drive_c" / program[3:].replace("\\", "/")
        assert self.launch(cached, arguments.split(), env) == 0, "the registered uninstall failed"


def make_sample_kit(kit):
    """A fresh kit in `kit`; returns it."""
    shutil.rmtree(kit, ignore_errors=True)
    kit.mkdir(parents=True)
    shutil.copy(BUILD / "setup.exe", kit)
    shutil.copy(REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF", kit)
    for name in ("alpha", "beta", "gamma"):
        (kit / name.capitalize()).mkdir()
        shutil.copy(BUILD / "fixtures" / "msi" / f"{name}.msi", kit / name.capitalize())
    return kit


SUITE_DCF_HEAD = """; A suite of {count} generated packages for the benchmarks.
[Setup]
Products={products}
ProductName=Tamsa Bench Suite

[ProductGroup.Default]
UUID={{5D0AFFFF-0000-4000-8000-000000000001}}
FamilyID=TamsaBench
DisplayName=Tamsa Bench Suite
Version=1.0.0
BuildNumber=100
SKU=STD
BasePath={{ProgramFilesFolder}}/TamsaBench
SuiteFolder=Bench Suite
UninstallUILevel=/qn

[Property]
ProductVersion=1.0.0
CompanyName=Tamsa Test
"""

SUITE_DCF_PRODUCT = """
[Setup.{key}]
PackageName={package}
InstallActions=Main
PrimaryAction=Install
Group=default

[InstallActions.{key}.Main]
Sequence={sequence}
CommandLine={{msiexec}} {{setupparams}} /I {{PackageName}}
"""


def bench_packages(work, count, payload_mb):
    """`count` packages built with wixl from the benchmark product, each
    carrying `payload_mb` MB that does not compress; kept in `work` and
    built again only when missing."""
    import random
    import subprocess
    work.mkdir(parents=True, exist_ok=True)
    payload = work / "payload"
    payload.mkdir(exist_ok=True)
    sizes = {"large.bin": payload_mb * 1024 * 1024, "medium.bin": 100 * 1024, "small.bin": 1024}
    for name, size in sizes.items():
        if not (payload / name).exists() or (payload / name).stat().st_size != size:
            (payload / name).write_bytes(random.Random(name).randbytes(size))
    shutil.copy(REPO / "tests" / "fixtures" / "msi_suite" / "bench_product.wxs", work)
    packages = []
    for index in range(1, count + 1):
        package = work / f"bench_{index:02d}_{payload_mb}mb.msi"
        if not package.exists():
            subprocess.run(["wixl", "-D", f"Index={index:02d}", "-o", package.name, "bench_product.wxs"],
                           cwd=work, check=True, stdout=subprocess.DEVNULL)
        packages.append(package)
    return packages


def make_bench_suite_kit(kit, packages):
    """A fresh kit in `kit`: setup.exe and a suite that installs each of
    `packages` as a product of its own (P01, P02, ...); returns it."""
    shutil.rmtree(kit, ignore_errors=True)
    kit.mkdir(parents=True)
    shutil.copy(BUILD / "setup.exe", kit)
    keys = [f"P{index:02d}" for index in range(1, len(packages) + 1)]
    dcf = SUITE_DCF_HEAD.format(count=len(packages), products=",".join(keys))
    for index, (key, package) in enumerate(zip(keys, packages), start=1):
        (kit / key).mkdir()
        shutil.copy(package, kit / key / "bench.msi")
        dcf += SUITE_DCF_PRODUCT.format(key=key, package="bench.msi", sequence=index * 10)
    (kit / "SETUP.DCF").write_bytes(dcf.replace("\n", "\r\n").encode("latin-1"))
    return kit
