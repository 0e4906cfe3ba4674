#!/usr/bin/env python3
"""Writes small archives of the kinds other tools make (stored, deflated,
streamed with data descriptors, with a comment, with data in front, and
encrypted with the password the fuzzer tries) and an archive bomb of
overlapping entries as the ZIP fuzzer's first corpus. They are made at test
time, never committed."""
import io
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib


class Unseekable(io.RawIOBase):
    """A stream zipfile can't seek back in: it then writes data descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def add(z, name, data):
    # Folders are stored, as zipfile does for folders on disk.
    z.writestr(name, data, zipfile.ZIP_STORED if name.endswith("/") else None)


def archive(entries, method, comment=b""):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in entries:
            add(z, name, data)
        z.comment = comment
    return buffer.getvalue()


def overlapping_archive(count, kernel_size):
    """`count` entries over one deflated kernel of `kernel_size` zeros: each
    entry's data quotes the next entry's local header in a stored deflate
    block and runs on into that entry's data, so every entry unpacks the
    whole kernel while the archive holds it once."""
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    data = packer.compress(bytes(kernel_size)) + packer.flush()
    unpacked = bytes(kernel_size)
    locals_, entries = [], []
    for index in reversed(range(count)):
        name = f"{index:04d}.bin".encode()
        crc = zlib.crc32(unpacked)
        local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0x21, crc, len(data), len(unpacked),
                            len(name), 0) + name
        locals_.insert(0, local)
        entries.insert(0, (name, crc, len(data), len(unpacked)))
        if index > 0:
            # A stored block quoting this header begins the previous entry's data.
            data = struct.pack("<BHH", 0, len(local), 0xFFFF ^ len(local)) + local + data
            unpacked = local + unpacked
    body = locals_[0] + data
    directory, offset = b"", 0
    for local, (name, crc, packed, size) in zip(locals_, entries):
        directory += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0x21, crc, packed, size,
                                 len(name), 0, 0, 0, 0, 0, offset) + name
        offset += len(local) + 5
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(directory), len(body), 0)
    return body + directory + end


def main(folder):
    # Absolute: zip runs in a temporary folder of its own.
    out = pathlib.Path(folder).resolve()
    out.mkdir(parents=True, exist_ok=True)
    # zipfile stores the last name as UTF-8 under general-purpose bit 11.
    entries = [("logs/setup.log", b"line one\r\nline two\r\n" * 8), ("a/", b""), ("x.txt", b"xyz"),
               ("\u03a3/caf\u00e9.txt", b"utf-8")]
    (out / "deflated.zip").write_bytes(archive(entries, zipfile.ZIP_DEFLATED))
    (out / "stored.zip").write_bytes(archive(entries, zipfile.ZIP_STORED, b"a comment"))
    (out / "prefixed.zip").write_bytes(b"MZ loader stub" + archive(entries[:1], zipfile.ZIP_DEFLATED))
    stream = Unseekable()
    with zipfile.ZipFile(stream, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            add(z, name, data)
    (out / "streamed.zip").write_bytes(bytes(stream.data))
    (out / "overlapping.zip").write_bytes(overlapping_archive(20, 1 << 16))
    if shutil.which("zip"):
        with tempfile.TemporaryDirectory() as folder:
            source = pathlib.Path(folder, "x.txt")
            source.write_bytes(b"secret text " * 10)
            subprocess.run(["zip", "-q", "-P", "pw", str(out / "encrypted.zip"), "x.txt"], cwd=folder, check=True)


if __name__ == "__main__":
    main(sys.argv[1])
