"""Products that change under the suite. A kit's newer build of Alpha under
the same product code runs over the installed one as a minor upgrade, alone
or shared, every suite keeping its reference, and an upgrade line that
installs nothing fails the run. An Alpha the user upgraded with msiexec is
not put back beside the newer one: the repair, from the kit or the cached
copy, passes it over, and the suite's removal leaves the user's product.
A suite whose install condition leaves Alpha out neither installs nor counts
it when another suite has it, and a condition that cannot be read ends the
run with 13 there too."""
import re
import shutil
import subprocess

import pytest

from conftest import REPO, current_world, prefix_drive_c, run_windows, windows_path
from test_suite_run import ALPHA, BETA, FAILED, PACKAGES, UNINSTALL, installed, references, registry, \
    run_setup, suite_kit, suite_left, uninstall_suite

SAMPLE = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}"
SUITE_B, SUITE_C = (f"{{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F7{n}}}" for n in "BC")
USER_ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C6F}"
INVALID_DATA = 13
MINOR_LINE = "CommandLine={msiexec} {setupparams} /I {PackageName} REINSTALL=ALL REINSTALLMODE=vomus"
MAJOR_UPGRADE = """<Upgrade Id="{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C60}"><UpgradeVersion Minimum="0.0.1"
 Maximum="4.0.0" IncludeMinimum="yes" Property="OLDERFOUND"/></Upgrade>
 <InstallExecuteSequence><RemoveExistingProducts After="InstallValidate"/></InstallExecuteSequence>"""


def alpha_builds():
    """Alpha 3.58.95 (same product code, new package code) and the user's
    Alpha 4.0.0 (new product code, same UpgradeCode, removing older ones),
    built from the fixture's source."""
    folder = current_world().folder / "alpha-builds"
    folder.mkdir()
    shutil.copytree(PACKAGES / "payload", folder / "payload")
    shutil.copy(PACKAGES / "alpha.msi", folder / "alpha-3.58.94.msi")
    source = (REPO / "tests" / "fixtures" / "msi_suite" / "alpha.wxs").read_text()
    minor = source.replace('Version="3.58.94"', 'Version="3.58.95"')
    major = source.replace('Version="3.58.94"', 'Version="4.0.0"').replace(ALPHA, USER_ALPHA)
    major = major.replace('<Media Id="1"', MAJOR_UPGRADE + '<Media Id="1"')
    for name, text in (("alpha-3.58.95", minor), ("alpha-4", major)):
        (folder / f"{name}.wxs").write_text(text)
        subprocess.run(["wixl", "-o", f"{name}.msi", f"{name}.wxs"], cwd=folder, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
    return folder


def sample_kit(name, suite=SAMPLE, alpha=None, edit=str):
    """The sample kit under its own folder and suite id, with another Alpha package when given."""
    kit = suite_kit("msi_suite")
    kit = kit.rename(kit.parent / name)
    dcf = (kit / "SETUP.DCF").read_text().replace(SAMPLE, suite)
    (kit / "SETUP.DCF").write_text(edit(dcf))
    if alpha:
        shutil.copy(alpha, kit / "Alpha" / "alpha.msi")
    return kit


def with_condition(value):
    def edit(dcf):
        dcf = dcf.replace("CommandLine={msiexec} {setupparams} /I {PackageName}\n",
                          "CommandLine={msiexec} {setupparams} /I {PackageName}\nCondition={WANTALPHA} == 1\n", 1)
        if value is not None:
            dcf = dcf.replace("[Property]\n", f"[Property]\nDynamicProperties=WANTALPHA\nWANTALPHA={value}\n", 1)
        return dcf
    return edit


def alpha_version():
    return registry(UNINSTALL + ALPHA, "32").get("DisplayVersion")


def cached_setup(suite):
    return prefix_drive_c() / "ProgramData" / "Uninstall" / suite / "setup.exe"


# Each row: its steps (what runs, and the exit code it ends with), then the
# end state: Alpha's version (None: not installed), Alpha's users, whether
# the user's Alpha 4 is installed, and a line a run's log holds.
ROWS = {
    "newer-build-shared": (
        [("kit", "a", SAMPLE, None, "/qn", 0), ("kit", "b", SUITE_B, None, "/qn", 0),
         ("kit", "b2", SUITE_B, "minor", "/qn", 0), ("cached", SAMPLE, f"/f {SAMPLE} /qn", 0)],
        "3.58.95", [SAMPLE, SUITE_B], False, "the package upgrades it in place"),
    "newer-build-alone-with-the-minor-upgrade-line": (
        [("kit", "a", SAMPLE, None, "/qn", 0), ("kit", "a2", SAMPLE, "minor-line", "/qn", 0)],
        "3.58.95", [SAMPLE], False, "the package upgrades it in place"),
    # The user's own Alpha, counted by no suite, is brought up to date and
    # counted, as its removal and a new install did before.
    "newer-build-over-the-users-own": (
        [("msiexec", "alpha-3.58.94", 0), ("kit", "a2", SAMPLE, "minor", "/qn", 0)],
        "3.58.95", [SAMPLE], False, "the package upgrades it in place"),
    "minor-upgrade-line-with-nothing-to-upgrade": (
        [("kit", "a2", SAMPLE, "minor-line", "/qn", FAILED)],
        None, None, False, "is not installed: the run fails"),
    "user-upgrade-repaired-from-the-kit": (
        [("kit", "a", SAMPLE, None, "/qn", 0), ("msiexec", "alpha-4", 0), ("kit", "a", SAMPLE, None,
                                                                           f"/f {SAMPLE} /qn", 0)],
        None, None, True, "a newer product of its family installed apart from the suite"),
    "user-upgrade-repaired-from-the-cache-then-removed": (
        [("kit", "a", SAMPLE, None, "/qn", 0), ("msiexec", "alpha-4", 0),
         ("cached", SAMPLE, f"/f {SAMPLE} /qn", 0), ("uninstall", SAMPLE, 0)],
        None, None, True, None),
    "false-condition-with-a-shared-product": (
        [("kit", "a", SAMPLE, None, "/qn", 0), ("kit", "c", SUITE_C, "0", "/qn", 0)],
        "3.58.94", [SAMPLE], False, "   Condition for install action not satisfied; skipping"),
    "false-condition-after-the-other-suite-went": (
        [("kit", "a", SAMPLE, None, "/qn", 0), ("kit", "c", SUITE_C, "0", "/qn", 0), ("uninstall", SAMPLE, 0)],
        None, None, False, None),
    "unreadable-condition-with-a-shared-product": (
        [("kit", "a", SAMPLE, None, "/qn", 0), ("kit", "c", SUITE_C, "undefined", "/qn", INVALID_DATA)],
        "3.58.94", [SAMPLE], False, "cannot be evaluated"),
}


@pytest.mark.parametrize("row", ROWS, ids=list(ROWS))
def test_a_product_changed_under_the_suite(test_world, row):
    steps, version, users, user_alpha, line = ROWS[row]
    builds = alpha_builds() if any(len(s) > 3 and s[3] in ("minor", "minor-line") or s[0] == "msiexec"
                                   for s in steps) else None
    kits = {}
    messages, every = [], []
    for index, step in enumerate(steps):
        logs = test_world.folder / f"logs-{index}"
        if step[0] == "kit":
            _, name, suite, variant, arguments, expected = step
            if name not in kits:
                alpha = builds / "alpha-3.58.95.msi" if variant in ("minor", "minor-line") else None
                edit = str
                if variant == "minor-line":
                    edit = lambda dcf: dcf.replace("CommandLine={msiexec} {setupparams} /I {PackageName}",
                                                   MINOR_LINE, 1)
                elif variant in ("0", "undefined"):
                    edit = with_condition(None if variant == "undefined" else variant)
                kits[name] = sample_kit(name, suite, alpha, edit)
            code, messages = run_setup(kits[name] / "setup.exe", logs, arguments)
        elif step[0] == "msiexec":
            _, package, expected = step
            code = run_windows(prefix_drive_c() / "windows" / "system32" / "msiexec.exe",
                               ["/i", windows_path(builds / f"{package}.msi"), "/qn"]).code
            messages = []
        elif step[0] == "cached":
            _, suite, arguments, expected = step
            code, messages = run_setup(cached_setup(suite), logs, arguments)
        else:
            _, suite, expected = step
            code, messages = uninstall_suite(suite, logs)
        assert code == expected, (index, step, messages[-10:])
        every += messages
    assert alpha_version() == version and installed(ALPHA) == (version is not None)
    assert (references(ALPHA)[0] if version else None) == users
    if users:
        assert references(ALPHA)[1] == hex(len(users))
    assert installed(USER_ALPHA) == user_alpha
    if line:
        assert [m for m in every if line in m], messages[-10:]
    if row.startswith("user-upgrade"):
        # The suite's other product is untouched; the user's Alpha is counted by no suite.
        assert references(USER_ALPHA) == (None, None)
        assert installed(BETA) == (steps[-1][0] != "uninstall")
        assert suite_left(SAMPLE) == (steps[-1][0] != "uninstall")
