"""Packages install strictly in their actions' order and uninstall in the
reverse order, also on a machine whose every core is busy, with the
default ExecuteOptions; a package that fails stops the run before any
later package starts."""
import os
import re
import shutil
import subprocess
import sys

import pytest

from conftest import BUILD, REPO, current_world
from test_suite_run import installed, run_kit, suite_left, uninstall_suite
from wine_prefix import end_with_parent

FIXTURE = REPO / "tests" / "fixtures" / "suite_order"
SUITE = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7A2}"
PRODUCTS = ["Orchid", "Pine", "Quartz"]
CODES = {name: f"{{4B1C2D3E-5F60-4A71-8B92-0C1D2E3F4A5{index}}}" for index, name in enumerate(PRODUCTS, 1)}
PAYLOAD_BYTES = 3 * 1000 * 1000
ROUNDS = 3
FAILED = 1603


def order_kit():
    """setup.exe, the suite's SETUP.DCF and a folder per product with its
    package of 3 MB, built here around a payload that does not compress."""
    world = current_world()
    build = world.folder / "packages"
    build.mkdir()
    shutil.copy(FIXTURE / "order_product.wxs", build)
    (build / "payload.bin").write_bytes(os.urandom(PAYLOAD_BYTES))
    kit = world.folder / "kit"
    kit.mkdir()
    shutil.copy(BUILD / "setup.exe", kit)
    shutil.copy(FIXTURE / "SETUP.DCF", kit)
    for index, name in enumerate(PRODUCTS, 1):
        package = f"{name.lower()}.msi"
        subprocess.run(["wixl", "-D", f"Index={index}", "-D", f"Name={name}", "-o", package, "order_product.wxs"],
                       cwd=build, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=60)
        (kit / name).mkdir()
        shutil.move(build / package, kit / name / package)
    return kit


@pytest.fixture
def busy_cores():
    """A loop on every core, for as long as the test runs: the order must not
    depend on which thread the scheduler happens to wake first."""
    loops = [subprocess.Popen([sys.executable, "-c", "while True: pass"], preexec_fn=end_with_parent,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
             for _ in range(os.cpu_count() or 1)]
    try:
        yield
    finally:
        for loop in loops:
            loop.kill()
        for loop in loops:
            loop.wait()


def started(messages, verb):
    """The products whose packages started installing or uninstalling, in order."""
    names = []
    for message in messages:
        match = re.match(rf"^   {verb} Package: '([^']*)'", message)
        if match:
            target = match.group(1)
            names += [name for name in PRODUCTS if target.lower().endswith(f"\\{name.lower()}.msi")
                      or target == CODES[name]]
    return names


def test_packages_install_and_uninstall_in_sequence_order_on_a_busy_machine(test_world, busy_cores):
    kit = order_kit()
    for round_number in range(ROUNDS):
        code, messages = run_kit(kit)
        assert code == 0, messages[-8:]
        assert started(messages, "Installing") == PRODUCTS, f"round {round_number}"
        assert [installed(CODES[name]) for name in PRODUCTS] == [True, True, True]

        code, messages = uninstall_suite(SUITE, test_world.folder / f"logs-uninstall-{round_number}")
        assert code == 0, messages[-8:]
        assert started(messages, "Uninstalling") == PRODUCTS[::-1], f"round {round_number}"
        assert [installed(CODES[name]) for name in PRODUCTS] == [False, False, False]
        assert not suite_left(SUITE)


def test_failing_first_package_starts_none_of_the_later_ones(test_world):
    kit = order_kit()
    code, messages = run_kit(kit, "/qn FAIL1=1")
    assert code == FAILED, messages[-8:]
    assert started(messages, "Installing") == ["Orchid"]
    assert [installed(CODES[name]) for name in PRODUCTS] == [False, False, False]
    assert not suite_left(SUITE)
