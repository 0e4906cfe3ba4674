"""Downloads and XML reading of the foundation, driven through the probe
program against an HTTP server of the test's own on a free loopback port."""
import http.server
import socket
import threading
import time

import pytest

from conftest import read_log, run_windows, windows_path

BODY = bytes(range(256)) * 390 + b"end"  # 99843 bytes, not a multiple of 50


class Handler(http.server.BaseHTTPRequestHandler):
    agents = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        Handler.agents.append(self.headers.get("User-Agent"))
        if self.path == "/files/known.bin":
            self.send_response(200)
            self.send_header("Content-Length", str(len(BODY)))
            self.end_headers()
            self.wfile.write(BODY)
        elif self.path == "/unknown.bin":
            # HTTP/1.0 without a length: the body ends when the connection does.
            self.send_response(200)
            self.end_headers()
            self.wfile.write(BODY)
        elif self.path == "/short.bin":
            # Pieces smaller than a read asks for, with pauses between them.
            self.send_response(200)
            self.send_header("Content-Length", str(len(BODY)))
            self.end_headers()
            for start in range(0, len(BODY), 7000):
                self.wfile.write(BODY[start:start + 7000])
                self.wfile.flush()
                time.sleep(0.02)
        elif self.path == "/drip.bin":
            # Never a stall: one byte now and then, until the client is gone.
            self.send_response(200)
            self.send_header("Content-Length", "5000")
            self.end_headers()
            try:
                for _ in range(5000):
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(0.5)
            except OSError:
                pass
        elif self.path == "/truncated.bin":
            self.send_response(200)
            self.send_header("Content-Length", str(len(BODY)))
            self.end_headers()
            self.wfile.write(BODY[:30000])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
        else:
            self.send_response(404)
            page = b"<html>not here</html>"
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)


@pytest.fixture
def server():
    Handler.agents = []
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    yield f"http://127.0.0.1:{httpd.server_address[1]}"
    httpd.shutdown()
    httpd.server_close()


def probe(kit, *args):
    env = {"KWSETUP": windows_path(kit / "logs") + "\\probe.log"}
    result = run_windows(kit / "foundation_probe.exe", list(args), env=env, remove_env=())
    return result.code, read_log(kit / "logs" / "VELL_SETUP.LOG")


@pytest.mark.parametrize("path, code, line", [
    ("/files/known.bin", 0, "Downloaded; progress 100 of 99843 bytes"),
    ("/unknown.bin", 0, "   Could not obtain the size of the content to be downloaded. The file will download . error: 0"),
    ("/short.bin", 0, "Downloaded; progress 100 of 99843 bytes"),
    ("/truncated.bin", 12031, "   The download ended after 30000 of 99843 bytes."),
    ("/missing.bin", 2, "nothing is saved."),
    # Within a limit of 3 s (five minutes in setup.exe).
    ("/drip.bin", 12002, " did not end within 3 seconds; it is given up"),
])
def test_download_saves_only_a_whole_successful_body(kit, server, path, code, line):
    target = kit / "target.bin"
    limit = ["3000"] if path == "/drip.bin" else []
    result, messages = probe(kit, "download", server + path, windows_path(target), *limit)
    assert result == code
    assert any(message.endswith(line) for message in messages), messages
    if code == 0:
        assert target.read_bytes() == BODY
    else:
        assert not target.exists()
    assert Handler.agents and set(Handler.agents) == {"Pelko/Tamsa Setup"}


def test_https_uses_the_secure_channel_on_its_port(kit):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    first = []

    def answer(connection):
        # The connection check sends nothing; the request opens with its handshake.
        connection.settimeout(5)
        try:
            data = connection.recv(5)
            if data:
                first.append(data)
        except OSError:
            pass
        connection.close()

    def accept():
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=answer, args=(connection,), daemon=True).start()

    thread = threading.Thread(target=accept, daemon=True)
    thread.start()
    port = listener.getsockname()[1]
    target = kit / "secure.bin"
    result, messages = probe(kit, "download", f"https://127.0.0.1:{port}/x.bin", windows_path(target))
    listener.close()
    # A plain listener cannot finish the handshake: a failure, and no file.
    assert result != 0
    assert not target.exists()
    # What arrived opens a TLS handshake, not a plain "GET".
    assert first and all(data[:1] == b"\x16" for data in first), first

    code, messages = probe(kit, "split", "https://updates.example/setup/files.xml")
    assert code == 0
    assert "host=updates.example path=/setup/files.xml port=443" in messages


@pytest.mark.parametrize("url, code, line", [
    ("http://host:8080/x/y.msi", 0, "host=host path=/x/y.msi port=8080"),
    ("HTTP://host/a", 0, "host=host path=/a port=80"),
    ("ftp://host/a", 1, "   Cannot find http:// or https:// for URL 'ftp://host/a'"),
    ("http://host", 1, "   No slash found in url path for URL 'http://host'"),
    ("http://host:99999/a", 1, "   Bad port number in URL 'http://host:99999/a'"),
])
def test_split_url(kit, url, code, line):
    result, messages = probe(kit, "split", url)
    assert result == code
    assert line in messages


def test_xml_document_selects_texts_and_reports_failures(kit):
    (kit / "offer.xml").write_text(
        "<?xml version='1.0'?><update><version>2.1.0</version>"
        "<files><file>http://h/a/setup.exe</file><file>http://h/a/SETUP.DCF</file></files>"
        "<files><file>http://h/b/other.exe</file></files></update>", encoding="utf-8")
    (kit / "broken.xml").write_text("<update><version>", encoding="utf-8")
    offer = windows_path(kit / "offer.xml")
    cases = [
        (offer, "//files[1]/*", 0, "single=http://h/a/setup.exe list=[http://h/a/setup.exe][http://h/a/SETUP.DCF]"),
        (offer, "//version", 0, "single=2.1.0 list=[2.1.0]"),
        (offer, "//nothing", 0, "single= list="),
        (offer, "//files[", 1, "Error while calling selectSingleNode."),
        (windows_path(kit / "missing.xml"), "//version", 1, "Failed to load DOM from: " + windows_path(kit / "missing.xml")),
        (windows_path(kit / "broken.xml"), "//version", 1, "Failed to load DOM from: " + windows_path(kit / "broken.xml")),
    ]
    for path, query, code, line in cases:
        result, messages = probe(kit, "xml", path, query)
        assert (result, line in messages) == (code, True), (path, query, messages[-6:])
