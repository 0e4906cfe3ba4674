"""setup.exe /qn runs only the products chosen: a declined offer product
(or one the command line disables) leaves the run with the product that
requires it, and a quiet uninstall of the suite removes every product, a
Mandatory one too."""
import pytest

from test_suite_run import ALPHA, BETA, DELTA, installed, run_kit, suite_kit, suite_left, uninstall_suite

RELATIONS = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E5}"


@pytest.mark.parametrize("arguments", ["/qn GOOGLE_TOOLBAR=0", "/qn DisableProducts=GOOGLE_TOOLBAR"],
                         ids=["declined-offer", "disabled-by-command-line"])
def test_declined_product_takes_the_product_that_requires_it_along(test_world, arguments):
    kit = suite_kit("suite_relations")
    code, messages = run_kit(kit, arguments)
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, False, False]
    assert "   Disabling installation of product 'GOOGLE_TOOLBAR'" in messages
    assert "   Disabling installation of product 'Delta'" in messages

    code, messages = uninstall_suite(RELATIONS, test_world.folder / "logs-uninstall")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]
    assert not suite_left(RELATIONS)


def test_quiet_uninstall_removes_every_product_of_the_suite(test_world):
    kit = suite_kit("suite_relations")
    # A quiet run never makes the vendor's offer: here the toolbar is a
    # product of the suite's own.
    dcf = kit / "SETUP.DCF"
    dcf.write_text(dcf.read_text().replace("GOOGLE_TOOLBAR", "Toolbar"))
    (kit / "GOOGLE_TOOLBAR").rename(kit / "Toolbar")
    code, messages = run_kit(kit)
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, True]

    code, messages = uninstall_suite(RELATIONS, test_world.folder / "logs-uninstall")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]
    assert not suite_left(RELATIONS)
