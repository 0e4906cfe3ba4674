"""An install action's condition decides whether that action runs: a true
condition installs its product, a false one leaves out only its own, with
the configuration's properties, the command line's and the system's
variables as the condition reads them. The conditions choose only what to
install: the suite's registered uninstall and repair, which do not carry the
install's command line, act on every product the suite installed."""
import pytest

from conftest import prefix_drive_c
from test_suite_run import ALPHA, BETA, DELTA, installed, references, run_kit, run_setup, \
    suite_kit, suite_left, uninstall_suite

SUITE = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7A1}"
BETA_CONDITION = '{PINEGATE} == "0"'
DELTA_CONDITION = '{PINEGATE} == "1"'


@pytest.mark.parametrize("arguments, beta", [("/qn", True), ("/qn PINEGATE=1", False)])
def test_each_install_action_follows_its_own_condition(test_world, arguments, beta):
    kit = suite_kit("suite_action_conditions")
    code, messages = run_kit(kit, arguments)
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (BETA, DELTA, ALPHA)] == [beta, not beta, True]
    assert f"Condition '{BETA_CONDITION}' evaluated to {'true' if beta else 'false'}" in messages
    assert f"Condition '{DELTA_CONDITION}' evaluated to {'false' if beta else 'true'}" in messages
    assert "Condition '{OSVERSION} >= 5 AND 1' evaluated to true" in messages
    assert "Failed parsing install condition" not in messages
    assert messages.count("   Condition for install action not satisfied; skipping") == 1

    # The registered command runs without PINEGATE=1: the product installed
    # only with it goes too.
    code, messages = uninstall_suite(SUITE, test_world.folder / "logs-uninstall")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (BETA, DELTA, ALPHA)] == [False, False, False]
    assert all(references(p) == (None, None) for p in (BETA, DELTA, ALPHA))
    assert not suite_left(SUITE)


def test_repair_restores_a_product_its_condition_installed(test_world):
    kit = suite_kit("suite_action_conditions")
    assert run_kit(kit, "/qn PINEGATE=1")[0] == 0
    notes = prefix_drive_c() / "Program Files (x86)" / "TamsaDelta" / "notes.bin"
    notes.unlink()
    cached = prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE / "setup.exe"
    code, messages = run_setup(cached, test_world.folder / "logs-repair", f"/qn /f {SUITE}")
    assert code == 0, messages[-8:]
    assert notes.is_file()
    assert [installed(p) for p in (BETA, DELTA, ALPHA)] == [False, True, True]
    assert references(DELTA) == ([SUITE], "0x1")
    assert not any(m.startswith("   Repairing Package") and BETA in m for m in messages)
