"""Programs that setup downloads run only when a signed setup.exe's own certificate signed them: the
setup update and an NTMsiInstaller given as an address, from a loopback site, with setup.exe and the
served programs signed here by osslsigncode with certificates made by openssl for the run."""
import shutil
import struct
import subprocess

import pytest

from conftest import BUILD, prefix_drive_c
from test_handover_restart import NAME
from test_pre_install_checks import ALPHA, cached_setup, check_kit, edit_dcf, run_kit, update_site  # noqa: F401
from test_suite_run import installed
from test_verify_actions import check

ONLINE = ("AllowOnlineUpdates=2", "/qn")
UPDATE = f"{NAME}SetupUpdateURL={{site}}/update.xml\n"
TAKEN = "   The file downloaded from '{url}' is signed with this setup's certificate"
UNVERIFIED = "   Setup is not signed: the file downloaded from '{url}' is not verified"
REFUSED = "   The file downloaded from '{url}' is refused: "
OTHER = REFUSED + "it is signed with another certificate than this setup"
NOT_SETUP = "   The setup program from the update site is refused: "


def newer_setup(folder):
    """setup.exe with file version 99.0.0.0 in its version resource (its code holds the signature too)."""
    data = bytearray((BUILD / "setup.exe").read_bytes())
    fixed = data.index(struct.pack("<I", 0xFEEF04BD), data.index("VS_VERSION_INFO".encode("utf-16-le")))
    data[fixed + 8:fixed + 16] = struct.pack("<II", 99 << 16, 0)
    (folder / "setup_99.exe").write_bytes(bytes(data))
    return folder / "setup_99.exe"


def padded(signed, out):
    """The signed program with 1 KB of zeros inside its certificate table."""
    data = bytearray(signed.read_bytes())
    directory = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 128  # PE32: the security entry
    table, size = struct.unpack_from("<II", data, directory)
    struct.pack_into("<I", data, directory + 4, size + 1024)
    struct.pack_into("<I", data, table, struct.unpack_from("<I", data, table)[0] + 1024)
    out.write_bytes(bytes(data + bytes(1024)))
    return out


@pytest.fixture(scope="module")
def programs(tmp_path_factory):
    """setup.exe (also as version 99), the verify probe and the command recorder (version 99, which ends
    with 0 and leaves "<its path>.cmdline" behind): unsigned, signed by A or B, the recorder signed by A
    with one byte changed, and setup.exe 99 signed by A with its certificate table padded."""
    folder = tmp_path_factory.mktemp("signed")
    for signer in ("A", "B"):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", f"/CN=Tamsa Test Publisher {signer}", "-keyout", folder / f"{signer}.key",
                        "-out", folder / f"{signer}.crt"], check=True, capture_output=True)
    made = {("setup_99", None): newer_setup(folder)}
    for program in ("setup", "setup_99", "verify_probe", "command_recorder"):
        made.setdefault((program, None), BUILD / f"{program}.exe")
        for signer in ("A", "B"):
            made[program, signer] = folder / f"{program}_{signer}.exe"
            subprocess.run(["osslsigncode", "sign", "-certs", folder / f"{signer}.crt", "-key",
                            folder / f"{signer}.key", "-in", made[program, None], "-out", made[program, signer]],
                           check=True, capture_output=True)
    data = bytearray(made["command_recorder", "A"].read_bytes())
    data[data.index(b"DOS mode")] ^= 0x20
    made["command_recorder", "A changed"] = folder / "command_recorder_changed.exe"
    made["command_recorder", "A changed"].write_bytes(bytes(data))
    made["setup_99", "A padded"] = padded(made["setup_99", "A"], folder / "setup_99_padded.exe")
    return made


def run_update(kit, address):
    """setup.exe with the site's update; the offered program ran when the suite was not installed, or
    was installed by the offered setup, which left itself as the suite's cached copy."""
    edit_dcf(kit, NAME, UPDATE.format(site=address))
    served = (kit.parent / "site" / "setup.exe").read_bytes()
    code, messages = run_kit(kit, *ONLINE, f"TestConnectionURL={address}/")
    # A refused update leaves the run to its own files, which install the suite.
    return code, not installed(ALPHA) or cached_setup().read_bytes() == served, messages


def run_installer(kit, address):
    """The Windows Installer update from the site, run by the verify probe as setup.exe (setup.exe
    itself asks for no version that Wine's 4.5 lacks)."""
    code, messages = check(kit, "msi", "5.0", f"{address}/instmsi.exe")
    temps = list(prefix_drive_c().glob("users/*/Temp")) + list(prefix_drive_c().glob("users/*/AppData/Local/Temp"))
    return code, any(found for temp in temps for found in temp.glob("msi*.exe.cmdline")), messages


# id: (run, its program signed by, served files: name -> signer of the recorder (or "text"), exit
# code, the served program ran, the file the log speaks of and what it says)
CASES = {
    "newer-setup-of-the-same-signer-taken": (run_update, "A", {"setup.exe": ("setup_99", "A")}, 0, True,
                                             "setup.exe", TAKEN),
    # The publisher's other programs carry the same signature.
    "other-program-of-the-same-signer-refused": (run_update, "A", {"setup.exe": "A"}, 0, False, "setup.exe",
                                                 NOT_SETUP + "it is another program than this setup"),
    "padded-certificate-table-refused": (run_update, "A", {"setup.exe": ("setup_99", "A padded")}, 0, False,
                                         "setup.exe", REFUSED + "its certificate table holds bytes beyond its "
                                         "signature"),
    "unsigned-update-refused": (run_update, "A", {"setup.exe": None}, 0, False, "setup.exe",
                                REFUSED + "it is not a signed program"),
    "update-of-another-signer-refused": (run_update, "A", {"setup.exe": "B"}, 0, False, "setup.exe", OTHER),
    "changed-update-refused": (run_update, "A", {"setup.exe": "A changed"}, 0, False, "setup.exe",
                               REFUSED + "it was changed after it was signed"),
    # A configuration carries no signature: a signed setup cannot tell whose it is.
    "update-with-a-configuration-refused": (run_update, "A", {"setup.exe": "A", "SETUP.DCF": "text"}, 0, False,
                                            "SETUP.DCF", REFUSED + "it is not a signed program"),
    "unsigned-setup-takes-the-update-unverified": (run_update, None, {"setup.exe": None}, 0, True, "setup.exe",
                                                   UNVERIFIED),
    "installer-of-the-same-signer-runs": (run_installer, "A", {"instmsi.exe": "A"}, 1603, True, "instmsi.exe",
                                          TAKEN),
    "installer-of-another-signer-refused": (run_installer, "A", {"instmsi.exe": "B"}, 1603, False, "instmsi.exe",
                                            OTHER),
}


@pytest.mark.parametrize("case", CASES)
def test_downloaded_program_runs_only_when_signed_by_setups_signer(check_kit, update_site, programs, case):
    run, own, served, code, ran, named, reason = CASES[case]
    site, address = update_site
    shutil.copy(programs["setup" if run is run_update else "verify_probe", own], check_kit / "setup.exe")
    for name, signer in served.items():
        if signer == "text":
            (site / name).write_text("[Setup]\n")
        else:
            shutil.copy(programs[signer if isinstance(signer, tuple) else ("command_recorder", signer)], site / name)
    files = "".join(f"<file>{address}/{name}</file>" for name in served)
    (site / "update.xml").write_text(f"<update><version>99.0.0.0</version><files>{files}</files></update>")
    result, program_ran, messages = run(check_kit, address)
    assert (result, program_ran) == (code, ran), messages[-5:]
    line = reason.format(url=f"{address}/{named}")
    assert any(message.startswith(line) for message in messages), messages[-12:]
