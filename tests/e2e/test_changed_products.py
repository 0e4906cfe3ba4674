"""Products that change under the suite. A kit's newer build of Alpha under
the same product code runs over the installed one as a minor upgrade, every
suite keeping its reference; an upgrade line that installs nothing fails.
An Alpha the user upgraded with msiexec is not put back beside the newer
one, from the kit or the cached copy, and the suite's removal leaves it. A
suite whose install condition leaves Alpha out neither installs nor counts
it when another suite has it; an unreadable condition ends with 13 there."""
import shutil
import subprocess

import pytest

from conftest import REPO, current_world, prefix_drive_c, run_windows, windows_path
from test_suite_run import ALPHA, BETA, FAILED, PACKAGES, UNINSTALL, installed, references, registry, \
    run_setup, suite_kit, suite_left, uninstall_suite

A = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}"  # the sample's own suite id
B, C = (f"{{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F7{n}}}" for n in "BC")
USER_ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C6F}"
LINE = "CommandLine={msiexec} {setupparams} /I {PackageName}"
EDITS = {  # kit variant: SETUP.DCF edits
    "minor-line": [(LINE, LINE + " REINSTALL=ALL REINSTALLMODE=vomus")],
    "no": [(LINE + "\n", LINE + "\nCondition={WANTALPHA} == 1\n"),
           ("[Property]\n", "[Property]\nDynamicProperties=WANTALPHA\nWANTALPHA=0\n")],
    "undefined": [(LINE + "\n", LINE + "\nCondition={WANTALPHA} == 1\n")],
}
UPGRADE = """<Upgrade Id="{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C60}"><UpgradeVersion Minimum="0.0.1"
 Maximum="4.0.0" IncludeMinimum="yes" Property="OLDERFOUND"/></Upgrade>
 <InstallExecuteSequence><RemoveExistingProducts After="InstallValidate"/></InstallExecuteSequence>"""


def alpha_builds():
    """Alpha 3.58.95 (same product code, new package code), the user's Alpha
    4.0.0 (new product code, same UpgradeCode, removes older ones) and the
    sample's own Alpha."""
    folder = current_world().folder / "alpha-builds"
    shutil.copytree(PACKAGES / "payload", folder / "payload")
    shutil.copy(PACKAGES / "alpha.msi", folder / "alpha-3.58.94.msi")
    source = (REPO / "tests" / "fixtures" / "msi_suite" / "alpha.wxs").read_text()
    minor = source.replace('Version="3.58.94"', 'Version="3.58.95"')
    major = source.replace('Version="3.58.94"', 'Version="4.0.0"').replace(ALPHA, USER_ALPHA)
    for name, text in (("alpha-3.58.95", minor), ("alpha-4", major.replace('<Media Id', UPGRADE + '<Media Id'))):
        (folder / f"{name}.wxs").write_text(text)
        subprocess.run(["wixl", "-o", f"{name}.msi", f"{name}.wxs"], cwd=folder, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
    return folder


def kit(name, suite, variant, builds):
    """The sample kit under its own folder and suite id, edited as the variant says."""
    folder = suite_kit("msi_suite").rename(current_world().folder / name)
    dcf = (folder / "SETUP.DCF").read_text().replace(A, suite)
    for old, new in EDITS.get(variant, []):
        dcf = dcf.replace(old, new, 1)
    (folder / "SETUP.DCF").write_text(dcf)
    if variant in ("minor", "minor-line"):
        shutil.copy(builds / "alpha-3.58.95.msi", folder / "Alpha" / "alpha.msi")
    return folder


INSTALL_A = ("kit", "a", A, None, "/qn", 0)
# Each row: its steps and the code each ends with, then the end: Alpha's
# version (None: not installed), its users, whether the user's Alpha 4 is
# installed, a line some run logged.
ROWS = {
    "newer-build-shared": (
        [INSTALL_A, ("kit", "b", B, None, "/qn", 0), ("kit", "b2", B, "minor", "/qn", 0),
         ("cached", A, f"/f {A} /qn", 0)], "3.58.95", [A, B], False, "the package upgrades it in place"),
    "newer-build-alone-with-the-minor-upgrade-line": (
        [INSTALL_A, ("kit", "a2", A, "minor-line", "/qn", 0)], "3.58.95", [A], False, "upgrades it in place"),
    # The user's own Alpha, counted by no suite, is brought up to date and
    # stays the user's.
    "newer-build-over-the-users-own": (
        [("msiexec", "alpha-3.58.94", 0), ("kit", "a2", A, "minor", "/qn", 0)], "3.58.95", None, False,
        "it stays the user's"),
    "minor-upgrade-line-with-nothing-to-upgrade": (
        [("kit", "a2", A, "minor-line", "/qn", FAILED)], None, None, False, "is not installed: the run fails"),
    "user-upgrade-repaired-from-the-kit": (
        [INSTALL_A, ("msiexec", "alpha-4", 0), ("kit", "a", A, None, f"/f {A} /qn", 0)], None, None, True,
        "a product of its family installed apart from the suite"),
    "user-upgrade-repaired-from-the-cache-then-removed": (
        [INSTALL_A, ("msiexec", "alpha-4", 0), ("cached", A, f"/f {A} /qn", 0), ("uninstall", A, 0)],
        None, None, True, "a product of its family installed apart from the suite"),
    "false-condition-with-a-shared-product": (
        [INSTALL_A, ("kit", "c", C, "no", "/qn", 0)], "3.58.94", [A], False, "Condition for install action not"),
    "false-condition-after-the-other-suite-went": (
        [INSTALL_A, ("kit", "c", C, "no", "/qn", 0), ("uninstall", A, 0)], None, None, False, None),
    "unreadable-condition-with-a-shared-product": (
        [INSTALL_A, ("kit", "c", C, "undefined", "/qn", 13)], "3.58.94", [A], False, "cannot be evaluated"),
}


@pytest.mark.parametrize("row", ROWS)
def test_a_product_changed_under_the_suite(test_world, row):
    steps, version, users, user_alpha, line = ROWS[row]
    builds, kits, logged = alpha_builds(), {}, []
    for index, step in enumerate(steps):
        logs, messages = test_world.folder / f"logs-{index}", []
        if step[0] == "kit":
            if step[1] not in kits:
                kits[step[1]] = kit(step[1], step[2], step[3], builds)
            code, messages = run_setup(kits[step[1]] / "setup.exe", logs, step[4])
        elif step[0] == "msiexec":
            code = run_windows(prefix_drive_c() / "windows" / "system32" / "msiexec.exe",
                               ["/i", windows_path(builds / f"{step[1]}.msi"), "/qn"]).code
        elif step[0] == "cached":
            code, messages = run_setup(prefix_drive_c() / "ProgramData" / "Uninstall" / step[1] / "setup.exe",
                                       logs, step[2])
        else:
            code, messages = uninstall_suite(step[1], logs)
        assert code == step[-1], (index, step, messages[-10:])
        logged += messages
    assert registry(UNINSTALL + ALPHA, "32").get("DisplayVersion") == version
    assert installed(ALPHA) == (version is not None) and installed(USER_ALPHA) == user_alpha
    assert references(ALPHA) == ((users, hex(len(users))) if users else (None, None))
    assert not line or [m for m in logged if line in m]
    if user_alpha:
        # Beta untouched until the suite goes; the user's Alpha counted by no suite.
        assert references(USER_ALPHA) == (None, None)
        assert installed(BETA) == suite_left(A) == (steps[-1][0] != "uninstall")
