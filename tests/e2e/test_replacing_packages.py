"""Packages whose own upgrade removes other products. Suite A's second
version brings Fern 2, a major upgrade of the Fern 1 that suite B also
counts: B's reference goes over to Fern 2, whose life then follows both
suites in either order, and B's repair finds nothing missing. A second
version whose third package fails loses what its packages' upgrades (or its
removal of the first version) took: the run names them, and the first kit
puts them back."""
import os
import shutil
import subprocess

import pytest

from conftest import BUILD, current_world, prefix_drive_c
from test_shared_suites import run_kit
from test_suite_run import FAILED, UNINSTALL, installed, references, registry, suite_left, uninstall_suite

SUITE_A, SUITE_B, SUITE_C = (f"{{9A3C5E70-1B2D-4E6F-8091-A2B3C4D5E6F{n}}}" for n in "ABC")
CODE = "{{7D1E0A10-{}-4C3B-9D15-6E7F8091F00{}}}"
# name: (product code, upgrade code, version, removes older versions, fails when asked)
PACKAGES = {
    "fern1": (CODE.format("1111", 1), CODE.format("1111", 0), "1.0.0", False, False),
    "fern2": (CODE.format("1111", 2), CODE.format("1111", 0), "2.0.0", True, False),
    "ivy1": (CODE.format("2222", 1), CODE.format("2222", 0), "1.0.0", False, False),
    "ivy2": (CODE.format("2222", 2), CODE.format("2222", 0), "2.0.0", True, False),
    "rue1": (CODE.format("3333", 1), CODE.format("3333", 0), "1.0.0", False, False),
    "rue2": (CODE.format("3333", 2), CODE.format("4444", 0), "2.0.0", False, True),
    "moss": (CODE.format("5555", 1), CODE.format("5555", 0), "1.0.0", False, False),
}
FERN1, FERN2, IVY1, IVY2, RUE1 = (PACKAGES[n][0] for n in ("fern1", "fern2", "ivy1", "ivy2", "rue1"))
UPGRADE = """<Upgrade Id="{0}"><UpgradeVersion Minimum="0.0.1" Maximum="{1}" IncludeMinimum="yes"
 Property="OLDERFOUND"/><UpgradeVersion Minimum="{1}" OnlyDetect="yes" Property="NEWERFOUND"/></Upgrade>
 <InstallExecuteSequence><RemoveExistingProducts After="InstallValidate"/></InstallExecuteSequence>"""
WXS = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Product Id="{code}" Name="Garden {title}"
 Language="1033" Version="{version}" Manufacturer="Tamsa Test" UpgradeCode="{upgrade_code}">
 <Package InstallerVersion="200" Compressed="yes"/><Media Id="1" Cabinet="p.cab" EmbedCab="yes"/>{upgrade}
 {condition}<Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder">
 <Directory Id="INSTALLDIR" Name="Tamsa{title}"><Component Id="Main" Guid="{component}">
 <File Id="MainFile" Name="{name}.txt" Source="payload.txt"/></Component></Directory></Directory></Directory>
 <Feature Id="Main" Title="{title}" Level="1"><ComponentRef Id="Main"/></Feature></Product></Wix>"""
DCF = """[Setup]
Products={products}
ProductName=Tamsa {name}
[Property]
ProductVersion={version}
CompanyName=Tamsa Test
[ProductGroup.Default]
UUID={uuid}
DisplayName=Tamsa {name}
Version={version}
BasePath={{ProgramFilesFolder}}/Tamsa
SuiteFolder=Tamsa {name}
UninstallUILevel=/qn
OverinstallAllowed={overinstall}
"""
ACTIONS = """[Setup.{0}]
PackageName={1}.msi
InstallActions=Main
[InstallActions.{0}.Main]
Sequence={2}
CommandLine={{msiexec}} {{setupparams}} /I {{PackageName}}
"""


def packages():
    """Built once per module and worker, shared by its rows."""
    folder = current_world().folder.parent / ("packages-" + os.environ.get("PYTEST_XDIST_WORKER", "main"))
    if not (folder / "done").exists():
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        (folder / "payload.txt").write_text("replacing\n")
        for name, (code, upgrade_code, version, upgrades, fails) in PACKAGES.items():
            title = name.rstrip("12").capitalize()
            (folder / f"{name}.wxs").write_text(WXS.format(
                code=code, title=title, version=version, upgrade_code=upgrade_code, name=name,
                component=code.replace("F00", "C00"), upgrade=UPGRADE.format(upgrade_code, version) if upgrades else "",
                condition='<Condition Message="Asked to fail">NOT FAILRUE</Condition>' if fails else ""))
            subprocess.run(["wixl", "-o", f"{name}.msi", f"{name}.wxs"], cwd=folder, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        (folder / "done").write_text("")
    return folder


def kit(name, uuid, products, version="1.0.0", overinstall="1"):
    folder = current_world().folder / name
    folder.mkdir()
    shutil.copy(BUILD / "setup.exe", folder)
    dcf = DCF.format(products=",".join(k for k, _ in products), name=name, version=version, uuid=uuid,
                     overinstall=overinstall)
    for index, (key, package) in enumerate(products):
        dcf += ACTIONS.format(key, package, 10 * (index + 1))
        (folder / key).mkdir()
        shutil.copy(packages() / f"{package}.msi", folder / key)
    (folder / "SETUP.DCF").write_text(dcf)
    return folder


@pytest.mark.parametrize("steps", [["repair", SUITE_A, SUITE_B], [SUITE_B, "repair-a", SUITE_A]],
                         ids=["b-repaired-a-then-b-removed", "b-then-a-removed"])
def test_an_upgrade_carries_another_suites_reference(test_world, steps):
    b = kit("b", SUITE_B, [("Fern", "fern1"), ("Moss", "moss")])
    a1 = kit("a1", SUITE_A, [("Fern", "fern1"), ("Ivy", "ivy1")])
    a2 = kit("a2", SUITE_A, [("Fern", "fern2"), ("Ivy", "ivy1")], "2.0.0")
    assert run_kit(b, "/qn")[0] == 0 and run_kit(a1, "/qn")[0] == 0
    code, messages = run_kit(a2, "/qn", "logs-a2")
    assert code == 0, messages[-8:]
    assert not installed(FERN1) and references(FERN2) == ([SUITE_A, SUITE_B], "0x2")
    left = [SUITE_A, SUITE_B]
    for step in steps:
        if step.startswith("repair"):
            suite, media = (SUITE_B, b) if step == "repair" else (SUITE_A, a2)
            code, messages = run_kit(media, f"/f {suite} /qn", "logs-" + step)
        else:
            code, messages = uninstall_suite(step, test_world.folder / ("logs-" + step))
            left.remove(step)
        assert code == 0, (step, messages[-8:])
        # Nothing installed again beside it: Fern 2 stands for Fern 1.
        assert not installed(FERN1) and step not in left and not (step in (SUITE_A, SUITE_B) and suite_left(step))
        assert installed(FERN2) == bool(left)
        assert references(FERN2) == ((left, hex(len(left))) if left else (None, None))
    assert registry(UNINSTALL + FERN2, "32") == {}
    assert not list((prefix_drive_c() / "Program Files (x86)").rglob("fern*.txt"))


# The first version removed whole before the second installs takes its
# entry along: the first kit installs it again rather than repairs it.
@pytest.mark.parametrize("overinstall, recovery", [("1", f"/f {SUITE_C} /qn"), ("0", "/qn")],
                         ids=["over-installed", "earlier-removed"])
def test_a_failed_upgrade_names_what_it_lost(test_world, overinstall, recovery):
    v1 = kit("c1", SUITE_C, [("Fern", "fern1"), ("Ivy", "ivy1"), ("Rue", "rue1")])
    v2 = kit("c2", SUITE_C, [("Fern", "fern2"), ("Ivy", "ivy2"), ("Rue", "rue2")], "2.0.0", overinstall)
    assert run_kit(v1, "/qn")[0] == 0
    code, messages = run_kit(v2, "/qn FAILRUE=1", "logs-v2")
    assert code == FAILED, messages[-8:]
    assert [installed(p) for p in (FERN1, FERN2, IVY1, IVY2)] == [False] * 4
    assert installed(RUE1) == (overinstall == "1")
    lost = messages[messages.index("This run removed products and did not install them again:"):]
    assert [n for n, c in (("Fern", FERN1), ("Ivy", IVY1)) if not any(f"Garden {n} ({c})" in m for m in lost)] == []
    code, messages = run_kit(v1, recovery, "logs-recovery")
    assert code == 0, messages[-8:]
    assert all(installed(p) and references(p) == ([SUITE_C], "0x1") for p in (FERN1, IVY1, RUE1))
