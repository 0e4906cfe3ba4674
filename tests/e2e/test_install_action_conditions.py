"""An install action's condition decides whether that action runs: a true
condition installs its product, a false one leaves out only its own, with
the configuration's properties, the command line's and the system's
variables as the condition reads them; the suite registered is removed
whole by its uninstall command."""
import pytest

from test_suite_run import ALPHA, BETA, DELTA, installed, run_kit, suite_kit, suite_left, uninstall_suite

SUITE = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7A1}"
BETA_CONDITION = '{PINEGATE} == "0"'


@pytest.mark.parametrize("arguments, beta", [("/qn", True), ("/qn PINEGATE=1", False)])
def test_each_install_action_follows_its_own_condition(test_world, arguments, beta):
    kit = suite_kit("suite_action_conditions")
    code, messages = run_kit(kit, arguments)
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (BETA, DELTA, ALPHA)] == [beta, False, True]
    assert f"Condition '{BETA_CONDITION}' evaluated to {'true' if beta else 'false'}" in messages
    assert "Condition '\"a\" == \"b\"' evaluated to false" in messages
    assert "Condition '{OSVERSION} >= 5 AND 1' evaluated to true" in messages
    assert "Failed parsing install condition" not in messages
    skipped = messages.count("   Condition for install action not satisfied; skipping")
    assert skipped == (1 if beta else 2)

    code, messages = uninstall_suite(SUITE, test_world.folder / "logs-uninstall")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (BETA, DELTA, ALPHA)] == [False, False, False]
    assert not suite_left(SUITE)

