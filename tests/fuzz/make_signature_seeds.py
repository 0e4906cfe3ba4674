#!/usr/bin/env python3
"""Writes the signature fuzzer's first corpus: a test program signed by osslsigncode with a key made
for the run (never committed), whole and as its certificate table alone.
Usage: make_signature_seeds.py PROGRAM FOLDER"""
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile


def main(program, folder):
    folder = pathlib.Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    with tempfile.TemporaryDirectory() as work:
        key, certificate, signed = (pathlib.Path(work) / name for name in ("key.pem", "cert.pem", "signed.exe"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:1024", "-nodes", "-days", "1", "-subj",
                        "/CN=Fuzz", "-keyout", key, "-out", certificate], check=True, capture_output=True)
        subprocess.run(["osslsigncode", "sign", "-certs", certificate, "-key", key, "-in", program, "-out", signed],
                       check=True, capture_output=True)
        data = signed.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    entry = pe + 24 + (128 if struct.unpack_from("<H", data, pe + 24)[0] == 0x10B else 144)
    offset, size = struct.unpack_from("<II", data, entry)
    (folder / "signed.exe").write_bytes(data)
    (folder / "table.bin").write_bytes(data[offset:offset + size])


if __name__ == "__main__":
    main(*sys.argv[1:3])
