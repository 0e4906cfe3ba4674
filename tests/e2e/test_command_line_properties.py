"""setup.exe's command line end to end: the property-map dump at the end of
the run shows the command line winning over SETUP.DCF, the system folders of
the replacement map and the dynamic properties; bad command lines end with
1639 and a clear log line."""
import shutil

import pytest

from conftest import BUILD, read_log, run_messages, run_windows, windows_path

DCF = (b"[Setup]\r\n"
       b"Products=Tool\r\n"
       b"[Setup.Tool]\r\n"
       b"PackageName=tool.exe\r\n"
       b"[Property]\r\n"
       b"ProductName=0x530x750x690x740x65\r\n"
       b"DynamicProperties=Alpha,Beta,Gamma\r\n"
       b"Alpha=from dcf\r\n"
       b"Beta=dcf only\r\n"
       b"Gamma={SetupDir}\\data\r\n"
       b"OnlineAccess=1\r\n")


@pytest.fixture
def setup_kit(kit):
    shutil.copy(BUILD / "setup.exe", kit)
    (kit / "SETUP.DCF").write_bytes(DCF)
    return kit


def run_setup(kit, raw_args):
    env = {"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log"}
    result = run_windows(kit / "setup.exe", env=env, remove_env=(), raw_args=raw_args)
    return result.code, read_log(kit / "logs" / "VELL_SETUP.LOG")


def package_log_switch(kit):
    return ' /L*v "' + windows_path(kit / "logs") + '\\TAM_{ProductID}.log"'


def dump(messages, heading):
    """The "   name = value" lines that follow a heading of the dump."""
    start = messages.index(heading) + 1
    lines = {}
    for message in messages[start:]:
        if not message.startswith("   ") or " = " not in message:
            break
        name, value = message[3:].split(" = ", 1)
        lines[name] = value
    return lines


def test_property_dump_shows_command_line_winning(setup_kit):
    code, messages = run_setup(
        setup_kit,
        '/qn Alpha=cmd INSTALLDIR="C:\\my apps" /Silent /NoPrompt REBOOT="ReallySuppress" '
        'UEIP=1 NO_ONLINE_ACCESS=1 InstallSource=C:\\src')
    assert code == 0
    properties = dump(messages, "Listing all PropertyMap (DynamicProperties) keys and values:")
    replacements = dump(messages, "Listing all ReplacementMap keys and values:")

    assert properties["Alpha"] == "cmd"                 # the command line wins
    assert properties["Beta"] == "dcf only"             # a dynamic property
    assert properties["Gamma"] == "{SetupDir}\\data"
    assert properties["INSTALLDIR"] == '"C:\\my apps"'  # as written, quotes kept
    assert properties["REBOOT"] == '"ReallySuppress"'
    assert properties["NO_ONLINE_ACCESS"] == "1"        # the configuration does not overrule it
    assert properties["ProductName"] == "Suite"
    assert properties["UILevel"] == "2"
    assert properties["SetupVersion"] == "3.58.94.0"
    assert properties["DcfSchemaVersionCheck"] == "1.0"
    assert properties["LogPath"] == windows_path(setup_kit)

    # Wine's WoW64 prefix: a 32-bit program sees both Program Files folders.
    assert replacements["{ProgramFilesFolder}"] == "C:\\Program Files (x86)"
    assert replacements["{ProgramFilesFolder64}"] == "C:\\Program Files"
    assert replacements["{AllUsersAppData}"] == "C:\\ProgramData"
    assert replacements["{SetupDir}"] == windows_path(setup_kit)
    assert replacements["{InstallerDir}"] == '"' + windows_path(setup_kit) + '\\"'
    # The engine's own switches and settings stay out of the packages' line;
    # the packages log where the setup logs.
    assert replacements["{setupparams}"] == (
        ' /qn ALPHA=cmd INSTALLDIR="C:\\my apps" NO_ONLINE_ACCESS=1 REBOOT=ReallySuppress'
        + package_log_switch(setup_kit))
    assert "Module filename: " + windows_path(setup_kit) + "\\setup.exe" in messages
    assert any(m.startswith("Setup command line: ") and m.endswith(" InstallSource=C:\\src")
               for m in messages)
    assert "Worker exiting with status code: 00000000, ResultCode = 0" in messages


def test_unclosed_quote_runs_to_the_end(setup_kit):
    code, messages = run_setup(setup_kit, '/qn Alpha="x y')
    assert code == 0
    properties = dump(messages, "Listing all PropertyMap (DynamicProperties) keys and values:")
    replacements = dump(messages, "Listing all ReplacementMap keys and values:")
    assert properties["Alpha"] == '"x y'
    assert replacements["{setupparams}"] == (' /qn ALPHA="x y" REBOOT=ReallySuppress'
                                             + package_log_switch(setup_kit))


@pytest.mark.parametrize("raw_args, reason", [
    ("/qn /", "Switch without a letter: /"),
    ("/qn /s99999999999", "Invalid start sequence: /s99999999999"),
    ("/qn =x", "Property without a name: =x"),
    ('/qn /s"12', 'Invalid start sequence: /s"12"'),
    ("/qn REBOOT=Yes", "Unknown REBOOT value: Yes"),
    ("/qn X=" + "a" * 10000, "The command line is too long: 10006 characters"),
    ("/x /qn", "Nothing follows the switch: /x"),
], ids=["lone-slash", "huge-s", "no-name", "unclosed-quote", "bad-reboot", "10000-chars", "x-without-suite"])
def test_bad_command_line_ends_with_1639(setup_kit, raw_args, reason):
    code, messages = run_setup(setup_kit, raw_args)
    assert code == 1639
    assert "The command line is not valid: " + reason in messages
    assert "Caught thrown dword 1639" in messages
    assert run_messages(messages)[-1] == "Worker routine returned error code = 1639"
