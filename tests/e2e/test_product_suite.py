"""setup.exe /qn on a suite of real packages built with wixl: the product
list, the cached product data, the package paths, the temporary-space check
and every package opened through Wine's msi.dll."""
import os
import re
import shutil

import pytest

from conftest import BUILD, REPO, read_log, run_windows, windows_path

PACKAGES = BUILD / "fixtures" / "msi"
SUITE_DCF = REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF"


@pytest.fixture
def suite_kit(kit):
    """setup.exe, the suite's SETUP.DCF and each package in the folder named
    after its product (a suite without master products)."""
    shutil.copy(BUILD / "setup.exe", kit)
    shutil.copy(SUITE_DCF, kit / "SETUP.DCF")
    for key, package in (("Alpha", "alpha.msi"), ("Beta", "beta.msi"), ("Gamma", "gamma.msi")):
        (kit / key).mkdir()
        shutil.copy(PACKAGES / package, kit / key / package)
    return kit


def run_quiet(kit):
    env = {"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log"}
    result = run_windows(kit / "setup.exe", ["/qn"], env=env, remove_env=())
    return result.code, read_log(kit / "logs" / "VELL_SETUP.LOG")


def edit_dcf(kit, old, new):
    text = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    assert old in text
    (kit / "SETUP.DCF").write_text(text.replace(old, new), encoding="latin-1")


def test_suite_gets_through_products_packages_and_disk_space(suite_kit):
    code, messages = run_quiet(suite_kit)
    assert code == 0
    assert "Modified product list: Alpha,Beta,Gamma" in messages
    assert any(re.fullmatch(r"Temp Folder Information for: C:\\users\\.*\\Temp\\ size: \d+\.\d\d", m)
               for m in messages)
    assert not any(m.startswith("Failed loading") for m in messages)
    assert "Worker exiting with status code: 00000000, ResultCode = 0" in messages


def test_master_product_comes_first_and_its_package_from_the_source_root(suite_kit):
    edit_dcf(suite_kit, "Products=Alpha,Beta,Gamma", "Products=Alpha,Beta,Gamma\r\nMaster=Gamma")
    shutil.move(suite_kit / "Gamma" / "gamma.msi", suite_kit / "gamma.msi")
    code, messages = run_quiet(suite_kit)
    assert code == 0
    assert "Modified product list: Gamma,Alpha,Beta" in messages


def test_product_that_is_its_own_master(suite_kit):
    edit_dcf(suite_kit, "Products=Alpha,Beta,Gamma", "Products=Alpha\r\nMaster=Alpha")
    shutil.move(suite_kit / "Alpha" / "alpha.msi", suite_kit / "alpha.msi")
    code, messages = run_quiet(suite_kit)
    assert code == 0
    assert "Modified product list: Alpha" in messages


def test_cost_above_free_space_ends_with_148(suite_kit):
    edit_dcf(suite_kit, "Cost=2.5", "Cost=999999999")
    code, messages = run_quiet(suite_kit)
    assert code == 148
    assert any(m.startswith("   Not Enough Temp ") and m.endswith("For Max Product cost 999999999.00")
               for m in messages)
    assert "Aborting on error code 148" in messages


@pytest.mark.parametrize("products, line", [
    ("Products=", "No installer products listed"),
    ("Products=,Alpha", "No installer products listed"),
    ("Products=Alpha\r\nMaster=Omega", "All master installers listed are invalid"),
], ids=["empty", "empty-first-item", "unknown-master"])
def test_broken_product_list_ends_with_13(suite_kit, products, line):
    edit_dcf(suite_kit, "Products=Alpha,Beta,Gamma", products)
    code, messages = run_quiet(suite_kit)
    assert code == 13
    assert line in messages
    assert "Unable to parse the setup product list" in messages


@pytest.mark.parametrize("damage", ["missing", "random-bytes"])
def test_bad_package_ends_with_13_and_names_the_product(suite_kit, damage):
    package = suite_kit / "Beta" / "beta.msi"
    if damage == "missing":
        package.unlink()
    else:
        package.write_bytes(os.urandom(4096))
    code, messages = run_quiet(suite_kit)
    assert code == 13
    assert "Failed loading MSI package data for Beta" in messages
    assert "Unable to read MSI package data for products" in messages


@pytest.mark.parametrize("old, new, line", [
    ("UUID={7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}", "",
     "The UUID has not been assigned and this is not a master or single product installer. Setup "
     "cannot continue without one of these configurations being active and must exit now."),
    ("DisplayName=Tamsa Sample Suite", "Version=2.0",
     "A group is defined, but the displayname or version info is missing."),
    ("Group=default", "Group=Other",
     "Badly formatted install group entry in Other; the group id wasn't found in the dcf."),
], ids=["no-uuid", "no-display-name", "undefined-group"])
def test_broken_suite_description_ends_with_13(suite_kit, old, new, line):
    edit_dcf(suite_kit, old, new)
    code, messages = run_quiet(suite_kit)
    assert code == 13
    assert line in messages
    assert "Unable to parse the setup install group info" in messages
