"""Hand-overs of unattended runs, read from the machine afterwards: a source.ini never loops and
keeps the caller's /qn."""
import shutil

import pytest

from conftest import BUILD, run_windows, windows_path
from test_pre_install_checks import ALPHA, DCF, PACKAGES, edit_dcf
from test_system_facts import reg
from test_suite_run import installed
from test_unattended_runs import RUN_ONCE, setup_processes, work_copies_left


@pytest.fixture(scope="module")
def world(tmp_path_factory):
    """The kit the rows copy."""
    kit = tmp_path_factory.mktemp("kits") / "kit"
    for product in ("Alpha", "Beta"):
        (kit / product).mkdir(parents=True)
        shutil.copy(PACKAGES / f"{product.lower()}.msi", kit / product)
    for name in ("setup.exe", "SETUP.DCF"):
        shutil.copy({"SETUP.DCF": DCF}.get(name, BUILD / name), kit / name)
    yield kit, None


def source_ini(folder, target, arguments):
    """`folder` hands over to the setup.exe in `target`."""
    program = windows_path(target / "setup.exe")
    (folder / "source.ini").write_text(f"[All]\r\nInstallSourceProg={program}\r\n"
                                       f"InstallSourceCmd=\"{program}\"{arguments}\r\nInstallSourceIni=SETUP.DCF\r\n")


def hand_over_folder(kit, arguments):
    """A folder whose source.ini hands over to the kit."""
    hand = kit.parent / "hand"
    hand.mkdir()
    for name in ("setup.exe", "SETUP.DCF"):
        shutil.copy(kit / name, hand)
    source_ini(hand, kit, arguments)
    return hand


# id: (DCF edits, prepared by, arguments, exit code, Alpha installed, RunOnce entries (name: text in
# its value), further check)
CASES = {
    "source-ini-names-its-own-setup": ([], lambda kit: source_ini(kit, kit, " /qn"), ("/qn",), 13, False, {}, None),
    "source-inis-name-each-other": ([], lambda kit: source_ini(kit, hand_over_folder(kit, " /qn"), " /qn"), ("/qn",),
                                    13, False, {}, None),
    "source-ini-keeps-the-callers-level": ([], lambda kit: hand_over_folder(kit, ""), ("/qn",), 0, True, {}, None),
}


def run_once_entries():
    lines = [line.split(None, 2) for line in reg("query", RUN_ONCE, "/reg:32").stdout.splitlines()]
    return {parts[0]: parts[2] for parts in lines if len(parts) == 3 and parts[1] == "REG_SZ"}


@pytest.mark.parametrize("case", CASES)
def test_handed_over_or_restarted_run_ends_as_it_should(test_world, world, case):
    edits, prepare, args, code, alpha, entries, check = CASES[case]
    (kits, address), kit = world, test_world.folder / "kit"
    shutil.copytree(kits, kit)
    for old, new in edits:
        edit_dcf(kit, old, new.format(site=address))
    program = (prepare(kit) if prepare else None) or kit
    args = [*(arg.format(site=address) for arg in args), "/L*v", windows_path(kit / "logs")]
    assert run_windows(program / "setup.exe", args, timeout=300).code == code
    # The run and every setup it handed over to have ended.
    assert not setup_processes()
    assert installed(ALPHA) == alpha
    found = run_once_entries()
    assert sorted(found) == sorted(entries)
    assert all(text in found[entry] for entry, text in entries.items()), found
    assert not work_copies_left()
    if check:
        check(kit, found)
