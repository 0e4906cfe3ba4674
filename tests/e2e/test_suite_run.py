"""setup.exe /qn installs, repairs and removes real suites of packages: two
suites share a product, which stays exactly as long as a suite uses it;
each suite is registered with an uninstall command that starts its cached
copy; a package that fails rolls back everything its run did."""
import re
import shutil
import subprocess

from conftest import BUILD, LINE, REPO, current_world, prefix_drive_c, run_windows, windows_path, \
    wine_environment

PACKAGES = BUILD / "fixtures" / "msi"
ONE = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E1}"
TWO = "{3F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E2}"
ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"
BETA = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"
DELTA = "{9E4C6A53-AF51-4A84-8F3D-41526D7E8F91}"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
FAILED = 1603


def suite_kit(name):
    """setup.exe, the suite's SETUP.DCF and a folder per product with its
    package; the suite's bin folder and product folders when it has them
    (the sample's licence and descriptions)."""
    kit = current_world().folder / name
    kit.mkdir()
    shutil.copy(BUILD / "setup.exe", kit)
    fixture = REPO / "tests" / "fixtures" / name
    dcf = fixture / "SETUP.DCF"
    shutil.copy(dcf, kit / "SETUP.DCF")
    if (fixture / "bin").is_dir():
        shutil.copytree(fixture / "bin", kit / "bin")
    for product in re.search(r"^Products=(.*)$", dcf.read_text(), re.M).group(1).strip().split(","):
        if (fixture / product).is_dir():
            shutil.copytree(fixture / product, kit / product)
        else:
            (kit / product).mkdir()
        package = re.search(rf"^\[Setup\.{product}\]\s*^PackageName=(\S+)", dcf.read_text(), re.M)
        shutil.copy(PACKAGES / (package.group(1) if package else product.lower() + ".msi"), kit / product)
    return kit


def read_messages(path):
    """The log's messages; a system text quoted in a line may carry its own
    line break, and its rest joins the line it belongs to."""
    messages = []
    for line in path.read_bytes().decode("utf-16-le").split("\r\n"):
        match = LINE.match(line)
        if match:
            messages.append(match.group(1))
        elif messages:
            messages[-1] += line
    return messages


def run_setup(program, logs, raw_args):
    env = {"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}
    result = run_windows(program, env=env, remove_env=(), raw_args=raw_args)
    return result.code, read_messages(logs / "VELL_SETUP.LOG")


def run_kit(kit, raw_args="/qn"):
    shutil.rmtree(kit / "logs", ignore_errors=True)
    return run_setup(kit / "setup.exe", kit / "logs", raw_args)


def registry(key, view):
    """The values of an HKLM key in one view ({} when it is missing): name to
    text, a multi-string as a list."""
    out = current_world().out / "reg.out"
    with open(out, "wb") as handle:
        subprocess.run(["wine", "reg", "query", key, "/reg:" + view], stdout=handle,
                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=wine_environment(),
                       timeout=60, check=False)
    values = {}
    for line in out.read_bytes().decode("utf-8", "replace").splitlines():
        match = re.match(r"^\s{4}(\S.*?)\s{4}(REG_\w+)\s{4}(.*)$", line.rstrip("\r"))
        if match:
            name, kind, data = match.groups()
            values[name] = [item for item in data.split("\\0") if item] if kind == "REG_MULTI_SZ" else data
    return values


def installed(code):
    return run_windows(BUILD / "product_state.exe", [code]).code == 105


def drive_c_path(text):
    return prefix_drive_c() / text[3:].replace("\\", "/")


def uninstall_suite(suite, logs):
    """Runs the uninstall command of the suite's record, as the programs list would."""
    command = registry(UNINSTALL + suite, "32")["UninstallString"]
    program, arguments = re.match(r'^"([^"]+)" (.*)$', command).groups()
    return run_setup(drive_c_path(program), logs, arguments)


def references(code):
    values = registry(UNINSTALL + code, "32")
    return values.get("UsedBy"), values.get("RefCount")


def pending_deletions():
    values = registry("HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "64")
    return values.get("PendingFileRenameOperations", [])


def suite_left(suite):
    """The suite's record in either view, or its cache. The cached setup.exe
    that ran the uninstall cannot delete itself: it may stay, scheduled for
    deletion at the restart, and its folder after it."""
    cache = prefix_drive_c() / "ProgramData" / "Uninstall" / suite
    left = [p for p in cache.rglob("*") if p.is_file()] if cache.exists() else []
    running = cache / "setup.exe"
    folder = f"\\??\\C:\\ProgramData\\Uninstall\\{suite}"
    pending = [entry.lower() for entry in pending_deletions()]
    order = [pending.index(p) if p in pending else -1 for p in (folder.lower() + "\\setup.exe", folder.lower())]
    if left == [running] and -1 < order[0] < order[1]:
        left = []
    return bool(registry(UNINSTALL + suite, "32") or registry(UNINSTALL + suite, "64") or left)


def test_shared_product_stays_as_long_as_a_suite_uses_it(test_world):
    one, two = suite_kit("suite_one"), suite_kit("suite_two")
    code, messages = run_kit(one)
    assert code == 0, messages[-5:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, True]
    assert references(BETA) == ([ONE], "0x1")
    record = registry(UNINSTALL + ONE, "32")
    assert record["DisplayName"] == "Tamsa Suite One"
    cache = "C:\\ProgramData\\Uninstall\\" + ONE
    assert record["UninstallString"] == f'"{cache}\\setup.exe" /x {ONE} /qn {{lang}}=ENU'
    assert record["InstallLocation"] == "C:\\Program Files (x86)\\Tamsa\\Tamsa Suite One"
    assert registry(UNINSTALL + ONE, "64") == {}
    for name in ("setup.exe", "setup.dcf", "Alpha.dcf", "Beta.dcf", "Delta.dcf"):
        assert (drive_c_path(cache) / name).is_file()

    code, messages = run_kit(two)
    assert code == 0, messages[-5:]
    assert references(ALPHA) == ([ONE, TWO], "0x2")
    assert references(BETA) == ([ONE, TWO], "0x2")

    code, messages = uninstall_suite(ONE, test_world.folder / "logs-one")
    assert code == 0, messages[-5:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, False]
    assert references(ALPHA) == ([TWO], "0x1")
    assert references(BETA) == ([TWO], "0x1")
    assert not suite_left(ONE)
    assert registry(UNINSTALL + TWO, "32")["DisplayName"] == "Tamsa Suite Two"

    # An unattended removal with a progress window asks nothing: it ends by itself.
    cached_two = prefix_drive_c() / "ProgramData" / "Uninstall" / TWO / "setup.exe"
    code, messages = run_setup(cached_two, test_world.folder / "logs-two", f"/x {TWO} /qb-")
    assert code == 0, messages[-5:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]
    assert not suite_left(TWO)
    assert all(registry(UNINSTALL + p, "32") == {} for p in (ALPHA, BETA, DELTA))


def test_failing_package_rolls_back_what_its_run_did(test_world):
    one, two = suite_kit("suite_one"), suite_kit("suite_two")
    # On a clean machine: Beta is installed first, then removed again, and
    # Alpha, after the failing Delta, never runs.
    code, messages = run_kit(one, "/qn FAILME=1")
    assert code == FAILED
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]
    assert not suite_left(ONE)
    assert "Aborting on error code 1603" in messages

    # Alpha and Beta belong to suite Two: they stay, without suite One's
    # reference that this run added to Beta.
    assert run_kit(two)[0] == 0
    code, messages = run_kit(one, "/qn FAILME=1")
    assert code == FAILED
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [True, True, False]
    assert references(ALPHA) == ([TWO], "0x1")
    assert references(BETA) == ([TWO], "0x1")
    assert not suite_left(ONE)


def test_repair_brings_back_a_deleted_file(test_world):
    one = suite_kit("suite_one")
    assert run_kit(one)[0] == 0
    viewer = prefix_drive_c() / "Program Files (x86)" / "TamsaBeta" / "viewer.bin"
    assert viewer.is_file()
    viewer.unlink()
    # The programs list repairs through the cached copy, which knows the products.
    cached = prefix_drive_c() / "ProgramData" / "Uninstall" / ONE / "setup.exe"
    code, messages = run_setup(cached, test_world.folder / "logs-repair", f"/qn /f {ONE}")
    assert code == 0, messages[-5:]
    assert viewer.is_file()
    assert references(BETA) == ([ONE], "0x1")
    assert registry(UNINSTALL + ONE, "32")["DisplayName"] == "Tamsa Suite One"

    # A repair whose package fails is a failure, not a forgiven cancel.
    code, messages = run_setup(cached, test_world.folder / "logs-failed-repair", f"/qn /f {ONE} FAILME=1")
    assert code == FAILED, messages[-5:]
    assert [installed(p) for p in (BETA, DELTA)] == [True, True]


def test_clean_system_removes_the_suite_by_its_group(test_world):
    one = suite_kit("suite_one")
    assert run_kit(one)[0] == 0
    # A removal that fails is no clean system: its code ends the run.
    code, messages = run_kit(one, "/qn CleanSystem=1 FAILME=1")
    assert code == FAILED, messages[-8:]
    assert installed(DELTA)
    code, messages = run_kit(one, "/qn CleanSystem=1")
    assert code == 0, messages[-5:]
    assert [installed(p) for p in (ALPHA, BETA, DELTA)] == [False, False, False]
    assert not suite_left(ONE)


def test_clean_system_of_a_machine_without_the_suite(test_world):
    one = suite_kit("suite_one")
    code, messages = run_kit(one, "/qn CleanSystem=1")
    assert code == 0, messages[-8:]
    assert f"   {BETA} is not installed; nothing to remove" in messages
