"""Two suites that share products, run as an administrator runs them: the
kit's setup.exe repairs and removes an installed suite whose configuration
names no product codes, and a later version's kit removes the products it
no longer names; an uninstall removes what the suite installed whatever
the install conditions now say; an upgrade that drops a shared
product leaves it to the suite that still uses it; and the configuration
kept for a shared product goes with the product's last user. Every run
ends with the machine as its exit code says."""
import re
import shutil
import subprocess

from conftest import BUILD, REPO, current_world, prefix_drive_c, run_windows
from test_suite_run import UNINSTALL, installed, references, registry, run_setup, suite_left, \
    uninstall_suite

FIXTURES = REPO / "tests" / "fixtures"
SUITE_A = "{C2A0D5E1-6F3B-4A27-8E19-5D4C3B2A1F0A}"
SUITE_B = "{C2A0D5E1-6F3B-4A27-8E19-5D4C3B2A1F0B}"
ORCHID = "{5B0E7C10-2A41-4C3B-9D15-6E7F8091A2B1}"
ORCHID_2 = "{5B0E7C10-2A41-4C3B-9D15-6E7F8091A2B2}"
PINE = "{5B0E7C10-2A41-4C3B-9D15-6E7F8091B2C1}"
QUARTZ = "{5B0E7C10-2A41-4C3B-9D15-6E7F8091C3D1}"
INVALID_DATA = 13
UNKNOWN_PRODUCT = 1605
# Lines that would report the wanted end state (a key or folder already
# gone, a file or folder that goes at the restart, a folder left to other
# suites) as a failure.
FALSE_FAILURES = re.compile(r"Unable to open uninstall registry key|does not exist\. System error code|"
                            r"Failed queued reference operation|Failed to remove directory|Failed to delete file")


def packages():
    """The garden packages, built with wixl into the test's folder."""
    folder = current_world().folder / "packages"
    if not folder.exists():
        folder.mkdir()
        (folder / "payload.txt").write_text("garden\n")
        for source in sorted(FIXTURES.glob("garden_*/*.wxs")):
            shutil.copy(source, folder)
            with open(folder / "wixl.out", "wb") as out:
                subprocess.run(["wixl", "-o", source.stem + ".msi", source.name], cwd=folder, stdout=out,
                               stderr=subprocess.STDOUT, check=True)
    return folder


def garden_kit(name, folder_name=None, edit=str):
    """setup.exe, the suite's SETUP.DCF (as `edit` makes it) and a folder per product with its package."""
    kit = current_world().folder / (folder_name or name)
    kit.mkdir()
    shutil.copy(BUILD / "setup.exe", kit)
    dcf = edit((FIXTURES / name / "SETUP.DCF").read_text())
    (kit / "SETUP.DCF").write_text(dcf)
    for product in re.search(r"^Products=(.*)$", dcf, re.M).group(1).split(","):
        package = re.search(rf"^\[Setup\.{product}\]\s*^PackageName=(\S+)", dcf, re.M).group(1)
        (kit / product).mkdir()
        shutil.copy(packages() / package, kit / product)
    return kit


def run_kit(kit, arguments, logs="logs"):
    shutil.rmtree(kit / logs, ignore_errors=True)
    return run_setup(kit / "setup.exe", kit / logs, arguments)


def garden_file(folder, name):
    return prefix_drive_c() / "Program Files (x86)" / folder / name


def cached_configurations(product):
    """The configuration copies kept for a product another suite installed."""
    folder = prefix_drive_c() / "ProgramData" / "Uninstall" / product
    return sorted(folder.glob("*.dcf")) if folder.exists() else []


def assert_no_false_failures(messages):
    assert not [m for m in messages if FALSE_FAILURES.search(m)]


def test_kit_repairs_and_removes_the_installed_suite(test_world):
    b = garden_kit("garden_b")
    # The media an administrator starts from: blanks and letters beyond ASCII.
    a = garden_kit("garden_a", "Garden A médias")
    # Nothing of the suite is installed yet: a repair has nothing to repair.
    code, messages = run_kit(a, f"/f {SUITE_A} /qn", "logs-nothing")
    assert code == UNKNOWN_PRODUCT, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [False, False, False]
    assert not suite_left(SUITE_A)
    assert run_kit(b, "/qn")[0] == 0
    code, messages = run_kit(a, "/qn PINEGATE=1")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [True, True, True]
    assert references(PINE) == ([SUITE_B, SUITE_A], "0x2")

    # Repair from the kit: it knows the products and puts back what is gone.
    orchid_file = garden_file("TamsaOrchid", "orchid.txt")
    orchid_file.unlink()
    code, messages = run_kit(a, f"/f {SUITE_A} /qn", "logs-repair")
    assert code == 0, messages[-8:]
    assert orchid_file.is_file()
    assert references(ORCHID) == ([SUITE_A], "0x1")

    # A product whose code can be read neither from the installed suite nor
    # from the kit: a repair fails and leaves the suite as it was.
    cache = prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE_A
    (cache / "Orchid.dcf").unlink()
    (a / "Orchid" / "orchid.msi").unlink()
    code, messages = run_kit(a, f"/f {SUITE_A} /qn", "logs-unknown")
    assert code == INVALID_DATA, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [True, True, True]
    assert references(PINE) == ([SUITE_B, SUITE_A], "0x2")
    assert registry(UNINSTALL + SUITE_A, "32")["DisplayName"] == "Tamsa Garden A"
    assert (cache / "setup.exe").is_file()

    # The kit's own packages name the codes the configuration leaves out.
    shutil.copy(packages() / "orchid.msi", a / "Orchid")
    code, messages = run_kit(a, f"/x {SUITE_A} /qn", "logs-packages")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [False, True, True]
    assert references(PINE) == ([SUITE_B], "0x1")
    assert references(QUARTZ) == ([SUITE_B], "0x1")
    assert not suite_left(SUITE_A)
    assert registry(UNINSTALL + SUITE_B, "32")["DisplayName"] == "Tamsa Garden B"


def test_kit_removes_with_the_installed_suites_product_files(test_world):
    a, b = garden_kit("garden_a"), garden_kit("garden_b")
    assert run_kit(a, "/qn PINEGATE=1")[0] == 0
    assert run_kit(b, "/qn")[0] == 0
    # Without the packages the installed suite's cached product files name the codes.
    for product in ("Orchid", "Pine", "Quartz"):
        shutil.rmtree(a / product)
    code, messages = run_kit(a, f"/x {SUITE_A} /qn")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [False, True, True]
    assert references(PINE) == ([SUITE_B], "0x1")
    assert not suite_left(SUITE_A)
    assert registry(UNINSTALL + ORCHID, "32") == {}

    code, messages = run_kit(b, f"/x {SUITE_B} /qn")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (PINE, QUARTZ)] == [False, False]
    assert not suite_left(SUITE_B)
    assert all(registry(UNINSTALL + p, "32") == {} for p in (PINE, QUARTZ))


def test_uninstall_and_repair_ignore_install_conditions(test_world):
    a = garden_kit("garden_a")
    code, messages = run_kit(a, "/qn PINEGATE=1")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [True, True, True]
    # The registered commands run without PINEGATE=1: Pine's condition is false.
    pine_file = garden_file("TamsaPine", "pine.txt")
    pine_file.unlink()
    cached = prefix_drive_c() / "ProgramData" / "Uninstall" / SUITE_A / "setup.exe"
    code, messages = run_setup(cached, test_world.folder / "logs-repair", f"/qn /f {SUITE_A}")
    assert code == 0, messages[-8:]
    assert pine_file.is_file()

    code, messages = uninstall_suite(SUITE_A, test_world.folder / "logs-remove")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [False, False, False]
    assert not suite_left(SUITE_A)


def test_upgrade_leaves_a_dropped_product_to_the_suite_that_uses_it(test_world):
    b, a, a2 = garden_kit("garden_b"), garden_kit("garden_a"), garden_kit("garden_a_v2")
    assert run_kit(b, "/qn")[0] == 0
    assert run_kit(a, "/qn PINEGATE=1")[0] == 0
    code, messages = run_kit(a2, "/qn")
    assert code == 0, messages[-8:]
    assert f"Executing setup action: PreviousVersions.{PINE}.Force" in messages
    assert_no_false_failures(messages)
    assert [installed(p) for p in (ORCHID, ORCHID_2, PINE, QUARTZ)] == [False, True, True, True]
    assert references(PINE) == ([SUITE_B], "0x1")
    assert sorted(references(QUARTZ)[0]) == sorted([SUITE_A, SUITE_B])
    assert references(ORCHID_2) == ([SUITE_A], "0x1")
    assert registry(UNINSTALL + SUITE_A, "32")["DisplayVersion"] == "2.0.0"
    assert registry(UNINSTALL + SUITE_B, "32")["DisplayName"] == "Tamsa Garden B"

    code, messages = uninstall_suite(SUITE_B, test_world.folder / "logs-b")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ORCHID_2, PINE, QUARTZ)] == [True, False, True]
    assert references(QUARTZ) == ([SUITE_A], "0x1")
    assert not suite_left(SUITE_B)


def test_configuration_kept_for_a_shared_product_goes_with_its_last_user(test_world):
    b, a = garden_kit("garden_b"), garden_kit("garden_a")
    assert run_kit(b, "/qn")[0] == 0
    code, messages = run_kit(a, "/qn PINEGATE=1")
    assert code == 0, messages[-8:]
    # Suite B installed Pine and Quartz: suite A keeps its configuration beside them.
    for product in ("Pine", "Quartz"):
        files = cached_configurations(product)
        assert len(files) == 1
        assert re.fullmatch(r"\{[0-9A-F-]{36}\}\.dcf", files[0].name)
        assert files[0].read_bytes() == (a / "SETUP.DCF").read_bytes()
    assert cached_configurations("Orchid") == []
    # Installed over itself, the suite keeps the one copy it has there.
    kept = cached_configurations("Pine")
    code, messages = run_kit(a, "/qn PINEGATE=1", "logs-again")
    assert code == 0, messages[-8:]
    assert cached_configurations("Pine") == kept
    assert len(cached_configurations("Quartz")) == 1

    code, messages = uninstall_suite(SUITE_A, test_world.folder / "logs-a")
    assert code == 0, messages[-8:]
    assert_no_false_failures(messages)
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [False, True, True]
    assert len(cached_configurations("Pine")) == 1

    code, messages = uninstall_suite(SUITE_B, test_world.folder / "logs-b")
    assert code == 0, messages[-8:]
    assert_no_false_failures(messages)
    assert [installed(p) for p in (PINE, QUARTZ)] == [False, False]
    assert not suite_left(SUITE_A) and not suite_left(SUITE_B)
    left = [p for p in (prefix_drive_c() / "ProgramData" / "Uninstall").rglob("*")
            if p.is_file() and p.name != "setup.exe"]
    assert left == []


def test_later_kit_removes_the_products_it_no_longer_names(test_world):
    a, a2 = garden_kit("garden_a"), garden_kit("garden_a_v2")
    assert run_kit(a, "/qn PINEGATE=1")[0] == 0
    # Version 2's kit names no Pine: the installed suite's product file does.
    code, messages = run_kit(a2, f"/x {SUITE_A} /qn")
    assert code == 0, messages[-8:]
    assert [installed(p) for p in (ORCHID, PINE, QUARTZ)] == [False, False, False]
    assert registry(UNINSTALL + PINE, "32") == {}
    assert not suite_left(SUITE_A)
