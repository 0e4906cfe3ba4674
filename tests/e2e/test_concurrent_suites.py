"""Two different suites that share products, started together as a
deployment tool starts them: both install; one's programs-list removal
while the other installs; one's upgrade that drops a shared product while
the other installs. Each pairing runs in either order, with a small random
delay, for a few rounds. Whatever the order the runs took, the machine must
agree with both exit codes: a suite whose install ended 0 is registered and
counted by each of its installed products, one whose removal ended 0 is
counted by none, and a product is installed exactly while a suite counts it.
Also a product a killed run left counted but not installed is installed
again by the next suite that includes it, and kept for its suite when that
run fails."""
import random
import re
import shutil
import subprocess
import time

import pytest

from conftest import BUILD, REPO, current_world, prefix_drive_c, run_windows, windows_path, wine_environment
from test_shared_suites import ORCHID, ORCHID_2, PINE, QUARTZ, SUITE_A as GARDEN_A, SUITE_B as GARDEN_B, \
    garden_kit
from test_suite_run import ALPHA, BETA, ONE, PACKAGES, TWO, UNINSTALL, drive_c_path, installed, \
    read_messages, references, registry, run_setup, suite_kit, suite_left
from test_system_facts import reg

SAMPLE = (REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF").read_text()
SUITE = re.search(r"^UUID=(.*?)\s*$", SAMPLE, re.M).group(1)
OTHER = SUITE[:-3] + "72}"
ROUNDS = 2


def sample_kit(name, uuid):
    kit = current_world().folder / name
    kit.mkdir()
    shutil.copy(BUILD / "setup.exe", kit)
    (kit / "SETUP.DCF").write_text(SAMPLE.replace(SUITE, uuid).replace("=TamsaSample", "=Tamsa" + name))
    for product in ("Alpha", "Beta", "Gamma"):
        (kit / product).mkdir()
        shutil.copy(PACKAGES / (product.lower() + ".msi"), kit / product)
    return kit


def start(name, program, raw_args):
    """setup.exe started through the launcher, its log in a folder of its own."""
    out = current_world().out
    logs = current_world().folder / ("logs-" + name)
    (out / (name + ".args")).write_bytes(raw_args.encode("utf-8"))
    env = wine_environment({"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}, ())
    handle = open(out / (name + ".out"), "wb")
    process = subprocess.Popen(["wine", str(BUILD / "exit_code_launcher.exe"), "--args-file",
                                windows_path(out / (name + ".args")), windows_path(program)],
                               stdout=handle, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
    return name, process, handle, logs


def finish(run):
    name, process, handle, logs = run
    process.wait(timeout=900)
    handle.close()
    found = re.findall(r"exit code: (\d+)", (current_world().out / (name + ".out")).read_text("utf-8", "replace"))
    assert found, f"{name}: the launcher gave no exit code"
    return int(found[-1]), read_messages(logs / "VELL_SETUP.LOG")


def registered_uninstall(suite):
    """The program and arguments of the suite's programs-list entry."""
    program, arguments = re.match(r'^"([^"]+)" (.*)$', registry(UNINSTALL + suite, "32")["UninstallString"]).groups()
    return drive_c_path(program), arguments


def sample_pairing(kind):
    a = sample_kit("a", SUITE)
    b = sample_kit("b", OTHER)
    if kind == "install":
        return [("a", a / "setup.exe", "/qn", SUITE, "install"), ("b", b / "setup.exe", "/qn", OTHER, "install")]
    assert run_setup(a / "setup.exe", current_world().folder / "logs-before", "/qn")[0] == 0
    return [("a",) + registered_uninstall(SUITE) + (SUITE, "remove"), ("b", b / "setup.exe", "/qn", OTHER, "install")]


def garden_pairing(_):
    assert run_setup(garden_kit("garden_a") / "setup.exe", current_world().folder / "logs-before",
                     "/qn PINEGATE=1")[0] == 0
    return [("a", garden_kit("garden_a_v2") / "setup.exe", "/qn", GARDEN_A, "install"),
            ("b", garden_kit("garden_b") / "setup.exe", "/qn", GARDEN_B, "install")]


# id: (how the pair is made, its argument, the products the suites share or dropped, each suite's members)
CASES = {
    "both-install": (sample_pairing, "install", (ALPHA, BETA), {SUITE: (ALPHA, BETA), OTHER: (ALPHA, BETA)}),
    "removal-while-install": (sample_pairing, "remove", (ALPHA, BETA), {SUITE: (ALPHA, BETA), OTHER: (ALPHA, BETA)}),
    "upgrade-drops-while-install": (garden_pairing, None, (ORCHID, ORCHID_2, PINE, QUARTZ),
                                    {GARDEN_A: (ORCHID_2, QUARTZ), GARDEN_B: (PINE, QUARTZ)}),
}


@pytest.mark.parametrize("round_", range(ROUNDS))
@pytest.mark.parametrize("order", ["a-first", "b-first"])
@pytest.mark.parametrize("case", CASES)
def test_suites_run_together_agree_with_their_exit_codes(test_world, case, order, round_):
    make, argument, products, members = CASES[case]
    pair = make(argument)
    if order == "b-first":
        pair.reverse()
    runs = []
    for name, program, raw_args, _, _ in pair:
        runs.append(start(name, program, raw_args))
        time.sleep(random.uniform(0, 0.15))
    results = [finish(run) for run in runs]
    for (name, _, _, suite, kind), (code, messages) in zip(pair, results):
        # The second waits for the first's product changes and then does its own.
        assert code == 0, (name, messages[-8:])
        users = {p: references(p)[0] or [] for p in products}
        if kind == "install":
            assert registry(UNINSTALL + suite, "32"), f"{name}: its suite is not registered"
            assert all(installed(p) and suite in users[p] for p in members[suite]), (name, users)
        else:
            assert not suite_left(suite) and not any(suite in u for u in users.values()), (name, users)
    # Nothing installed that no suite counts, nothing counted that is gone.
    assert {p: installed(p) for p in products} == {p: bool(references(p)[0]) for p in products}


# id: (the suite installed first, its product then removed behind its back, the next kit and its
#      arguments, that run's exit code, the product's users at the end)
COUNTED_BUT_GONE = {
    "another-suite-installs-it-again": (("sample", SUITE), ALPHA, ("sample", OTHER), "/qn", 0, [SUITE, OTHER]),
    # The run installs it again, then fails: its rollback leaves it to the suite that counts it.
    "a-failed-run-leaves-it-to-its-suite": (("suite_two", TWO), BETA, ("suite_one", ONE), "/qn FAILME=1", 1603,
                                            [TWO]),
}


def any_kit(name, uuid):
    """The sample under `uuid`, or a suite fixture by its name."""
    return sample_kit("a" if uuid == SUITE else "b", uuid) if name == "sample" else suite_kit(name)


@pytest.mark.parametrize("case", COUNTED_BUT_GONE)
def test_a_counted_product_that_is_not_installed_is_installed_again(test_world, case):
    first, product, second, raw_args, code, users = COUNTED_BUT_GONE[case]
    assert run_setup(any_kit(*first) / "setup.exe", test_world.folder / "logs-first", "/qn")[0] == 0
    # As a run killed inside the package leaves it: the product gone, its entry still listing the suite.
    run_windows(prefix_drive_c() / "windows" / "system32" / "msiexec.exe", ["/x", product, "/qn"])
    assert not installed(product)
    for value in (["RefCount", "/t", "REG_DWORD", "/d", "1"], ["UsedBy", "/t", "REG_MULTI_SZ", "/d", first[1]],
                  ["UninstallString", "/d", f"MsiExec.exe /X{product}"]):
        reg("add", UNINSTALL + product, "/v", *value, "/f", "/reg:32")
    result, messages = run_setup(any_kit(*second) / "setup.exe", test_world.folder / "logs-second", raw_args)
    assert result == code, messages[-8:]
    assert installed(product) and sorted(references(product)[0]) == sorted(users)
