"""Extraction, encryption, deletion, renaming and split archives of our ZIP
library checked against Info-ZIP, 7-Zip and Python's zipfile both ways, and a corpus of
hostile archives (built here with zipfile) that must not write outside the
target folder, nor unpack one stream for many entries."""
import os
import pathlib
import subprocess
import sys
import zipfile

import pytest

from test_zip_interop import (REPO, TOOL, check_with_peers, extracted, make_tree, run, run_windows,
                              windows_path, zipfile_contents)

sys.path.insert(0, str(REPO / "tests" / "fuzz"))
from make_zip_seeds import overlapping_archive  # noqa: E402  (the fuzzer's seed maker)


@pytest.fixture
def work(tmp_path):
    assert TOOL.exists(), "build the native zip_tool first"
    return tmp_path


ENCRYPTERS = {
    "zip -P": lambda work, names: run(["zip", "-q", "-P", "s3cret", "peer.zip"] + names, work),
    "7-Zip ZipCrypto": lambda work, names: run(
        ["7zz", "a", "-tzip", "-mem=ZipCrypto", "-ps3cret", "-bso0", "peer.zip"] + names, work),
}


def password_every_entry_refuses(archive):
    """A wrong password that fails the check byte of every encrypted entry.
    The traditional cipher checks one byte: about one wrong password in 256
    passes it for a given entry, and an entry with no data (an empty log) is
    then extracted, so a fixed wrong word would fail now and then."""
    def refuses(z, info, password):
        try:
            z.open(info, pwd=password.encode()).close()
            return False
        except RuntimeError:
            return True
    with zipfile.ZipFile(archive) as z:
        entries = [i for i in z.infolist() if i.flag_bits & 1]
        return next(p for p in (f"wrong{n}" for n in range(10000))
                    if all(refuses(z, i, p) for i in entries))


@pytest.mark.parametrize("maker", sorted(ENCRYPTERS))
def test_peer_encrypted_archives_need_the_password(work, maker):
    files = make_tree(work)
    ENCRYPTERS[maker](work, sorted(files))
    with zipfile.ZipFile(work / "peer.zip") as z:
        assert all(i.flag_bits & 1 for i in z.infolist() if not i.is_dir())
    run([TOOL, "-p", "s3cret", "test", "peer.zip"], work)
    run([TOOL, "-p", "s3cret", "extract", "peer.zip", "good"], work)
    assert extracted(work / "good") == files
    for password in ([], ["-p", password_every_entry_refuses(work / "peer.zip")]):
        result = run([TOOL] + password + ["extract", "peer.zip", "bad"], work, ok=False)
        assert result.returncode == 2 and b"zip error 110" in result.stdout, result.stdout
        assert not (work / "bad").exists() or extracted(work / "bad") == {}


def test_our_encrypted_archives_open_in_peer_tools(work):
    files = make_tree(work)
    run([TOOL, "-p", "s3cret", "create", "ours.zip"] + sorted(files), work)
    assert b"No errors detected" in run(["unzip", "-t", "-P", "s3cret", "ours.zip"], work).stdout
    run(["7zz", "t", "-ps3cret", "ours.zip"], work)
    assert run(["unzip", "-t", "-P", "wrong", "ours.zip"], work, ok=False).returncode != 0
    with zipfile.ZipFile(work / "ours.zip") as z:
        z.setpassword(b"s3cret")
        assert {i.filename: z.read(i) for i in z.infolist()} == files
        # Empty files go unencrypted under the default smartness.
        assert {i.filename: i.flag_bits & 9 for i in z.infolist()} == {n: 9 if files[n] else 0 for n in files}
    out = work / "out"
    out.mkdir()
    run(["unzip", "-q", "-P", "s3cret", "ours.zip", "-d", out], work)
    assert extracted(out) == files


def test_deleting_and_renaming_keep_the_archive_readable_by_peers(work):
    files = make_tree(work)
    names = sorted(files)
    run(["zip", "-q", "-X", "peer.zip"] + names, work)
    run([TOOL, "create", "ours.zip"] + names, work)
    for archive in ("peer.zip", "ours.zip"):
        run([TOOL, "delete", archive, "logs\\random.bin", "logs\\empty.log"], work)
        run([TOOL, "rename", archive, "logs\\tiny.log", "renamed\\a much longer name.log"], work)
        run([TOOL, "rename", archive, "logs\\setup.log", "s.log"], work)
        expected = {k: v for k, v in files.items() if k not in ("logs/random.bin", "logs/empty.log")}
        expected["renamed/a much longer name.log"] = expected.pop("logs/tiny.log")
        expected["s.log"] = expected.pop("logs/setup.log")
        check_with_peers(work / archive, expected, work)
        listed = run([TOOL, "find", archive, "*.log"], work).stdout.decode().splitlines()
        assert sorted(listed) == sorted(n.replace("/", "\\") for n in expected if n.endswith(".log"))


def test_replaced_and_copied_entries_stay_readable_by_peers(work):
    files = make_tree(work)
    names = sorted(files)
    run(["zip", "-q", "-X", "peer.zip"] + names, work)
    (work / "new.log").write_bytes(b"replacement\r\n" * 5000)
    run([TOOL, "append", "peer.zip", "-a", "logs\\products\\product.log", "-R", "new.log"], work)
    expected = dict(files, **{"logs/products/product.log": (work / "new.log").read_bytes()})
    check_with_peers(work / "peer.zip", expected, work)
    with zipfile.ZipFile(work / "peer.zip") as z:
        assert [i.filename for i in z.infolist()] == names

    # Entries of 7-Zip and of zip -P keep their bytes, encryption included.
    run(["7zz", "a", "-tzip", "-bso0", "seven.zip", names[0]], work)
    run(["zip", "-q", "-P", "s3cret", "locked.zip", names[1]], work)
    run([TOOL, "create", "ours.zip", names[2]], work)
    run([TOOL, "copy", "seven.zip", "ours.zip"], work)
    run([TOOL, "copy", "locked.zip", "ours.zip"], work)
    run([TOOL, "-p", "s3cret", "test", "ours.zip"], work)
    assert b"No errors detected" in run(["unzip", "-t", "-P", "s3cret", "ours.zip"], work).stdout
    run(["7zz", "t", "-ps3cret", "ours.zip"], work)
    with zipfile.ZipFile(work / "ours.zip") as z:
        z.setpassword(b"s3cret")
        assert {i.filename: z.read(i) for i in z.infolist()} == {n: files[n] for n in names[:3]}


# zipfile writes a name outside ASCII as UTF-8 under bit 11. A name, file or
# password that can't be kept as given fails the command, and the archive
# stays whole for every tool.
def test_names_keep_their_meaning_and_refusals_leave_archives_whole(work):
    (work / "a.log").write_bytes(b"log")
    with zipfile.ZipFile(work / "py.zip", "w") as z:
        z.writestr("\u03a3.txt", b"sigma")
    run([TOOL, "rename", "py.zip", "\u03a3.txt", "caf\u00e9.txt"], work)
    check_with_peers(work / "py.zip", {"caf\u00e9.txt": b"sigma"}, work)
    run([TOOL, "create", "ours.zip", "a.log"], work)
    result = run([TOOL, "append", "ours.zip", "-a", "b.log", "a.log", "-a", "\u65e5.log", "a.log"], work, ok=False)
    assert result.returncode == 2 and b"zip error 22" in result.stdout, result.stdout
    check_with_peers(work / "ours.zip", {"a.log": b"log", "b.log": b"log"}, work)
    result = run([TOOL, "-p", "p\u03a3ss", "create", "locked.zip", "a.log"], work, ok=False)
    assert result.returncode == 1 and b"password holds characters" in result.stdout, result.stdout
    assert not (work / "locked.zip").exists()


def test_our_split_archives_are_joined_and_read_by_peers(work):
    files = make_tree(work)
    run([TOOL, "-s", "20000", "create", "split.zip"] + sorted(files), work)
    volumes = sorted(p.name for p in work.glob("split.*"))
    assert volumes[0] == "split.z01" and volumes[-1] == "split.zip" and len(volumes) > 3
    assert all((work / v).stat().st_size <= 20000 for v in volumes)
    run(["7zz", "t", "split.zip"], work)
    out = work / "out_7zz"
    run(["7zz", "x", "split.zip", f"-o{out}", "-bso0"], work)
    assert extracted(out) == files
    run(["zip", "-q", "-s", "0", "split.zip", "--out", "joined.zip"], work)
    check_with_peers(work / "joined.zip", files, work)


def test_our_disk_spanned_archives_are_read_by_peers_once_joined(work):
    files = make_tree(work)
    run([TOOL, "-d", "20000", "create", "disks.zip"] + sorted(files), work)
    # Each disk but the last was taken out as disks.zNN: the layout of a split set.
    volumes = sorted(p.name for p in work.glob("disks.*"))
    assert volumes[0] == "disks.z01" and volumes[-1] == "disks.zip" and len(volumes) > 3
    assert all((work / v).stat().st_size <= 20000 for v in volumes)
    run(["7zz", "t", "disks.zip"], work)
    run([TOOL, "test", "disks.zip"], work)
    run(["zip", "-q", "-s", "0", "disks.zip", "--out", "joined.zip"], work)
    check_with_peers(work / "joined.zip", files, work)


# Under Wine a folder becomes a removable drive as A:, typed floppy in
# Wine's drive list; labelling its disk writes .windows-label there.
def test_windows_build_spans_only_removable_drives(work):
    floppy = work / "floppy"
    floppy.mkdir()
    (work / "a.log").write_bytes(os.urandom(3000))
    prefix = pathlib.Path(os.environ["WINEPREFIX"])
    (prefix / "dosdevices" / "a:").symlink_to(floppy)
    subprocess.run(["wine", "reg", "add", r"HKLM\Software\Wine\Drives", "/v", "a:", "/d", "floppy", "/f"],
                   env=dict(os.environ, WINEDEBUG="-all"), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True, timeout=120)
    run_windows(["-D", "create", "A:\\disk.zip", "-a", "a.log", windows_path(work / "a.log")], work)
    assert (floppy / ".windows-label").read_text().strip() == "pkback# 001"
    # One disk held it all: a plain archive.
    assert zipfile_contents(floppy / "disk.zip") == {"a.log": (work / "a.log").read_bytes()}
    output = run_windows(["-D", "create", windows_path(work / "fixed.zip"), windows_path(work / "a.log")], work,
                         ok=False)
    assert b"zip error 107" in output


def test_split_archives_of_info_zip_are_read(work):
    files = make_tree(work)
    run(["zip", "-q", "-s", "64k", "peer.zip"] + sorted(files), work)
    assert (work / "peer.z01").exists()
    run([TOOL, "test", "peer.zip"], work)
    run([TOOL, "extract", "peer.zip", "out"], work)
    assert extracted(work / "out") == files
    # A split archive is not edited in place: deleting leaves every volume as it was.
    before = {p.name: p.read_bytes() for p in work.glob("peer.*")}
    run([TOOL, "delete", "peer.zip", "logs\\tiny.log"], work)
    assert {p.name: p.read_bytes() for p in work.glob("peer.*")} == before


# Entry names that lead outside the folder, or that Windows reads as a drive,
# a stream or a device: each archive also holds a harmless entry before it.
HOSTILE_NAMES = [
    "../escaped.txt", "a/../../escaped.txt", "..\\escaped.txt", "a\\..\\..\\escaped.txt", "/tmp/escaped.txt",
    "\\escaped.txt", "C:\\escaped.txt", "C:escaped.txt", "Z:/tmp/escaped.txt", "\\\\?\\C:\\escaped.txt",
    "...\\escaped.txt", "CON", "aux.txt", "sub/LPT1.log", "file.txt:stream",
    # Flagged as UTF-8 but none: overlong '/', a surrogate, past U+10FFFF, cut short.
    b"sub\xc0\xafx.txt", b"\xed\xa0\x80.txt", b"\xf4\x90\x80\x80.txt", b"\xe6\x97x.txt",
]


def hostile_archive(path, name):
    # Raw bytes take the place of a UTF-8 name of their length, flag and all.
    placeholder = "\u00e9" + "a" * (len(name) - 2) if isinstance(name, bytes) else name
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("harmless.txt", b"fine")
        info = zipfile.ZipInfo("placeholder")
        info.filename = placeholder  # as it is, without zipfile's clean-up of separators
        z.writestr(info, b"hostile")
    if isinstance(name, bytes):
        path.write_bytes(path.read_bytes().replace(placeholder.encode(), name))


def files_under(folder):
    return sorted(p.relative_to(folder).as_posix() for p in folder.rglob("*"))


@pytest.mark.parametrize("name", HOSTILE_NAMES)
def test_hostile_entry_names_are_refused_and_nothing_escapes(work, name):
    jail = work / "jail"
    jail.mkdir()
    hostile_archive(jail / "hostile.zip", name)
    before = files_under(work)
    result = run([TOOL, "extract", "hostile.zip", "out"], jail, ok=False)
    assert result.returncode == 2 and b"zip error 101" in result.stdout, result.stdout
    assert b"' is not extracted: it " in result.stdout, result.stdout
    after = files_under(work)
    assert [p for p in after if p not in before] == ["jail/out", "jail/out/harmless.txt"]
    assert not any("escaped" in p for p in files_under(work))


def test_hostile_entry_names_are_refused_by_the_windows_build(work):
    jail = work / "jail"
    jail.mkdir()
    for index, name in enumerate(HOSTILE_NAMES):
        hostile_archive(jail / f"hostile{index}.zip", name)
    before = files_under(work)
    for index in range(len(HOSTILE_NAMES)):
        out = run_windows(["extract", windows_path(jail / f"hostile{index}.zip"), windows_path(jail / "out")],
                          work, ok=False)
        assert b"zip error 101" in out, (HOSTILE_NAMES[index], out)
    after = files_under(work)
    assert [p for p in after if p not in before and p != "wine.out"] == ["jail/out", "jail/out/harmless.txt"]
    assert not any("escaped" in p for p in files_under(work))
    assert not os.path.exists("/tmp/escaped.txt")


# The classic bomb: 200 entries of about 40 bytes each over one deflated
# megabyte, 20 KB that unpack to 210 MB. unzip and zipfile refuse it.
def test_entries_sharing_their_data_are_refused_as_peers_refuse_them(work):
    bomb = work / "bomb.zip"
    bomb.write_bytes(overlapping_archive(200, 1 << 20))
    assert b"overlapped components" in run(["unzip", "-t", bomb], work, ok=False).stdout
    with zipfile.ZipFile(bomb) as z:
        assert z.read("0199.bin") == bytes(1 << 20)
        with pytest.raises(zipfile.BadZipFile, match="Overlapped entries"):
            z.read("0000.bin")
    for command in (["test", "bomb.zip"], ["extract", "bomb.zip", "out"]):
        result = run([TOOL] + command, work, ok=False)
        assert result.returncode == 2 and b"zip error 101" in result.stdout, result.stdout
        assert b"'0000.bin' overlaps" in result.stdout, result.stdout
    assert not (work / "out").exists()
    # Editing the one entry that reads well would cut or move the others' bytes.
    before = bomb.read_bytes()
    for command in (["delete", "bomb.zip", "0199.bin"], ["rename", "bomb.zip", "0199.bin", "x.bin"]):
        assert b"zip error 101" in run([TOOL] + command, work, ok=False).stdout
    assert bomb.read_bytes() == before
