"""Garden suites with a folder each: every removal and repair of a product acts
on the folder its install was given, whichever suite installed, counts or
removes it; a repair installs a missing product only from its own package."""
import shutil

import pytest

from conftest import current_world, prefix_drive_c, run_windows
from test_shared_suites import ORCHID, ORCHID_2, PINE, QUARTZ, SUITE_A, SUITE_B, garden_kit, run_kit
from test_suite_run import FAILED, installed, references, uninstall_suite

SUITE_C = SUITE_B[:-2] + "0C}"
KITS = {"a": "garden_a", "a2": "garden_a_v2", "b": "garden_b", "c": "garden_b"}
PRODUCTS = (ORCHID, ORCHID_2, PINE, QUARTZ)


def kit(name):
    """A garden kit with SeparateInstallDirs=0; suite C is B under another id and folder."""
    def edit(dcf):
        dcf = dcf.replace("[Property]\n", "[Property]\nSeparateInstallDirs=0\n")
        return dcf.replace(SUITE_B, SUITE_C).replace("Tamsa Garden B", "Tamsa Garden C") if name == "c" else dcf
    folder = current_world().folder / name
    return folder if folder.exists() else garden_kit(KITS[name], name, edit)


def files():
    root = prefix_drive_c() / "Program Files (x86)" / "Tamsa"
    return sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_file()) if root.exists() else []


def run(index, step):
    kind, argument = step[0], step[1]
    logs = current_world().folder / f"logs-{index}"
    if kind == "x":
        return uninstall_suite(argument, logs)[0]
    if kind == "msiexec":
        return run_windows(prefix_drive_c() / "windows" / "system32" / "msiexec.exe", argument.split()).code
    if kind == "rm":
        path = prefix_drive_c() / argument
        shutil.rmtree(path) if path.is_dir() else path.unlink()
        return 0
    return run_kit(kit(kind), argument, logs.name)[0]


PINEGATE = "/qn PINEGATE=1"
# Steps (kit, "x" suite, "msiexec" or "rm"; argument; exit code when not 0),
# then the products installed at the end and the files left.
ROWS = {
    "the_last_suite_removes_a_product_it_did_not_install_b_a_c": (
        [("b", "/qn"), ("a", PINEGATE), ("c", "/qn"), ("x", SUITE_B), ("x", SUITE_A), ("x", SUITE_C)], (), []),
    "the_last_suite_removes_a_product_it_did_not_install_a_b_c": (
        [("a", PINEGATE), ("b", "/qn"), ("c", "/qn"), ("x", SUITE_A), ("x", SUITE_B), ("x", SUITE_C)], (), []),
    "a_suite_that_counts_a_product_repairs_it_where_it_is": (
        [("b", "/qn"), ("a", PINEGATE), ("rm", "Program Files (x86)/Tamsa/Tamsa Garden B/pine.txt"),
         ("a", f"/f {SUITE_A} /qn")],
        (ORCHID, PINE, QUARTZ), ["Tamsa Garden A/orchid.txt", "Tamsa Garden B/pine.txt", "Tamsa Garden B/quartz.txt"]),
    "an_upgrade_removes_the_installed_version_from_its_folder": (
        [("a", PINEGATE), ("a2", "/qn")], (ORCHID_2, QUARTZ), ["Tamsa Garden A/orchid2.txt", "Tamsa Garden A/quartz.txt"]),
    "the_removal_of_a_suite_whose_cache_is_gone": (
        [("a", PINEGATE), ("rm", f"ProgramData/Uninstall/{SUITE_A}"), ("a", f"/x {SUITE_A} /qn")], (), []),
    "a_repair_does_not_install_another_products_package_for_a_missing_member": (
        [("a", "/qn"), ("msiexec", f"/x {ORCHID} /qn"), ("a2", f"/f {SUITE_A} /qn", FAILED)],
        # Removed by hand without its folder: its file stays.
        (QUARTZ,), ["Tamsa Garden A/orchid.txt", "Tamsa Garden A/quartz.txt"]),
}


@pytest.mark.parametrize("row", ROWS)
def test_removals_and_repairs_act_on_the_installed_folder(test_world, row):
    steps, kept, left = ROWS[row]
    for index, step in enumerate(steps):
        assert run(index, step) == (step[2] if len(step) > 2 else 0), step
    assert [p for p in PRODUCTS if installed(p)] == list(kept)
    assert files() == left
    if PINE in kept:
        assert sorted(references(PINE)[0]) == sorted([SUITE_A, SUITE_B])
