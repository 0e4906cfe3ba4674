"""Each product's searches and condition decide whether the run installs it:
registry searches in both views and file searches set properties that the
conditions and the packages' command lines read; a suite with no product
left ends with 1150. The configuration's schema and the internet
connection are checked before any product is decided."""
import socket

from conftest import prefix_drive_c, windows_path
from test_suite_run import installed, run_kit, run_setup, suite_kit
from test_system_facts import reg

ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"
BETA = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"
DELTA = "{9E4C6A53-AF51-4A84-8F3D-41526D7E8F91}"
NO_PRODUCT_LEFT = 1150


def conditions_kit(edit=None):
    kit = suite_kit("suite_conditions")
    if edit:
        dcf = kit / "SETUP.DCF"
        dcf.write_text(edit(dcf.read_text()))
    return kit


def seed_searches():
    """AlphaDir only in the 32-bit view, Gate only in the 64-bit view."""
    reg("add", r"HKLM\Software\TamsaSearch", "/v", "AlphaDir", "/t", "REG_SZ", "/d", r"C:\Found Alpha", "/f",
        "/reg:32")
    reg("add", r"HKLM\Software\TamsaSearch64", "/v", "Gate", "/t", "REG_DWORD", "/d", "7", "/f", "/reg:64")


def test_products_whose_conditions_fail_are_left_out(test_world):
    seed_searches()
    code, messages = run_kit(conditions_kit())
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, False]
    # The 32-bit search named Alpha's folder.
    assert (prefix_drive_c() / "Found Alpha" / "core.bin").is_file()
    assert "   The registry key was not found on x86: 'HKLM\\Software\\TamsaSearch64' error: 2" not in messages
    assert any(m.startswith("   The file version '") and m.endswith("' was less than the test version '99.0'")
               for m in messages)
    assert "Condition for product Delta not satisfied; removing" in messages
    assert "   Disabling installation of product 'Delta'" in messages
    # The properties as the run ended: the 64-bit view's number, as text.
    assert "   BETAGATE = 7" in messages


def test_products_the_command_line_disables_are_left_out(test_world):
    seed_searches()
    code, messages = run_kit(conditions_kit(), "/qn DisableProducts=Beta")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, False, False]
    assert "   Disabling installation of product 'Beta'" in messages
    assert not any(m.startswith("Condition for product Beta") for m in messages)


def test_no_product_left_ends_the_run_with_1150(test_world):
    code, messages = run_kit(conditions_kit())
    assert code == NO_PRODUCT_LEFT, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]
    assert "   The registry key was not found on x86 or x64: 'HKLM\\Software\\TamsaSearch64' error: 2" in messages
    assert "No product of the suite can be installed on this system" in messages


def test_a_newer_schema_is_refused(test_world):
    code, messages = run_kit(conditions_kit(lambda text: text.replace("DcfVersionSchema=1.0",
                                                                        "DcfVersionSchema=1.1")))
    assert code == 13, messages[-8:]
    assert "The version schema is incompatible" in messages
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]


def test_required_connection_is_tested_against_its_address(test_world):
    kit = conditions_kit(lambda text: text.replace("[Property]\n", "[Property]\nRequireOnlineAccess=1\n"))
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen(8)
        port = listener.getsockname()[1]
        # Reached: the run goes on to the products, none of which the
        # unseeded machine takes.
        code, messages = run_kit(kit, f"/qn TestConnectionURL=http://127.0.0.1:{port}/")
        assert code == NO_PRODUCT_LEFT, messages[-8:]
    # Nothing listens there any more.
    code, messages = run_kit(kit, f"/qn TestConnectionURL=http://127.0.0.1:{port}/")
    assert code == 59, messages[-8:]
    assert f"No internet connection to 'http://127.0.0.1:{port}/'; setup cannot go on" in messages
    assert not any(m.startswith("Condition for product") for m in messages)


# Everything of the kit goes but the running setup.exe, which Windows keeps.
def test_source_files_are_cleaned_up_after_a_successful_install(test_world):
    seed_searches()
    kit = conditions_kit()
    code, messages = run_setup(kit / "setup.exe", test_world.folder / "logs", "/qn CleanupSourceFiles=1")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ALPHA, BETA)] == [True, True]
    assert "Cleaning up source files" in messages
    assert sorted(p.name for p in kit.iterdir()) == ["setup.exe"]
    assert f"   The folder '{windows_path(kit)}' could not be deleted" in messages
