"""Archives written by our ZIP library (through the native zip_tool) are
tested and extracted by Info-ZIP, 7-Zip and Python's zipfile with identical
contents, and archives those tools write are read and appended to by us."""
import io
import os
import pathlib
import random
import shutil
import subprocess
import zipfile

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
TOOL = REPO / "build" / "native" / "zip_tool"


def run(args, cwd, ok=True):
    result = subprocess.run([str(a) for a in args], cwd=cwd, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=120)
    if ok:
        assert result.returncode == 0, result.stdout.decode(errors="replace")
    return result


def make_tree(root):
    """Log files as a setup run leaves them, and a few awkward ones."""
    rng = random.Random(15)
    files = {}
    setup_log = "".join(f"12/07/2026 08:{i % 60:02d}:{i % 53:02d}  Action {i}: return code {i % 7}.\r\n"
                        for i in range(3000))
    files["logs/setup.log"] = ("\ufeff" + setup_log).encode("utf-16-le")
    files["logs/products/product.log"] = "".join(
        f"MSI (s) (1C:{i % 97:02X}) [08:00:{i % 60:02d}]: Component: C{i}; State: Local\r\n"
        for i in range(4000)).encode("ascii")
    files["logs/random.bin"] = bytes(rng.getrandbits(8) for _ in range(70000))
    files["logs/empty.log"] = b""
    files["logs/tiny.log"] = b"abcd"
    for name, data in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return files


def zipfile_contents(path):
    with zipfile.ZipFile(path) as z:
        assert z.testzip() is None
        return {i.filename: z.read(i) for i in z.infolist() if not i.is_dir()}


def extracted(folder):
    return {p.relative_to(folder).as_posix(): p.read_bytes() for p in folder.rglob("*") if p.is_file()}


def native_name(name, codec):
    """A name a tool wrote on Linux that is no UTF-8, as `codec` reads its bytes: unzip writes
    an MS-DOS name in ISO 8859-1, 7-Zip keeps the entry's own bytes (the OEM page's)."""
    raw = os.fsencode(name)
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode(codec)


def check_with_peers(archive, expected, work):
    result = run(["unzip", "-t", archive], work)
    assert b"No errors detected" in result.stdout
    run(["7zz", "t", archive], work)
    assert zipfile_contents(archive) == expected
    for tool, args in (("unzip", ["unzip", "-q", archive, "-d"]), ("7zz", ["7zz", "x", archive, "-bso0"])):
        out = work / f"out_{tool}"
        shutil.rmtree(out, ignore_errors=True)
        out.mkdir()
        run(args + ([out] if tool == "unzip" else [f"-o{out}"]), work)
        assert extracted(out) == expected, tool


@pytest.fixture
def work(tmp_path):
    assert TOOL.exists(), "build the native zip_tool first"
    return tmp_path


@pytest.mark.parametrize("level", ["-1", "0", "1", "9"])
def test_our_archives_pass_peer_tools_with_identical_contents(work, level):
    files = make_tree(work)
    run([TOOL, "create", "ours.zip", "-l", level] + sorted(files), work)
    check_with_peers(work / "ours.zip", files, work)
    with zipfile.ZipFile(work / "ours.zip") as z:
        info = {i.filename: i for i in z.infolist()}
    assert info["logs/tiny.log"].compress_type == zipfile.ZIP_STORED
    assert info["logs/setup.log"].compress_type == (zipfile.ZIP_STORED if level == "0" else zipfile.ZIP_DEFLATED)
    assert info["logs/setup.log"].create_version == 20 and info["logs/setup.log"].create_system == 0
    assert info["logs/setup.log"].external_attr == 0x81B40020


def test_names_are_stored_in_the_oem_code_page(work):
    (work / "caf\u00e9.log").write_bytes(b"cafe")
    run([TOOL, "create", "names.zip", "caf\u00e9.log"], work)
    with zipfile.ZipFile(work / "names.zip") as z:
        # zipfile reads names without the UTF-8 flag as code page 437.
        assert z.namelist() == ["caf\u00e9.log"]
        assert z.read("caf\u00e9.log") == b"cafe"


def test_appending_keeps_every_earlier_entry(work):
    files = make_tree(work)
    names = sorted(files)
    run([TOOL, "create", "logs.zip"] + names[:3], work)
    before = zipfile_contents(work / "logs.zip")
    with zipfile.ZipFile(work / "logs.zip") as z:
        raw_before = [(i.orig_filename, i.header_offset, i.CRC) for i in z.infolist()]
    run([TOOL, "append", "logs.zip"] + names[3:], work)
    run([TOOL, "append", "logs.zip", "-a", "again/setup.log", "logs/setup.log"], work)
    expected = dict(files, **{"again/setup.log": files["logs/setup.log"]})
    check_with_peers(work / "logs.zip", expected, work)
    with zipfile.ZipFile(work / "logs.zip") as z:
        raw_after = [(i.orig_filename, i.header_offset, i.CRC) for i in z.infolist()]
    assert raw_after[:3] == raw_before
    assert {k: v for k, v in zipfile_contents(work / "logs.zip").items() if k in before} == before


class Unseekable(io.RawIOBase):
    def __init__(self, path):
        self.file = open(path, "wb")

    def writable(self):
        return True

    def write(self, b):
        return self.file.write(b)

    def close(self):
        self.file.close()
        super().close()


def python_archive(work, method, files, stream=False, prefix=b"", append_from=None):
    path = work / "peer.zip"
    target = Unseekable(path) if stream else path
    with zipfile.ZipFile(target, "w", method) as z:
        for name in sorted(files):
            z.write(work / name, name)
    if stream:
        target.close()
    if prefix:
        path.write_bytes(prefix + path.read_bytes())
    return path


def long_extra_field(work, names):
    """The last central header's extra field runs 4 bytes past the directory, into the end
    record: peers read it only up to the directory's end."""
    path = python_archive(work, zipfile.ZIP_DEFLATED, names)
    data = bytearray(path.read_bytes())
    data[data.rindex(b"PK\x01\x02") + 30] += 4
    path.write_bytes(bytes(data))


MAKERS = {
    "zip deflated": lambda work, names: run(["zip", "-q", "-X", "peer.zip"] + names, work),
    "zip stored": lambda work, names: run(["zip", "-q", "-0", "peer.zip"] + names, work),
    "zip appended": lambda work, names: (run(["zip", "-q", "peer.zip"] + names[:2], work),
                                         run(["zip", "-q", "peer.zip"] + names[2:], work)),
    "7-Zip": lambda work, names: run(["7zz", "a", "-tzip", "-bso0", "peer.zip"] + names, work),
    "python deflated": lambda work, names: python_archive(work, zipfile.ZIP_DEFLATED, names),
    "python stored": lambda work, names: python_archive(work, zipfile.ZIP_STORED, names),
    "python streamed": lambda work, names: python_archive(work, zipfile.ZIP_DEFLATED, names, stream=True),
    "python with a loader in front": lambda work, names: python_archive(
        work, zipfile.ZIP_DEFLATED, names, prefix=b"MZ" + bytes(1000)),
    "python with an extra field past the directory": long_extra_field,
}


@pytest.mark.parametrize("maker", sorted(MAKERS))
def test_peer_archives_are_read_and_appended_to(work, maker):
    files = make_tree(work)
    MAKERS[maker](work, sorted(files))
    run([TOOL, "test", "peer.zip"], work)
    out = work / "ours_out"
    run([TOOL, "extract", "peer.zip", out], work)
    assert extracted(out) == files
    listed = run([TOOL, "list", "peer.zip"], work).stdout.decode().splitlines()
    assert sorted(line.split("\t")[0].replace("\\", "/") for line in listed) == sorted(files)

    (work / "added.log").write_bytes(b"appended by us\r\n" * 100)
    run([TOOL, "append", "peer.zip", "added.log"], work)
    # unzip warns (status 1) about a loader in front of an archive, as it does before our append.
    result = run(["unzip", "-tq", "peer.zip"], work, ok=False)
    assert b"No errors detected" in result.stdout
    assert result.returncode == (1 if "loader" in maker else 0), result.stdout
    # 7-Zip reads no archive whose offsets leave out a loader in front, ours or not.
    if "loader" not in maker:
        run(["7zz", "t", "peer.zip"], work)
    assert zipfile_contents(work / "peer.zip") == dict(files, **{"added.log": b"appended by us\r\n" * 100})


def test_archives_we_cannot_read_end_in_an_error_not_a_crash(work):
    zip64 = subprocess.run(["zip", "-q", "-", "-"], input=b"hi\n", stdout=subprocess.PIPE, check=True).stdout
    samples = {
        "zip64.zip": zip64,
        "truncated.zip": zip64[:-10],
        "text.zip": b"not an archive",
    }
    for name, data in samples.items():
        (work / name).write_bytes(data)
        for command in ("test", "list"):
            result = run([TOOL, command, name], work, ok=False)
            assert result.returncode in (0, 2), (name, result.returncode, result.stdout)
        assert run([TOOL, "test", name], work, ok=False).returncode == 2, name


WINDOWS_TOOL = REPO / "build" / "win" / "zip_tool.exe"


def windows_path(path):
    """Wine maps the Linux root to drive Z:."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def run_windows(args, work, env=None, ok=True):
    """The Windows build of the tool under Wine; its output goes to a file,
    since Wine's services keep inherited pipes open."""
    prefix = os.environ.get("WINEPREFIX", str(REPO / "build" / "wineprefix"))
    if not WINDOWS_TOOL.exists() or not shutil.which("wine") or not pathlib.Path(prefix, "system.reg").exists():
        pytest.skip("no Windows build of zip_tool or no Wine prefix")
    environment = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", **(env or {}))
    out_file = work / "wine.out"
    with open(out_file, "wb") as out:
        code = subprocess.run(["wine", str(WINDOWS_TOOL)] + [str(a) for a in args], cwd=work, stdout=out,
                              stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=environment,
                              timeout=120).returncode
    output = out_file.read_bytes()
    if ok:
        assert code == 0, output.decode(errors="replace")
    return output


def test_windows_build_archives_pass_peer_tools(work):
    files = make_tree(work)
    names = sorted(files)
    archive = windows_path(work / "win.zip")
    root = windows_path(work)
    run_windows(["create", archive, "-r", root] + [windows_path(work / n) for n in names[:3]], work)
    run_windows(["append", archive, "-r", root] + [windows_path(work / n) for n in names[3:]], work)
    check_with_peers(work / "win.zip", files, work)
    with zipfile.ZipFile(work / "win.zip") as z:
        assert {i.external_attr for i in z.infolist()} == {0x81B40020}


# In a double-byte code page the second byte of a character may be 0x5C,
# which must not become a '/' on the way into the archive.
def test_double_byte_names_keep_their_trail_bytes(work):
    (work / "a.log").write_bytes(b"log")
    japanese = {"LC_ALL": "ja_JP.UTF-8"}
    name = "\u8868\\a.log".encode("utf-8").hex()
    run_windows(["create", windows_path(work / "ja.zip"), "-x", name, windows_path(work / "a.log")], work, japanese)
    with zipfile.ZipFile(work / "ja.zip") as z:
        raw = z.infolist()[0].orig_filename.encode("cp437")
        assert z.read(z.infolist()[0]) == b"log"
    if raw.startswith(b"?"):
        pytest.skip("Wine did not take code page 932 from LC_ALL")
    assert raw == "\u8868".encode("cp932") + b"/a.log"
    assert raw[1:2] == b"\\"
    listed = run_windows(["list", windows_path(work / "ja.zip")], work, japanese)
    assert listed.split(b"\t")[0] == "\u8868\\a.log".encode("utf-8")


# "Made by" says what an entry's name holds: MS-DOS (0) a name in the OEM code
# page, NTFS (11, as Info-ZIP and 7-Zip number it) one in UTF-8 under the flag.
# Made, appended to after a UTF-8 first entry, and copied into another
# archive, every entry keeps its marks: each reader sees the same names, and
# a read-only file extracts read-only.
def test_entries_keep_the_marks_of_their_names_everywhere(work):
    (work / "ro.log").write_bytes(b"read only")
    (work / "ro.log").chmod(0o444)
    (work / "a.log").write_bytes(b"plain")
    cyrillic = "\u0436\u0443\u0440\u043d\u0430\u043b.log"
    run([TOOL, "create", "ours.zip", "-u", "-a", cyrillic, "ro.log"], work)
    run([TOOL, "append", "ours.zip", "-a", "caf\u00e92.txt", "a.log"], work)
    run([TOOL, "create", "copy.zip", "-a", "first.log", "a.log"], work)
    run([TOOL, "copy", "ours.zip", "copy.zip"], work)
    ours = {cyrillic: (b"read only", 11, 0x800, True), "caf\u00e92.txt": (b"plain", 0, 0, False)}
    for archive, rows in (("ours.zip", ours), ("copy.zip", dict(ours, **{"first.log": (b"plain", 0, 0, False)}))):
        expected = {name: row[0] for name, row in rows.items()}
        assert b"No errors detected" in run(["unzip", "-t", archive], work).stdout
        run(["7zz", "t", archive], work)
        with zipfile.ZipFile(work / archive) as z:
            marks = {i.filename: (z.read(i), i.create_system, i.flag_bits & 0x800, bool(i.external_attr & 1))
                     for i in z.infolist()}
        assert marks == rows, archive
        listed = run([TOOL, "list", archive], work).stdout.decode().splitlines()
        assert {line.split("\t")[0]: int(line.split("\t")[5], 16) >> 8 for line in listed} == \
            {name: row[1] for name, row in rows.items()}
        for tool, args, codec in (("unzip", ["unzip", "-q", archive, "-d"], "latin-1"),
                                  ("7zz", ["7zz", "x", archive], "cp437")):
            out = work / f"out_{archive}_{tool}"
            out.mkdir()
            run(args + ([out] if tool == "unzip" else [f"-o{out}", "-bso0"]), work)
            assert {native_name(name, codec): data for name, data in extracted(out).items()} == expected, \
                (archive, tool)
            assert not os.stat(out / cyrillic).st_mode & 0o222, (archive, tool, "the read-only log extracts read-only")


UNIX_MAKERS = {
    "Info-ZIP": lambda work, names: run(["zip", "-q", "peer.zip"] + names, work),
    "7-Zip": lambda work, names: run(["7zz", "a", "-tzip", "-bso0", "peer.zip"] + names, work),
}


# Both write archives made on Unix. An entry we add to one, copy into it (ours,
# with a name in the OEM code page) or rename in it keeps its name for every
# reader, which takes a name without the UTF-8 flag there as its own locale's
# (zipfile as code page 437): beyond ASCII it goes as UTF-8 under the flag. The
# MS-DOS attributes stay beside the Unix ones, so read-only stays read-only.
@pytest.mark.parametrize("maker", sorted(UNIX_MAKERS))
def test_entries_put_into_unix_archives_keep_their_names_for_every_reader(work, maker):
    (work / "a.log").write_bytes(b"theirs")
    (work / "ro.log").write_bytes(b"read only")
    (work / "ro.log").chmod(0o444)
    UNIX_MAKERS[maker](work, ["a.log"])
    run([TOOL, "create", "ours.zip", "-a", "\u00e9t\u00e9.log", "ro.log"], work)
    run([TOOL, "append", "peer.zip", "-a", "caf\u00e9.log", "ro.log"], work)
    run([TOOL, "copy", "ours.zip", "peer.zip"], work)
    run([TOOL, "rename", "peer.zip", "a.log", "\u00e4.log"], work)
    expected = {"\u00e4.log": b"theirs", "caf\u00e9.log": b"read only", "\u00e9t\u00e9.log": b"read only"}
    with zipfile.ZipFile(work / "peer.zip") as z:
        marks = {i.filename: (z.read(i), i.create_system, i.flag_bits & 0x800, i.external_attr & 1,
                              (i.external_attr >> 16) & 0o222 == 0) for i in z.infolist()}
    assert marks == {name: (data, 3, 0x800, data == b"read only", data == b"read only")
                     for name, data in expected.items()}
    assert b"No errors detected" in run(["unzip", "-t", "peer.zip"], work).stdout
    run(["7zz", "t", "peer.zip"], work)
    for tool, args in (("unzip", ["unzip", "-q", "peer.zip", "-d"]), ("7zz", ["7zz", "x", "peer.zip", "-bso0"])):
        out = work / f"out_{tool}"
        out.mkdir()
        run(args + ([out] if tool == "unzip" else [f"-o{out}"]), work)
        assert extracted(out) == expected, tool
        assert not os.stat(out / "caf\u00e9.log").st_mode & 0o222, tool
    listed = run([TOOL, "list", "peer.zip"], work).stdout.decode().splitlines()
    assert sorted(line.split("\t")[0] for line in listed) == sorted(expected)
