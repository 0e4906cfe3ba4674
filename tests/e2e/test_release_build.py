"""The setup.exe users download: stripped, with its debug information in the
file beside it that its debug link names, checksum included, so a debugger
takes that file and no stale one."""
import re
import struct
import subprocess
import zlib

from conftest import BUILD


def section_names(path):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-h", str(path)], capture_output=True, text=True,
                          check=True).stdout
    return re.findall(r"^\s*\d+\s+(\S+)\s", dump, re.MULTILINE)


def test_shipped_program_is_stripped_and_links_its_debug_information(test_world):
    program = BUILD / "setup.exe"
    assert not [name for name in section_names(program) if name.startswith(".debug")]
    link = test_world.out / "debuglink.bin"
    subprocess.run(["i686-w64-mingw32-objcopy", f"--dump-section=.gnu_debuglink={link}", str(program),
                    str(test_world.out / "scratch.exe")], check=True)
    data = link.read_bytes()
    name = data.split(b"\0")[0].decode()
    assert name == "setup.exe.debug"
    debug = BUILD / name
    checksum = zlib.crc32(debug.read_bytes())
    assert struct.unpack("<I", data[-4:])[0] == checksum, "the debug file is not this build's"
    assert ".debug_info" in section_names(debug)
    # A guard against shipping unstripped (about 20 MB), not a size budget.
    assert program.stat().st_size < 6 * 1024 * 1024
