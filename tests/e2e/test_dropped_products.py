"""Suite A version 1 (Orchid, Pine, Quartz), then version 2 installed over it
with OverinstallAllowed left at its default (a new Orchid, Quartz, no Pine):
Pine and the first Orchid stay installed, hidden and counted for the suite.
Its uninstall, the registered command or /x from the version 2 media,
removes them with the rest; a product suite B still uses loses only suite
A's reference; a product that lists the suite without a product code keeps
the whole suite as it was."""
import pytest

from test_shared_suites import ORCHID, ORCHID_2, PINE, QUARTZ, SUITE_A, SUITE_B, garden_kit, run_kit
from test_suite_run import FAILED, UNINSTALL, installed, references, registry, suite_left, uninstall_suite
from test_system_facts import reg

PRODUCTS = (ORCHID, ORCHID_2, PINE, QUARTZ)
# A program's own entry that lists the suite: no installer product code.
TOOL = UNINSTALL + "TamsaGardenTool"


@pytest.mark.parametrize("shared, removal, code, kept", [
    (False, "registered", 0, ()),
    (False, "media", 0, ()),
    (True, "registered", 0, (PINE, QUARTZ)),
    (False, "no-code", FAILED, PRODUCTS),
], ids=["registered", "media", "shared", "no-code"])
def test_uninstall_after_an_upgrade_that_dropped_a_product(test_world, shared, removal, code, kept):
    v1, v2 = garden_kit("garden_a"), garden_kit("garden_a_v2_over", "Garden A v2 médias")
    if shared:
        assert run_kit(garden_kit("garden_b"), "/qn")[0] == 0
    assert run_kit(v1, "/qn PINEGATE=1")[0] == 0
    assert run_kit(v2, "/qn")[0] == 0
    assert all(installed(p) and SUITE_A in references(p)[0] for p in PRODUCTS)
    if removal == "no-code":
        for value in (["UninstallString", "/d", r"C:\Tamsa\tool.exe /remove"],
                      ["UsedBy", "/t", "REG_MULTI_SZ", "/d", SUITE_A], ["RefCount", "/t", "REG_DWORD", "/d", "1"]):
            reg("add", TOOL, "/v", *value, "/f", "/reg:32")

    if removal == "media":
        result, messages = run_kit(v2, f"/x {SUITE_A} /qn", "logs-remove")
    else:
        result, messages = uninstall_suite(SUITE_A, test_world.folder / "logs-remove")
    assert result == code, messages[-8:]
    if code == 0:
        # Only a product no other suite uses is said to go with the suite.
        dropped = [m for m in messages if f"(product code {PINE}) lists suite" in m]
        assert len(dropped) == 1 and dropped[0].endswith("it is removed with the suite") == (not shared), dropped
    assert [installed(p) for p in PRODUCTS] == [p in kept for p in PRODUCTS]
    users = [SUITE_B] if shared else [SUITE_A]
    assert all(references(p) == (users, "0x1") for p in kept)
    assert all(registry(UNINSTALL + p, "32") == {} for p in PRODUCTS if p not in kept)
    assert suite_left(SUITE_A) == (code != 0)
    if shared:
        assert uninstall_suite(SUITE_B, test_world.folder / "logs-b")[0] == 0
        assert not any(installed(p) for p in PRODUCTS) and not suite_left(SUITE_B)
