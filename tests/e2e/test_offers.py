"""The browser vendor's offers under Xvfb, each run in a prefix of its own:
our stand-ins for the vendor's check DLLs answer compatible or not, the
wizard shows the one offer they allow, and the user's answer reaches the
machine (the offer's product installed or not, the browser's switch on its
command line). A quiet run makes no offer at all. AutoPlay is held off
while setup runs: its AppID keys are there in the 32-bit view during the
run and gone after it."""
import os
import shutil
import subprocess

import pytest

from conftest import BUILD, read_log, wine_environment
from test_suite_run import ALPHA, DELTA, installed, registry, suite_kit
from test_wizard import CANCEL_QUESTION, YES, move_on, page_name, start_setup, wait_for_page
from wizard_driver import NEXT, Wizard

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

TITLE = "Tamsa Offer Suite Setup"
TOOLBAR_BOX, TOOLBAR_LINKS, INCLUDE, MAKE_DEFAULT = 11146, 11145, 11119, 11120
APPID = "HKLM\\SOFTWARE\\Classes\\AppID\\setup.exe"
APPID_CLASS = "HKLM\\SOFTWARE\\Classes\\AppID\\{E3600F8F-17EE-4ECF-950F-C1419555BE1B}"
MARKER = "HKLM\\Software\\google\\No Chrome offer Until"


def offer_kit(toolbar, chrome):
    """The offer suite with each check DLL answering as given: "compatible",
    "incompatible N", or None for no DLL at all."""
    kit = suite_kit("offer_suite")
    for product, dll, answer in (("GOOGLE_TOOLBAR", "gtapi_signed.dll", toolbar),
                                 ("GOOGLE_CHROME", "gcapi_dll.dll", chrome)):
        if answer is not None:
            shutil.copy(BUILD / dll, kit / product / dll)
            (kit / product / (dll + ".answer")).write_text(answer)
    shutil.copy(BUILD / "command_recorder.exe", kit / "GOOGLE_CHROME" / "chrome_setup.exe")
    return kit


def current_page(state):
    if INCLUDE in state.controls:
        return "GoogleChrome"
    if TOOLBAR_BOX in state.controls and TOOLBAR_LINKS in state.controls:
        return "GoogleToolbar"
    return page_name(state)


def walk(wizard, on_offer):
    """Next through the pages up to Progress, the offer pages answered by
    `on_offer(name, state)`; the pages seen."""
    state = wizard.wait_sheet()
    seen = []
    for _ in range(12):
        name = current_page(state)
        seen.append(name)
        wizard.screenshot(name)
        if name == "Progress":
            return seen
        if name in ("GoogleToolbar", "GoogleChrome"):
            on_offer(name, state)
            assert state.offers(NEXT)
            wizard.press("next")
        else:
            move_on(wizard, state, name)
        state = wizard.wait_leave(state.page_index)
    raise AssertionError(f"no progress page after {seen}")


def finish(wizard, run, page="Finish"):
    wait_for_page(wizard, page)
    wizard.press("finish")
    assert wizard.wait_gone()
    return run.wait()


def browser_command_line(kit):
    recorded = kit / "GOOGLE_CHROME" / "chrome_setup.exe.cmdline"
    return recorded.read_bytes().decode("utf-16-le") if recorded.exists() else None


def test_browser_offer_shown_when_only_the_browser_is_compatible(test_world):
    kit = offer_kit("incompatible 7", "compatible")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)

    def answer(name, state):
        assert state.text(INCLUDE).replace("&", "") == "Include Google Chrome along with Tamsa Offer Suite"
        assert state.controls[MAKE_DEFAULT].enabled
        wizard.click(MAKE_DEFAULT)  # keep the present default browser

    seen = walk(wizard, answer)
    assert "GoogleChrome" in seen and "GoogleToolbar" not in seen
    # Held off while the run goes on: the AppID in the 32-bit view.
    assert registry(APPID, "32").get("AppID") == "{E3600F8F-17EE-4ECF-950F-C1419555BE1B}"
    assert registry(APPID_CLASS, "32").get("RunAs") == "Interactive User"
    assert finish(wizard, run) == 0
    assert installed(ALPHA) and not installed(DELTA)
    assert browser_command_line(kit).rstrip().endswith("/b:0")
    assert registry(APPID, "32") == {} and registry(APPID_CLASS, "32") == {}
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert "Google Toolbar not compatible with target system; reason = 7" in messages
    for line in ("Attempting to register CancelAutoPlay", "   Registered AppID",
                 "   Registered CancelAutoPlay successfully", "Attempting to unregister CancelAutoPlay",
                 "   Successfully unregistered AppID", "   Unregistered CancelAutoPlay successfully"):
        assert line in messages, line
    assert not any("Stage not built yet" in m for m in messages if "Offer" in m or "AutoPlay" in m)


def test_accepted_toolbar_is_installed_and_the_browser_never_asked(test_world):
    kit = offer_kit("compatible", "compatible")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    seen = walk(wizard, lambda name, state: None)
    assert "GoogleToolbar" in seen and "GoogleChrome" not in seen
    assert finish(wizard, run) == 0
    assert installed(ALPHA) and installed(DELTA)
    assert browser_command_line(kit) is None
    assert (kit / "GOOGLE_TOOLBAR" / "gtapi_signed.dll.calls").read_text() == "ToolbarCompatibilityCheck key=open\n"
    assert not (kit / "GOOGLE_CHROME" / "gcapi_dll.dll.calls").exists()
    assert "User agree to install google; disable chrome page by condition" in read_log(logs / "VELL_SETUP.LOG")


def test_no_offer_page_without_a_compatible_check(test_world):
    kit = offer_kit(None, "incompatible 5")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    seen = walk(wizard, lambda name, state: pytest.fail(f"offer page {name} shown"))
    assert finish(wizard, run) == 0
    assert installed(ALPHA) and not installed(DELTA)
    assert browser_command_line(kit) is None
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert any(m.startswith("Failed to load GTAPI library from '") and "gtapi_signed.dll', error code = 126" in m
               for m in messages)
    assert "Google Chrome not compatible with target system; reason = 5" in messages
    for product in ("GOOGLE_TOOLBAR", "GOOGLE_CHROME"):
        assert f"   Disabling installation of product '{product}'" in messages
    assert "GoogleToolbar" not in seen and "GoogleChrome" not in seen


def test_quiet_run_makes_no_offer(test_world):
    from test_suite_run import run_kit
    kit = offer_kit("compatible", "compatible")
    code, messages = run_kit(kit)
    assert code == 0
    assert installed(ALPHA) and not installed(DELTA)
    assert browser_command_line(kit) is None
    assert not (kit / "GOOGLE_CHROME" / "gcapi_dll.dll.calls").exists()
    assert registry(APPID, "32") == {}
    assert "   Disabling installation of product 'GOOGLE_TOOLBAR'" in messages
    assert "   Disabling installation of product 'GOOGLE_CHROME'" in messages
    assert "   Unregistered CancelAutoPlay successfully" in messages


def test_cancel_after_the_browser_offer_removes_its_marker(test_world):
    """The browser is not installed: the user-exit page takes the offer's
    marker away, so a later run may offer it again."""
    subprocess.run(["wine", "reg", "add", MARKER, "/v", "Until", "/d", "20301231", "/reg:32", "/f"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                   env=wine_environment(), timeout=60, check=True)
    assert registry(MARKER, "32") == {"Until": "20301231"}
    kit = offer_kit("incompatible 3", "compatible")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    state = wizard.wait_sheet()
    while current_page(state) != "GoogleChrome":
        assert current_page(state) != "Progress", "no browser offer page"
        move_on(wizard, state, current_page(state))
        state = wizard.wait_leave(state.page_index)
    wizard.press("cancel")
    wizard.answer(CANCEL_QUESTION, YES)
    finish(wizard, run, "UserExit")
    assert registry(MARKER, "32") == {}
    assert not installed(ALPHA) and browser_command_line(kit) is None
