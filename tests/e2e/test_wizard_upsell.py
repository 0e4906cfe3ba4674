"""The offer page under Xvfb, driven from another process: with nothing
answering at the connection-test address it shows its own texts and tries
again every five seconds; once a loopback listener answers there, the page
goes online: the browser view is shown and asked for the page's address
(Wine has no HTML engine here, so nothing is drawn in it). The run then goes
on to an installed suite. Screenshots stay in the test's folder."""
import http.server
import os
import socket
import threading
import time

import pytest

from conftest import read_log
from test_suite_run import installed
from test_wizard import ALPHA, BETA, SUITE, TITLE, finish, sample_kit, start_setup, wait_for_log_line
from wizard_driver import NEXT, Wizard

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

BROWSER, NOT_CONNECTED, CONTINUE, OFFLINE_INFORMATION = 11158, 11159, 11160, 11161
OFFLINE_INFORMATION_XML = "[ProductName] has a special offer for you in the [Wizard]."


def page_section(page, next_page, back=0, next_disabled=0, condition=""):
    return (f"[Interface.Install.{page}]\nNext={next_page}\nDisableBack={back}\nDisableNext={next_disabled}\n"
            f"DisplayCondition={condition}\n")


def upsell_kit(port):
    """The sample suite with the offer page after the welcome; the connection
    test and the offer both point at 127.0.0.1:port."""
    kit = sample_kit()
    (kit / "info.xml").write_text(f"<Suite><OfflineUpsellInformation>{OFFLINE_INFORMATION_XML}"
                                  "</OfflineUpsellInformation></Suite>", encoding="utf-8")
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    dcf = dcf.replace("\n[Property]\n", "\n[Property]\n"
                      "DynamicProperties=ProductInformation,TestConnectionURL,UpsellTest\n"
                      "ProductInformation={SetupDir}\\info.xml\n"
                      f"TestConnectionURL=http://127.0.0.1:{port}/\n"
                      f"UpsellTest=http://127.0.0.1:{port}/upsell offer.html\n")
    dcf += ("\n[Interface]\nSequences=Install\n[Interface.Install]\n"
            "Pages=Welcome,Upsell,Verify,Progress,UserExit,Finish\nStart=Welcome\n" +
            page_section("Welcome", "Upsell", back=1) + page_section("Upsell", "Verify") +
            page_section("Verify", "Progress") + page_section("Progress", "UserExit", back=1, next_disabled=1) +
            page_section("UserExit", "Finish", back=1, next_disabled=1, condition="UserCanceled, FailedInstall") +
            page_section("Finish", "0", back=1, next_disabled=1))
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    return kit


class Listener:
    """An HTTP listener on 127.0.0.1:port that answers every request with a
    small page and keeps the paths asked for."""

    def __init__(self, port):
        paths = self.paths = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                paths.append(self.path)
                body = b"<html><body>Offer</body></html>"
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            do_HEAD = do_GET

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def test_offer_page_offline_then_online_and_the_suite_installs(test_world):
    port = free_port()
    kit = upsell_kit(port)
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    wizard.wait_sheet()
    wizard.press("next")
    state = wizard.wait_control(NOT_CONNECTED)
    wizard.screenshot("UpsellOffline")
    assert state.text(NOT_CONNECTED) == ("You are currently not connected to the Internet.\n"
                                         "Connect now for a special offer!")
    assert state.controls[CONTINUE].visible
    assert state.text(CONTINUE) == "Click Next to continue with your installation"
    assert state.text(OFFLINE_INFORMATION) == f"{SUITE} has a special offer for you in the Wizard."
    assert not state.controls[BROWSER].visible and state.controls[BROWSER].kind == "TamsaOleControl"
    assert state.offers(NEXT)
    wait_for_log_line(logs, "Setup could not connect online and will show offline messaging for the upsell dialog")

    # The page tries again every five seconds: it goes online by itself.
    listener = Listener(port)
    try:
        deadline = time.time() + 45
        while not state.controls[BROWSER].visible and time.time() < deadline:
            time.sleep(0.5)
            state = wizard.state()
        wizard.screenshot("UpsellOnline")
        assert state.controls[BROWSER].visible, "the page never went online"
        for control in (NOT_CONNECTED, CONTINUE, OFFLINE_INFORMATION):
            assert not state.controls[control].visible, control
        wait_for_log_line(logs, "Attempting to retrieve upsell")
        # The view asks for the page's own address, blanks escaped.
        deadline = time.time() + 30
        while "/upsell%20offer.html" not in listener.paths and time.time() < deadline:
            time.sleep(0.2)
        assert "/upsell%20offer.html" in listener.paths, listener.paths
    finally:
        listener.close()

    wizard.press("next")
    state = wizard.wait_leave(state.page_index)
    wizard.press("next")  # Verify: install
    state, code = finish(wizard, run, "Finish")
    assert code == 0
    assert installed(ALPHA) and installed(BETA)
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert messages.count("Attempting to retrieve upsell") == 1
    assert messages.count("Setup could not connect online and will show offline messaging for the upsell dialog") >= 1
