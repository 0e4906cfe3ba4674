"""The verify actions in a prefix of their own: the checks run by a probe
program named setup.exe, so that a per-program Windows version of Wine
(HKCU\\Software\\Wine\\AppDefaults\\setup.exe) makes it see another system;
and setup.exe itself failing a suite on its platform check."""
import functools
import http.server
import shutil
import subprocess
import threading

import pytest

from conftest import BUILD, current_world, prefix_drive_c, read_log, run_windows, windows_path, wine_environment
from test_system_facts import reg

ALPHA_CODE = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"  # version 3.58.94


@pytest.fixture
def probe_kit(kit):
    shutil.copy(BUILD / "verify_probe.exe", kit / "setup.exe")
    shutil.copy(BUILD / "verify_check.dll", kit)
    return kit


def windows_version(version):
    reg("add", r"HKCU\Software\Wine\AppDefaults\setup.exe", "/v", "Version", "/d", version, "/f")


def check(kit, *args):
    """One run with a log of its own."""
    shutil.rmtree(kit / "logs", ignore_errors=True)
    env = {"KWSETUP": windows_path(kit / "logs") + "\\probe.log"}
    result = run_windows(kit / "setup.exe", list(args), env=env, remove_env=())
    messages = read_log(kit / "logs" / "VELL_SETUP.LOG")
    return result.code, messages


@pytest.mark.parametrize("version, platforms, allow_win64, code, last_error", [
    (None, "NT:6.1:1", "", 0, 0),          # Wine's default: Windows 7 SP1
    (None, "NT:6.1:2", "", 1247, 1150),
    (None, "9X:4.10", "", 1247, 1150),
    (None, "", "no", 1247, 1150),          # a 32-bit program in a 64-bit prefix
    ("winxp", "NT:5.1:2,NT:6.0", "", 0, 0),
    ("winxp", "NT:5.1:3.1", "", 1247, 1150),
    ("winxp", "NT:6.0,NT:5.0", "", 1247, 1150),  # the first NT entry decides
    ("win10", "NT:6.2", "", 0, 0),
    ("win10", "NT:10.0", "", 1247, 1150),
])
def test_platform_check_follows_the_version_the_program_sees(probe_kit, version, platforms, allow_win64, code,
                                                             last_error):
    if version:
        windows_version(version)
    result, messages = check(probe_kit, "qualified", platforms, allow_win64, "", "")
    assert result == code
    assert "Checking if platform qualifies for installation" in messages
    assert (f"   Action VerifyActions.*.IsQualified return code: {code}, last error: {last_error}"
            in messages)
    if allow_win64:
        assert messages[-3:-1] == ["Installation allowed to Win64 = no", "Win64 detected"]


def test_administrator_and_custom_dll_checks(probe_kit):
    code, messages = check(probe_kit, "admin")
    assert code == 0
    assert "   Action VerifyActions.*.Admin return code: 0, last error: 0" in messages
    # A non-elevated administrator's filtered token: the group is there for deny only.
    code, messages = check(probe_kit, "restricted")
    assert code == 1247
    assert "   Action VerifyActions.*.Admin return code: 1247, last error: 1314" in messages

    code, messages = check(probe_kit, "custom", "DLL,verify_check.dll,PassCheck")
    assert code == 0
    assert "verify check: pass for P1 (Product One)" in messages
    code, messages = check(probe_kit, "custom", "DLL,verify_check.dll,FailCheck")
    assert code == 1247
    assert messages[-3:] == ["verify check: fail for P1 (Product One)",
                             "   Custom verify action failed with error code 5",
                             "   Action VerifyActions.P1.Check return code: 1247, last error: 1150"]


@pytest.mark.parametrize("installer, code, last_error, line", [
    ("insmsi_0.exe", 1603, None, "Checking to make sure MSI was properly installed"),
    ("insmsi_3010.exe", 1247, 0x70669, "Reboot skipped after MSI installation; aborting Setup"),
    ("insmsi_1641.exe", 1641, None, "Reboot detected in MSI installation action"),
    ("insmsi_1603.exe", 1603, None, "Failed installing the Windows Installer; error code = 1603"),
])
def test_windows_installer_update_results(probe_kit, installer, code, last_error, line):
    shutil.copy(BUILD / "exit_with.exe", probe_kit / installer)
    # Wine's Windows Installer is 4.5: version 5.0 needs the update.
    result, messages = check(probe_kit, "msi", "5.0", installer)
    assert result == code
    assert "Installing Windows installer" in messages
    assert f"Command Line = \"{windows_path(probe_kit / installer)}\" /Q" in messages
    assert line in messages
    if last_error is not None:
        assert f"   Action VerifyActions.*.EnsureMSI return code: 1247, last error: {last_error}" in messages
    result, messages = check(probe_kit, "msi", "4.0", installer)
    assert result == 0
    assert "Installing Windows installer" not in messages


def test_windows_installer_from_an_address_is_downloaded_run_and_removed(probe_kit):
    served = current_world().folder / "served"
    served.mkdir()
    shutil.copy(BUILD / "exit_with.exe", served / "instmsi.exe")
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=str(served))
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{httpd.server_address[1]}"
    try:
        # The stand-in installer ends with 0 ("/Q" reads as that code); Wine's
        # Windows Installer stays 4.5, so the check still fails afterwards.
        code, messages = check(probe_kit, "msi", "5.0", base + "/instmsi.exe")
        assert code == 1603
        downloading = [m for m in messages if m.startswith("   Downloading '")]
        assert len(downloading) == 1 and downloading[0].endswith(f"' from '{base}/instmsi.exe'")
        command = next(m for m in messages if m.startswith("Command Line = "))
        assert command.endswith('.exe" /Q')
        assert "Checking to make sure MSI was properly installed" in messages
        temps = list(prefix_drive_c().glob("users/*/Temp")) + list(prefix_drive_c().glob("users/*/AppData/Local/Temp"))
        assert temps
        assert not [f for temp in temps for f in temp.glob("msi*.exe")], "the downloaded installer is removed"

        code, messages = check(probe_kit, "msi", "5.0", base + "/missing.exe")
        assert code == 1603
        assert any(m.startswith("   Failed downloading from '" + base + "/missing.exe'") and m.endswith("Error code = 2")
                   for m in messages)
        assert "Unable to install MSI" in messages
    finally:
        httpd.shutdown()
        httpd.server_close()


def test_setup_update_fetches_a_newer_offer_into_the_working_copy(probe_kit):
    from test_suite_run import pending_deletions
    served = current_world().folder / "served"
    (served / "v3").mkdir(parents=True)
    (served / "v3" / "setup.exe").write_bytes(b"new setup")
    (served / "v3" / "SETUP.DCF").write_bytes(b"[Setup]\r\n")
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=str(served))
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{httpd.server_address[1]}"
    # A copy in the machine's temporary folder, as an administrator's run makes it.
    copy, copy_path = prefix_drive_c() / "windows" / "temp" / "ZOLM0A0A", "C:\\windows\\temp\\ZOLM0A0A"
    copy.mkdir()
    (copy / "SETUP.DCF").write_bytes(b"old")
    offer = probe_kit / "offer.xml"
    offer.write_text(f"<update><version>3.0</version><files><file>{base}/v3/setup.exe</file>"
                     f"<file>{base}/v3/SETUP.DCF</file></files></update>")
    try:
        code, messages = check(probe_kit, "update", copy_path, windows_path(offer), "2.0")
        assert code == 0
        assert "   The version of setup available on the update site is: 3.0, and will be downloaded" in messages
        assert f"   Downloading file from '{base}/v3/SETUP.DCF'" in messages
        assert (copy / "setup.exe").read_bytes() == b"new setup"
        assert (copy / "SETUP.DCF").read_bytes() == b"[Setup]\r\n"
        assert sorted(p.name for p in copy.iterdir()) == ["SETUP.DCF", "setup.exe"]
        # Deleted at the next restart: the two fetched files, each with an empty target.
        fetched = [copy_path + "\\setup.exe", copy_path + "\\SETUP.DCF"]
        assert [f for f in fetched] == [m[len("Fetched "):] for m in messages if m.startswith("Fetched ")]
        assert [entry.lower() for entry in pending_deletions()] == [
            ("\\??\\" + path).lower() for path in fetched]

        # Beside a kit, a folder others may change, nothing waits for the restart.
        beside = probe_kit / "copy"
        beside.mkdir()
        (served / "v4").mkdir()
        for name in ("setup.exe", "SETUP.DCF"):
            (served / "v4" / name).write_bytes((served / "v3" / name).read_bytes())
        offer.write_text(offer.read_text().replace("/v3/", "/v4/").replace("3.0", "4.0"))
        code, messages = check(probe_kit, "update", windows_path(beside), windows_path(offer), "2.0")
        assert code == 0 and (beside / "setup.exe").read_bytes() == b"new setup"
        assert f"   '{windows_path(beside)}\\setup.exe' stays after the restart: its folder is not one only " \
               "administrators may change" in messages
        assert len(pending_deletions()) == len(fetched)
        offer.write_text(offer.read_text().replace("/v4/", "/v3/").replace("4.0", "3.0"))

        # The same offer seen by the updated setup is not newer: nothing is fetched again.
        code, messages = check(probe_kit, "update", copy_path, windows_path(offer), "3.0")
        assert code == 2
        assert "   The version of setup available on the update site is: 3.0, and will not be downloaded" in messages
    finally:
        httpd.shutdown()
        httpd.server_close()


def test_upgrade_condition_against_an_installed_package(probe_kit):
    cases = [("3.0-4.0", 0), ("4.0-5.0", 2), ("", 0)]
    for versions, code in cases:
        assert check(probe_kit, "upgrade", ALPHA_CODE, versions)[0] == 2  # not installed yet
    with open(current_world().out / "msiexec.out", "wb") as out:
        subprocess.run(["wine", "msiexec", "/i", windows_path(BUILD / "fixtures" / "msi" / "alpha.msi"), "/qn"],
                       stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=wine_environment(),
                       timeout=120, check=True)
    for versions, code in cases:
        assert check(probe_kit, "upgrade", ALPHA_CODE, versions)[0] == code, versions
    exit_with = windows_path(BUILD / "exit_with.exe")
    assert check(probe_kit, "upgrade", ALPHA_CODE, "", f'"{exit_with}" 0')[0] == 0
    assert check(probe_kit, "upgrade", ALPHA_CODE, "", f'"{exit_with}" 1')[0] == 2


BETA_CODE = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"


@pytest.mark.parametrize("version, platforms, entry, code, line", [
    (None, "NT:5.1", "PassCheck", 0, "verify check: pass for Beta ("),
    (None, "NT:5.1", "FailCheck", 1150, "   Custom verify action failed with error code 5"),
    (None, "NT:10.0", "PassCheck", 1150, "Checking if platform qualifies for installation"),
    ("winxp", "NT:5.1:3", "PassCheck", 0, "Checking if platform qualifies for installation"),
    ("winxp", "NT:6.0", "PassCheck", 1150, "Checking if platform qualifies for installation"),
])
def test_setup_installs_only_when_its_checks_pass(version, platforms, entry, code, line):
    from test_suite_run import installed, run_kit, suite_kit
    kit = suite_kit("verify_suite")
    # A single product's files sit beside setup.exe.
    shutil.copy(BUILD / "fixtures" / "msi" / "beta.msi", kit)
    shutil.copy(BUILD / "verify_check.dll", kit)
    dcf = (kit / "SETUP.DCF").read_text()
    dcf = dcf.replace("Platforms=NT:5.1", "Platforms=" + platforms).replace("PassCheck", entry)
    (kit / "SETUP.DCF").write_text(dcf)
    if version:
        windows_version(version)
    result, messages = run_kit(kit)
    assert result == code
    assert any(message.startswith(line) for message in messages)
    assert installed(BETA_CODE) == (code == 0)
