"""The browser vendor's offers under Xvfb, each run in a prefix of its own:
our stand-ins for the vendor's check DLLs answer compatible or not, the
wizard shows the one offer they allow, and the user's answer reaches the
machine (the offer's product installed or not, the browser's switch on its
command line). AutoPlay is held off while setup runs: its AppID keys are in
the 32-bit view during the run and gone after it."""
import os
import shutil
import subprocess

import pytest

from conftest import BUILD, read_log, wine_environment
from test_suite_run import ALPHA, DELTA, installed, registry, suite_kit
from test_wizard import CANCEL_QUESTION, YES, move_on, page_name, start_setup, wait_for_page
from wizard_driver import Wizard

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

TITLE = "Tamsa Offer Suite Setup"
TOOLBAR_BOX, INCLUDE, MAKE_DEFAULT = 11146, 11119, 11120
APPID = "HKLM\\SOFTWARE\\Classes\\AppID\\setup.exe"
MARKER = "HKLM\\Software\\google\\No Chrome offer Until"


def offer_kit(toolbar, chrome):
    """The offer suite, each check DLL answering as given ("compatible",
    "incompatible N"), None for no DLL at all."""
    kit = suite_kit("offer_suite")
    for product, dll, answer in (("GOOGLE_TOOLBAR", "gtapi_signed.dll", toolbar),
                                 ("GOOGLE_CHROME", "gcapi_dll.dll", chrome)):
        if answer is not None:
            shutil.copy(BUILD / dll, kit / product / dll)
            (kit / product / (dll + ".answer")).write_text(answer)
    shutil.copy(BUILD / "command_recorder.exe", kit / "GOOGLE_CHROME" / "chrome_setup.exe")
    return kit


def current_page(state):
    """The offer pages share their title's control with Customize."""
    if INCLUDE in state.controls:
        return "GoogleChrome"
    return "GoogleToolbar" if TOOLBAR_BOX in state.controls else page_name(state)


def walk(wizard, until="Progress", on_offer=lambda state: None):
    """Next through the pages up to `until`, each offer page answered by
    `on_offer`; the pages seen."""
    state, seen = wizard.wait_sheet(), []
    while current_page(state) != until:
        seen.append(current_page(state))
        assert len(seen) < 12, f"no {until} page after {seen}"
        if seen[-1].startswith("Google"):
            wizard.screenshot(seen[-1])
            on_offer(state)
            wizard.press("next")
        else:
            move_on(wizard, state, seen[-1])
        state = wizard.wait_leave(state.page_index)
    return seen


def finish(wizard, run, page="Finish"):
    wait_for_page(wizard, page)
    wizard.press("finish")
    assert wizard.wait_gone()
    return run.wait()


def browser_command_line(kit):
    recorded = kit / "GOOGLE_CHROME" / "chrome_setup.exe.cmdline"
    return recorded.read_bytes().decode("utf-16-le") if recorded.exists() else None


def test_browser_offer_when_only_the_browser_is_compatible(test_world):
    kit = offer_kit("incompatible 7", "compatible")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)

    def keep_default_browser(state):
        assert state.text(INCLUDE) == "Include G&oogle Chrome along with Tamsa Offer Suite"
        # Without the browser it cannot be the default one: unchecking
        # "Include" clears "default browser", which stays clear.
        wizard.click(INCLUDE)
        assert not wizard.state().controls[MAKE_DEFAULT].enabled
        wizard.click(INCLUDE)
        assert wizard.state().controls[MAKE_DEFAULT].enabled

    # The refused toolbar shows no page and leaves the run.
    assert "GoogleToolbar" not in walk(wizard, on_offer=keep_default_browser)
    # Held off while the run goes on.
    assert registry(APPID, "32").get("AppID") == "{E3600F8F-17EE-4ECF-950F-C1419555BE1B}"
    assert finish(wizard, run) == 0
    assert installed(ALPHA) and not installed(DELTA)
    assert browser_command_line(kit).rstrip().endswith("chrome_setup.exe\" /b:0")
    assert registry(APPID, "32") == {}
    messages = read_log(logs / "VELL_SETUP.LOG")
    for line in ("Google Toolbar not compatible with target system; reason = 7",
                 "   Disabling installation of product 'GOOGLE_TOOLBAR'",
                 "Attempting to register CancelAutoPlay", "   Registered CancelAutoPlay successfully",
                 "   Successfully unregistered AppID", "   Unregistered CancelAutoPlay successfully"):
        assert line in messages, line


def test_accepted_toolbar_is_installed_and_the_browser_never_asked(test_world):
    kit = offer_kit("compatible", "compatible")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    assert "GoogleChrome" not in walk(wizard)
    assert finish(wizard, run) == 0
    assert installed(ALPHA) and installed(DELTA) and browser_command_line(kit) is None
    assert not (kit / "GOOGLE_CHROME" / "gcapi_dll.dll.calls").exists()
    assert "User agree to install google; disable chrome page by condition" in read_log(logs / "VELL_SETUP.LOG")


def test_cancel_after_the_browser_offer_removes_its_marker(test_world):
    """The browser is not installed: the user-exit page takes the offer's
    marker away, so a later run may offer it again."""
    subprocess.run(["wine", "reg", "add", MARKER, "/v", "Until", "/d", "20301231", "/reg:32", "/f"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                   env=wine_environment(), timeout=60, check=True)
    kit = offer_kit("incompatible 3", "compatible")
    run, _ = start_setup(kit)
    wizard = Wizard(TITLE)
    walk(wizard, until="GoogleChrome")
    assert registry(MARKER, "32") == {"Until": "20301231"}
    wizard.press("cancel")
    wizard.answer(CANCEL_QUESTION, YES)
    finish(wizard, run, "UserExit")
    assert registry(MARKER, "32") == {}
    assert not installed(ALPHA) and browser_command_line(kit) is None
