#!/usr/bin/env python3
"""Writes small archives of the kinds other tools make (stored, deflated,
streamed with data descriptors, with a comment, with data in front, and
encrypted with the password the fuzzer tries) as the ZIP fuzzer's first
corpus. They are made at test time, never committed."""
import io
import pathlib
import shutil
import subprocess
import sys
import tempfile
import zipfile


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


def main(folder):
    # Absolute: zip runs in a temporary folder of its own.
    out = pathlib.Path(folder).resolve()
    out.mkdir(parents=True, exist_ok=True)
    entries = [("logs/setup.log", b"line one\r\nline two\r\n" * 8), ("a/", b""), ("x.txt", b"xyz")]
    (out / "deflated.zip").write_bytes(archive(entries, zipfile.ZIP_DEFLATED))
    (out / "stored.zip").write_bytes(archive(entries, zipfile.ZIP_STORED, b"a comment"))
    (out / "prefixed.zip").write_bytes(b"MZ loader stub" + archive(entries[:1], zipfile.ZIP_DEFLATED))
    stream = Unseekable()
    with zipfile.ZipFile(stream, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            add(z, name, data)
    (out / "streamed.zip").write_bytes(bytes(stream.data))
    if shutil.which("zip"):
        with tempfile.TemporaryDirectory() as folder:
            source = pathlib.Path(folder, "x.txt")
            source.write_bytes(b"secret text " * 10)
            subprocess.run(["zip", "-q", "-P", "pw", str(out / "encrypted.zip"), "x.txt"], cwd=folder, check=True)


if __name__ == "__main__":
    main(sys.argv[1])
