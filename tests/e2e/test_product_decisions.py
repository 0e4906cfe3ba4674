"""Every road decides a product from the same facts: its family, its build,
its owner and its folder. Fern 1.0 and its newer build 1.1 share a product
code; Fern 2.0 is a major upgrade of Fern 1.x; Fern Look has Fern's
UpgradeCode and version 9.0 but replaces nothing. A member that a product
of its family replaced is not installed beside it, whether a suite or the
user put that product there; a product that merely shares the family does
not stand in; a product the user installed alone stays the user's; an
upgrade in place stays in the product's folders; and a failed or killed
run keeps what another suite now stands on. Each row ends with the products, their
users and programs-list values, and the Fern files on disk."""
import os
import shutil
import subprocess

import pytest

from conftest import BUILD, WORK, prefix_drive_c, run_windows, windows_path, wine_environment
from test_killed_runs import kill, log_text, wait_until
from test_replacing_packages import ACTIONS, DCF, UPGRADE
from test_suite_run import FAILED, UNINSTALL, installed, registry, run_setup, uninstall_suite

A, B = (f"{{3C1D2E40-6A7B-4C8D-9E0F-1A2B3C4D5E{n}}}" for n in ("AA", "BB"))
CODE = "{{3C1D2E40-6A7B-4C8D-9E0F-1A2B3C4D5E{}}}"
FERN1, FERN2, LOOK, MOSS, IVY, RUE = (CODE.format(n) for n in ("61", "62", "69", "71", "81", "91"))
# name: (product code, family, version, title, folder, removes older, extra feature, fails when asked)
PACKAGES = {
    "fern1": (FERN1, "60", "1.0.0", "Fern", "TamsaFern", False, False, False),
    "fern11": (FERN1, "60", "1.1.0", "Fern", "TamsaFern", False, True, False),
    "fern2": (FERN2, "60", "2.0.0", "Fern", "TamsaFern", True, False, False),
    "look": (LOOK, "60", "9.0.0", "Fern Look", "TamsaFernLook", False, False, False),
    "moss": (MOSS, "70", "1.0.0", "Moss", "TamsaMoss", False, False, False),
    "ivy": (IVY, "80", "1.0.0", "Ivy", "TamsaIvy", False, False, False),
    "rue": (RUE, "90", "1.0.0", "Rue", "TamsaRue", False, False, True),
}
WXS = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Product Id="{code}" Name="Garden {title}" Language="1033"
 Version="{version}" Manufacturer="Tamsa Test" UpgradeCode="{family}"><Package InstallerVersion="200"
 Compressed="yes"/><Media Id="1" Cabinet="p.cab" EmbedCab="yes"/>{upgrade}{condition}
 <Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder"><Directory Id="INSTALLDIR"
 Name="{folder}"><Component Id="Main" Guid="{component}"><File Id="MainFile" Name="{file}.txt"
 Source="{name}.txt"/></Component>{extra}</Directory></Directory></Directory>
 <Feature Id="Main" Title="{title}" Level="1"><ComponentRef Id="Main"/></Feature>{extra_feature}</Product></Wix>"""
EXTRA = ('<Component Id="Extra" Guid="{3C1D2E40-6A7B-4C8D-9E0F-1A2B3C4D5EE1}"><File Id="ExtraFile" '
         'Name="extra.txt" Source="{name}.txt"/></Component>', '<Feature Id="Extra" Level="1">'
         '<ComponentRef Id="Extra"/></Feature>')
# name: (suite, products as (key, package), version)
KITS = {
    "a1": (A, [("Fern", "fern1"), ("Ivy", "ivy")], "1.0.0"),
    "a11": (A, [("Fern", "fern11"), ("Ivy", "ivy")], "1.1.0"),
    "a2": (A, [("Fern", "fern2"), ("Ivy", "ivy")], "2.0.0"),
    "a2f": (A, [("Fern", "fern2"), ("Ivy", "ivy"), ("Rue", "rue")], "2.0.0"),
    "b1": (B, [("Fern", "fern1"), ("Moss", "moss")], "1.0.0"),
    "b11": (B, [("Fern", "fern11"), ("Moss", "moss")], "1.1.0"),
    "a2h": (A, [("Fern", "fern2"), ("Ivy", "ivy")], "2.0.0"),
}
# a2h holds its run after Fern 2.0, for the test to kill it there.
HOLD = "Executing setup action: InstallActions.Ivy.Hold"
HELD_EDITS = [("Sequence=10\n", "Sequence=10\nExecuteOptions=SYNC\n"),
              ("ivy.msi\nInstallActions=Main", "ivy.msi\nInstallActions=Main,Hold")]
HOLD_ACTION = ('[InstallActions.Ivy.Hold]\nSequence=15\nExecuteOptions=SYNC\n'
               'CommandLine=mutex_holder.exe TamsaDecisionsHold "{SetupDir}\\release-hold" 120\n')


@pytest.fixture(scope="module")
def kits():
    """The packages and the kits, made once per test process."""
    root = WORK / "test_product_decisions" / f"kits-{os.getpid()}"
    shutil.rmtree(root, ignore_errors=True)
    (root / "packages").mkdir(parents=True)
    for name, (code, family, version, title, folder, upgrades, extra, fails) in PACKAGES.items():
        family = CODE.format(family)
        (root / "packages" / f"{name}.txt").write_text(f"{title} {version}\n")
        (root / "packages" / f"{name}.wxs").write_text(WXS.format(
            code=code, family=family, version=version, title=title, folder=folder, name=name,
            file=title.lower().replace(" ", ""), component=code.replace("5E", "5F"),
            upgrade=UPGRADE.format(family, version) if upgrades else "",
            condition='<Condition Message="Asked to fail">NOT FAILRUE</Condition>' if fails else "",
            extra=EXTRA[0].replace("{name}", name) if extra else "", extra_feature=EXTRA[1] if extra else ""))
        subprocess.run(["wixl", "-o", f"{name}.msi", f"{name}.wxs"], cwd=root / "packages", check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
    for name, (suite, products, version) in KITS.items():
        kit = root / name
        kit.mkdir()
        shutil.copy(BUILD / "setup.exe", kit)
        dcf = DCF.format(products=",".join(k for k, _ in products), name=name, version=version, uuid=suite,
                         overinstall="1").replace("CompanyName=Tamsa Test\n", "CompanyName=Tamsa Test\n"
                                                  "SeparateInstallDirs=0\n")
        for index, (key, package) in enumerate(products):
            dcf += ACTIONS.format(key, package, 10 * (index + 1))
            (kit / key).mkdir()
            shutil.copy(root / "packages" / f"{package}.msi", kit / key)
        if name == "a2h":
            for old, new in HELD_EDITS:
                dcf = dcf.replace(old, new, 1)
            dcf += HOLD_ACTION
            shutil.copy(BUILD / "mutex_holder.exe", kit / "Ivy")
        (kit / "SETUP.DCF").write_text(dcf)
    return root


def run_step(kits, world, index, step):
    kind, logs = step[0], world.folder / f"logs-{index}"
    if kind == "msiexec":
        target = windows_path(kits / "packages" / f"{step[2]}.msi") if step[1] == "/i" else step[2]
        return run_windows(prefix_drive_c() / "windows" / "system32" / "msiexec.exe", [step[1], target, "/qn"]).code, []
    if kind == "uninstall":
        return uninstall_suite(step[1], logs)
    if kind == "killed":
        log = logs / "VELL_SETUP.LOG"
        env = wine_environment({"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}, ())
        with open(world.out / "killed.out", "wb") as out:
            run = subprocess.Popen(["wine", str(kits / step[1] / "setup.exe"), "/qn"], stdout=out,
                                   stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
        try:
            wait_until(lambda: HOLD in log_text(log), "the hold")
        finally:
            kill("setup.exe", "mutex_holder.exe")
            run.wait(timeout=120)
        return None, []
    if kind == "cached":
        return run_setup(prefix_drive_c() / "ProgramData" / "Uninstall" / step[1] / "setup.exe", logs, step[2])
    return run_setup(kits / kind / "setup.exe", logs, step[1])


def garden_files():
    """Each Fern file under the folders a run may put it, with its contents."""
    found = {}
    for root in (prefix_drive_c() / "Program Files (x86)", prefix_drive_c() / "Elsewhere"):
        for path in root.rglob("fern*.txt") if root.is_dir() else []:
            found[str(path.relative_to(prefix_drive_c()))] = path.read_text().strip()
    return found


PF = "Program Files (x86)/"
# Wine's installer removes the product a major upgrade replaces from its
# package's own folders, not from those it was installed into: Fern 1.0's
# file stays where the suite put it (Windows removes it).
LEFT_BY_WINE = {kit: (PF + f"Tamsa/Tamsa {kit}/fern.txt", "Fern 1.0.0") for kit in ("a1", "b1")}
USER_FERN2 = ("msiexec", "/i", "fern2", 0)
# Each row: steps, each with the code it ends with; then the end: each
# product's version (None: not installed) and users, which products are
# hidden from the programs list, the Fern files, and a line some run logged.
ROWS = {
    "install-leaves-a-member-the-users-major-upgrade-replaced": (
        [USER_FERN2, ("a11", "/qn", 0)], {FERN1: (None, None), FERN2: ("2.0.0", None), IVY: ("1.0.0", [A])},
        {FERN2: False, IVY: True}, {PF + "TamsaFern/fern.txt": "Fern 2.0.0"}, "installed apart from the suite"),
    "over-install-leaves-a-member-the-users-major-upgrade-replaced": (
        [("a1", "/qn", 0), USER_FERN2, ("a1", "/qn", 0)],
        {FERN1: (None, None), FERN2: ("2.0.0", None), IVY: ("1.0.0", [A])}, {FERN2: False},
        dict([(PF + "TamsaFern/fern.txt", "Fern 2.0.0"), LEFT_BY_WINE["a1"]]), "does not install version 1.0.0 beside it"),
    "upgrade-counts-the-product-a-suites-major-upgrade-put-in-place": (
        [("b1", "/qn", 0), ("a1", "/qn", 0), ("a2", "/qn", 0), ("b11", "/qn", 0)],
        {FERN1: (None, None), FERN2: ("2.0.0", [A, B]), MOSS: ("1.0.0", [B])}, {FERN2: True},
        dict([(PF + "Tamsa/Tamsa a1/fern.txt", "Fern 2.0.0"), LEFT_BY_WINE["b1"]]), "through a suite's package"),
    "repair-installs-a-member-a-family-product-does-not-replace": (
        [("a1", "/qn", 0), ("msiexec", "/x", FERN1, 0), ("msiexec", "/i", "look", 0), ("a1", f"/f {A} /qn", 0)],
        {FERN1: ("1.0.0", [A]), LOOK: ("9.0.0", None)}, {LOOK: False},
        {PF + "Tamsa/Tamsa a1/fern.txt": "Fern 1.0.0", PF + "TamsaFernLook/fernlook.txt": "Fern Look 9.0.0"},
        "the repair installs it again"),
    "install-upgrades-the-users-own-product-and-leaves-it-the-users": (
        [("msiexec", "/i", "fern1", 0), ("a11", "/qn", 0), ("uninstall", A, 0)],
        {FERN1: ("1.1.0", None), IVY: (None, None)}, {FERN1: False},
        {PF + "TamsaFern/fern.txt": "Fern 1.1.0"}, "leaves out those new in version 1.1.0: Extra"),
    "upgrade-in-place-stays-in-the-folder-of-the-products-install": (
        [("a1", "/qn", 0), ("b1", "/qn", 0), ("b11", "/qn", 0)], {FERN1: ("1.1.0", [A, B])}, {FERN1: True},
        {PF + "Tamsa/Tamsa a1/fern.txt": "Fern 1.1.0"}, "stays in its folders"),
    "upgrade-in-place-with-a-new-base-path-stays-in-the-products-folder": (
        [("a1", "/qn", 0), ("a11", "/qn BASEPATH=C:\\Elsewhere", 0)], {FERN1: ("1.1.0", [A])}, {FERN1: True},
        {PF + "Tamsa/Tamsa a1/fern.txt": "Fern 1.1.0"}, "stays in its folders"),
    "rollback-keeps-the-product-another-suite-now-stands-on": (
        [("b1", "/qn", 0), ("a1", "/qn", 0), ("a2f", "/qn FAILRUE=1", FAILED), ("cached", B, f"/f {B} /qn", 0),
         ("cached", A, f"/f {A} /qn", 0)],
        {FERN1: (None, None), FERN2: ("2.0.0", [A, B]), RUE: (None, None), IVY: ("1.0.0", [A])}, {FERN2: True},
        dict([(PF + "Tamsa/Tamsa a1/fern.txt", "Fern 2.0.0"), LEFT_BY_WINE["b1"]]),
        "keeps products it installed for the suites"),
    "killed-run-undo-keeps-the-product-another-suite-now-stands-on": (
        [("b1", "/qn", 0), ("a1", "/qn", 0), ("killed", "a2h", None), ("cached", B, f"/f {B} /qn", 0)],
        {FERN1: (None, None), FERN2: ("2.0.0", [B]), IVY: ("1.0.0", [A])}, {FERN2: True},
        dict([(PF + "Tamsa/Tamsa a1/fern.txt", "Fern 2.0.0"), LEFT_BY_WINE["b1"]]), "stays installed for suite"),
}


@pytest.mark.parametrize("row", ROWS)
def test_each_road_decides_a_product_from_the_same_facts(test_world, kits, row):
    steps, products, hidden, files, line = ROWS[row]
    logged = []
    for index, step in enumerate(steps):
        code, messages = run_step(kits, test_world, index, step)
        assert code == step[-1], (index, step, messages[-10:])
        logged += messages
    for product, (version, users) in products.items():
        entry = registry(UNINSTALL + product, "32")
        assert (installed(product), entry.get("DisplayVersion")) == (version is not None, version), product
        assert (sorted(entry.get("UsedBy", [])), entry.get("RefCount")) == \
            (sorted(users or []), hex(len(users)) if users else None), product
    for product, hides in hidden.items():
        assert registry(UNINSTALL + product, "32").get("SystemComponent") == ("0x1" if hides else None), product
    assert garden_files() == files
    assert [m for m in logged if line in m], line
