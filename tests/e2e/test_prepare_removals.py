"""Before a suite installs, what stands in its way goes: the products of
an incompatible suite (the suite unregistered once none is left, kept with
its references while one stays), and the installed older version of the
same suite."""
import shutil

from conftest import run_windows, windows_path
from test_suite_run import ALPHA, BETA, DELTA, ONE, TWO, UNINSTALL, installed, read_messages, \
    references, registry, run_kit, suite_kit, suite_left, uninstall_suite

THREE = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E3}"
FOUR = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E4}"


def suite_three_kit():
    """Suite Three's only product is its master: its package lies beside setup.exe."""
    kit = suite_kit("suite_three")
    shutil.move(kit / "Beta" / "beta.msi", kit / "beta.msi")
    return kit


def run_kit_with_environment(kit, extra):
    logs = kit / "logs"
    shutil.rmtree(logs, ignore_errors=True)
    env = {"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}
    env.update(extra)
    result = run_windows(kit / "setup.exe", env=env, remove_env=(), raw_args="/qn")
    return result.code, read_messages(logs / "VELL_SETUP.LOG")


def test_incompatible_suite_is_removed_before_the_install(test_world):
    two, three = suite_kit("suite_two"), suite_three_kit()
    assert run_kit(two)[0] == 0
    assert [installed(p) for p in (ALPHA, BETA)] == [True, True]

    code, messages = run_kit(three)
    assert code == 0, messages[-8:]
    assert "An incompatible suite was found on this system." in messages
    # Both of Two's products went with its reference; Beta came back for Three alone.
    assert [installed(p) for p in (ALPHA, BETA)] == [False, True]
    assert registry(UNINSTALL + ALPHA, "32") == {}
    assert references(BETA) == ([THREE], "0x1")
    assert not suite_left(TWO)
    assert registry(UNINSTALL + THREE, "32")["DisplayName"] == "Tamsa Suite Three"


def test_failed_removal_keeps_the_other_suite_and_its_reference(test_world):
    one, three = suite_kit("suite_one"), suite_three_kit()
    assert run_kit(one)[0] == 0
    # Delta refuses to be removed while the environment says so: Three is
    # not installed beside the suite that stays, and the run says so.
    code, messages = run_kit_with_environment(three, {"TAMSA_FAILME": "1"})
    assert code == 1603, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, True]
    assert references(DELTA) == ([ONE], "0x1")
    assert registry(UNINSTALL + ONE, "32")["DisplayName"] == "Tamsa Suite One"
    assert any(f"Incompatible suite {ONE} still has products installed" in m for m in messages)
    assert "An incompatible suite stays installed; this suite is not installed beside it" in messages
    assert not registry(UNINSTALL + THREE, "32")

    # The suite that stayed can still be removed by its own uninstall command.
    code, messages = uninstall_suite(ONE, test_world.folder / "logs-one")
    assert code == 0, messages[-8:]
    assert not installed(DELTA)
    assert not suite_left(ONE)


def test_newer_version_replaces_the_installed_suite(test_world):
    one, newer = suite_kit("suite_one"), suite_kit("suite_one_v2")
    assert run_kit(one)[0] == 0
    code, messages = run_kit(newer)
    assert code == 0, messages[-8:]
    assert f"Executing setup action: PreviousVersions.{DELTA}.Force" in messages
    # Delta is not part of version 2: it went with the old version.
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, False]
    assert registry(UNINSTALL + DELTA, "32") == {}
    assert references(ALPHA) == ([ONE], "0x1")
    assert references(BETA) == ([ONE], "0x1")
    record = registry(UNINSTALL + ONE, "32")
    assert record["DisplayVersion"] == "2.0.0"
    # The resume entry is written for each of the three removals and removed
    # after each: none finds the last one's entry, none is left.
    assert not [m for m in messages if "reboot registration" in m or m.startswith("Reboot already registered")]
    run_once = registry("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "32")
    assert not [name for name in run_once if name.endswith(".MultiInstall")]


def test_kept_application_takes_its_product_out_of_the_run(test_world):
    two, four = suite_kit("suite_two"), suite_kit("suite_four")
    assert run_kit(two)[0] == 0
    code, messages = run_kit(four)
    assert code == 0, messages[-8:]
    assert "   Disabling installation of product 'Delta'" in messages
    # Alpha stays; Delta is not installed, Beta is, for both suites.
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, False]
    assert references(ALPHA) == ([TWO], "0x1")
    assert references(BETA) == ([TWO, FOUR], "0x2")

    # Kept with the whole run refused: nothing is left to install. (Beta's
    # same package is installed by now, so removals of its own would be
    # dropped with the selection before they run: the refusal is Delta's.)
    dcf = four / "SETUP.DCF"
    dcf.write_text(dcf.read_text().replace("Refusal=ABORTPROD", "Refusal=ABORTALL"))
    code, messages = run_kit(four)
    assert code == 1602, messages[-8:]
    assert "Aborting entire install process from ExecutePrepareActions" in messages
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, False]
    assert references(BETA) == ([TWO, FOUR], "0x2")
