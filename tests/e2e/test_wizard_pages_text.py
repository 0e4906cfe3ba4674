"""The wizard's text pages and the pages that frame the run, driven under
Xvfb from another process: the licence streamed from the kit's rich-text
file, Next withheld until it is accepted, View's read-only copy in the
temporary folder (no View without a text), through to the finish page, whose
restart question is answered Yes through the replaceable restart call (a
setup.exe that records the request; the machine is not restarted); and the
header image chosen by the screen's logical DPI at 96, 120, 144 and 192
with the grey band below it, the sheet laid out for a lower DPI where the
screen is too small for its own, each run cancelled to the user-exit page. Screenshots of every page stay in
the test's folder under build/e2e."""
import os
import re
import shutil
import subprocess
import time

import pytest

from conftest import BUILD, prefix_drive_c, read_log, wine_environment
from test_suite_run import installed
from test_wizard import (ALPHA, BETA, CANCEL_QUESTION, NO, OK, PROGRESS_STATUS, PROGRESS_TITLE, SUITE, TITLE, YES,
                         accept_licence, finish, kit_with_program, move_on, page_name, sample_kit, slow_kit,
                         start_setup, wait_for_page)
from wizard_driver import CANCEL, FINISH, NEXT, VIEW, Wizard, header_band

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

LICENCE_TEXT = "Tamsa licence terms: install it, use it, keep it."
LICENCE_RTF = ("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + LICENCE_TEXT +
               "\\par Read more at http://127.0.0.1/terms\\par}")
EULA_TEXT, EULA_TITLE = 11006, 11008
USER_EXIT_LOG_LINK = 11147
WELCOME_TITLE = 11001
HEADER_IMAGE = 11027
HEADER_SIZES = {96: (120, 40), 120: (150, 50), 144: (180, 60), 192: (240, 80)}
SYSTEM_BOX_TEXT = 0xFFFF  # the text of the system's message box
INFORMATION_BODY = 11151
INFORMATION = "[ProductName] brings Alpha and Beta."
PROGRAMME_TEXT = "Tamsa usage data helps us."
UEIP_TITLE, UEIP_TEXT, UEIP_ACCEPT = 11132, 11157, 11154
RESTART_QUESTION = (f"You must restart your system for the configuration changes made to {SUITE} to take "
                    "effect. Click Yes to restart now or No if you plan to manually restart later.")


def with_licence(kit):
    (kit / "bin").mkdir(exist_ok=True)
    (kit / "bin" / "license.ENU").write_text(LICENCE_RTF, encoding="ascii")
    return kit


# The text pages in a sequence of the kit's own; no setup type page, so the
# run installs the suite complete.
def page_section(page, next_page, back=0, next_disabled=0, view=0, condition=""):
    return (f"[Interface.Install.{page}]\nNext={next_page}\nDisableBack={back}\nDisableNext={next_disabled}\n"
            f"EnableView={view}\nDisplayCondition={condition}\n")


TEXT_SEQUENCE = ("\n[Interface]\nSequences=Install\n[Interface.Install]\n"
                 "Pages=Welcome,ProductInformation,Eula,ExperienceImprovement,Verify,Progress,UserExit,Finish\n"
                 "Start=Welcome\n" +
                 page_section("Welcome", "ProductInformation", back=1) +
                 page_section("ProductInformation", "Eula") +
                 page_section("Eula", "ExperienceImprovement", view=1) +
                 page_section("ExperienceImprovement", "Verify", view=1) +
                 page_section("Verify", "Progress") +
                 page_section("Progress", "UserExit", back=1, next_disabled=1) +
                 page_section("UserExit", "Finish", back=1, next_disabled=1, condition="UserCanceled, FailedInstall") +
                 page_section("Finish", "0", back=1, next_disabled=1))


def with_text_pages(kit):
    (kit / "bin" / "UEIP.ENU").write_text("{\\rtf1\\ansi " + PROGRAMME_TEXT + "\\par}", encoding="ascii")
    with open(kit / "SETUP.DCF", "a", encoding="latin-1") as dcf:
        dcf.write(TEXT_SEQUENCE)
    return kit


def with_product_information(kit):
    """The suite's information file, named by its setup property."""
    (kit / "info.xml").write_text(f"<Suite><ProductInformation>{INFORMATION}</ProductInformation></Suite>",
                                  encoding="utf-8")
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    dcf = dcf.replace("\n[Property]\n", "\n[Property]\nDynamicProperties=ProductInformation\n"
                      "ProductInformation={SetupDir}\\info.xml\n")
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    return kit


def text_kit(program_arguments="3010 0"):
    """The sample suite with its licence, programme text, information file
    and the text pages' sequence; the program between the packages asks for
    a restart (3010)."""
    return with_text_pages(with_product_information(with_licence(kit_with_program(program_arguments))))


def view_copies(kit):
    """The View copies of the kit's licence: in the temporary folder, never
    beside setup.exe."""
    assert not list(kit.rglob("*.rtf")), "a copy beside the kit"
    return [p for p in prefix_drive_c().glob("users/*/Temp/license.ENU*.rtf") if not p.parent.parent.is_symlink()]


def walk_text_pages(wizard, kit, stop_at=None, programme=True):
    """Through the text pages, checking each; the pages seen, and the state
    of `stop_at` when the walk stops there. Without the programme's text its
    page offers no View."""
    state = wizard.wait_sheet()
    seen = []
    while page_name(state) != "Progress":
        name = page_name(state)
        if name == stop_at:
            return seen, state
        seen.append(name)
        wizard.screenshot(name)
        if name == "ProductInformation":
            assert state.text(INFORMATION_BODY) == f"{SUITE} brings Alpha and Beta."
        if name == "ExperienceImprovement":
            assert (PROGRAMME_TEXT in state.text(UEIP_TEXT)) == programme and state.offers(NEXT)
            assert state.offers(VIEW) == programme
            assert state.text(UEIP_TITLE) == "User Experience Improvement Program"
        if name == "Eula":
            # The kit names no user company: the title reads whole without it.
            assert state.text(EULA_TITLE) == "End User License Agreement"
            assert LICENCE_TEXT in state.text(EULA_TEXT)
            assert state.controls[EULA_TEXT].kind == "RichEdit50W"
            # Pressing a withheld Next must not pass the page either (Wine
            # presses disabled buttons).
            assert not state.offers(NEXT)
            wizard.press("next")
            time.sleep(1)
            state = wizard.state()
            assert page_name(state) == "Eula" and not state.offers(NEXT)
            state = accept_licence(wizard, state)
            wizard.screenshot("EulaAccepted")
            # View writes a read-only copy of the text where any kit may run from.
            assert state.offers(VIEW)
            wizard.click(VIEW)
            deadline = time.time() + 30
            # The copy shows before it is written and made read-only.
            while (not (copies := view_copies(kit)) or copies[0].stat().st_mode & 0o222) and time.time() < deadline:
                time.sleep(0.2)
            copies = view_copies(kit)
            assert len(copies) == 1 and copies[0].read_bytes() == (kit / "bin" / "license.ENU").read_bytes()
            assert copies[0].stat().st_mode & 0o222 == 0, "the copy can be written"
        move_on(wizard, state, name)
        state = wizard.wait_leave(state.page_index)
    return seen, state


@pytest.mark.parametrize("answer", ["yes", "no"])
def test_licence_accepted_install_finishes_and_asks_for_the_restart(test_world, answer):
    # setup.exe is the build whose restart call records instead of restarting.
    kit = text_kit()
    shutil.copy(BUILD / "setup_restart_recorder.exe", kit / "setup.exe")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    seen, _ = walk_text_pages(wizard, kit)
    assert seen == ["Welcome", "ProductInformation", "Eula", "ExperienceImprovement", "Verify"]

    state = wait_for_page(wizard, "Finish")
    wizard.screenshot("Finish")
    assert state.offers(FINISH) and not state.buttons[CANCEL].enabled
    wizard.press("finish")
    title, box = wizard.wait_box(CANCEL_QUESTION)
    wizard.screenshot("RestartQuestion")
    assert box[CANCEL_QUESTION].text == RESTART_QUESTION
    wizard.answer(CANCEL_QUESTION, YES if answer == "yes" else NO)
    assert wizard.wait_gone(), "the sheet did not close on Finish"
    # The launcher reports an exit code: nothing ended the prefix's processes.
    assert run.wait() == 0
    assert installed(ALPHA) and installed(BETA)
    messages = read_log(logs / "VELL_SETUP.LOG")
    for line in ("License agreement accepted", "Displaying reboot prompt in exit dialog"):
        assert line in messages
    if answer == "yes":
        assert (kit / "setup.exe.restart").read_text() == "EWX_REBOOT"
        assert "Rebooting from exit dialog" in messages
        assert not any(m.startswith("Error shutting down Windows") for m in messages)
    else:
        assert not (kit / "setup.exe.restart").exists()
        assert "Setting reboot approved flag to FALSE in exit dialog" in messages


# Alpha and Beta each cost 70% of the free space: either alone passes the
# run's own check of the temporary folder, both together do not fit, and
# the last page before the run says so in the system's box and keeps the
# user there. The kit lacks the programme's text: its page offers no View.
def test_verify_refuses_to_go_on_without_the_disk_space(test_world):
    kit = text_kit("0 0")
    (kit / "bin" / "UEIP.ENU").unlink()
    cost = int(shutil.disk_usage(prefix_drive_c()).free / 2**20 * 0.7)
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    for product, old in (("Alpha", "2.5"), ("Beta", "1")):
        section = f"[InstallActions.{product}.Install]\nCost="
        assert section + old + "\n" in dcf
        dcf = dcf.replace(section + old + "\n", f"{section}{cost}\n")
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    _, state = walk_text_pages(wizard, kit, stop_at="Verify", programme=False)
    assert state.buttons[NEXT].text == "&Install"
    wizard.press("next")
    _, box = wizard.wait_box(SYSTEM_BOX_TEXT)
    wizard.screenshot("OutOfDiskSpace")
    found = re.match(r"^Out of disk space -- Volume: '(.*)'; required space: ([\d,]+\.\d\d) GB; "
                     r"available space: ([\d,]+\.\d\d) GB\.  Free some disk space and retry\.$",
                     box[SYSTEM_BOX_TEXT].text)
    assert found, box[SYSTEM_BOX_TEXT].text
    volume, required, available = (text.replace(",", "") for text in found.groups())
    assert volume == "C:\\" and float(available) < float(required)
    assert abs(float(required) - 2 * cost / 1024) < 0.1
    wizard.answer(SYSTEM_BOX_TEXT, OK)
    state = wizard.state()
    assert page_name(state) == "Verify" and state.buttons[NEXT].text == "&Next >"
    wizard.press("cancel")
    wizard.answer(CANCEL_QUESTION, YES)
    finish(wizard, run, "UserExit")
    assert not installed(ALPHA) and not installed(BETA)


def set_logical_dpi(dpi):
    subprocess.run(["wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(dpi), "/f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   stdin=subprocess.DEVNULL, env=wine_environment(), timeout=60, check=True)


# On a screen too small for the sheet at its DPI (192 on 1280 x 1024, 120 on
# 800 x 600) the wizard is laid out whole as at a lower one: its pictures,
# its fonts and its size are that DPI's, and its texts fit in them.
SHEET_SIZES = {96: (774, 534), 144: (1104, 780)}


@pytest.mark.parametrize("dpi, screen, layout", [(96, None, 96), (120, None, 120), (144, None, 144),
                                                 (192, "1600x1200", 192), (192, "1280x1024", 144),
                                                 (120, "800x600", 96)])
def test_header_image_follows_the_logical_dpi(test_world, display_of_size, dpi, screen, layout):
    if screen:
        display_of_size(screen)
    set_logical_dpi(dpi)
    kit = sample_kit()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    state = wizard.wait_sheet()
    assert page_name(state) == "Welcome"
    shot = wizard.screenshot(f"Welcome-{dpi}-{screen}")
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert f"Wizard header image for {layout} DPI: header_{layout}.png (built in)" in messages
    assert any(m.startswith(f"The wizard is laid out for {layout} DPI") for m in messages) == (layout != dpi)
    # The header shows that picture at its own size, the grey band below it
    # grows with it, and every button is on the screen.
    assert wizard.size(HEADER_IMAGE) == HEADER_SIZES[layout]
    top, bottom = header_band(shot, state)
    assert bottom - top >= 6, f"a band of {bottom - top} pixels below the header"
    left, upper, right, lower = state.work_area
    for rect in [state.sheet_rect] + [b.rect for b in state.buttons.values() if b.visible]:
        assert left <= rect[0] and rect[2] <= right and upper <= rect[1] and rect[3] <= lower, rect
    fits = wizard.fit("Tahoma_Normal_8", {11001: "Tahoma_Normal_14"}, layout)
    assert fits and all(f["ok"] for f in fits), fits
    if layout != dpi:
        width, height = SHEET_SIZES[layout]
        sheet = state.sheet_rect
        assert abs(sheet[2] - sheet[0] - width) <= 12 and abs(sheet[3] - sheet[1] - height) <= 12, sheet
    # A cancel before the run ends on the user-exit page, without the log
    # link: only a cancel of the running install offers the log.
    wizard.press("cancel")
    wizard.wait_box(CANCEL_QUESTION)
    wizard.answer(CANCEL_QUESTION, YES)
    state, _ = finish(wizard, run, "UserExit")
    assert not state.controls[USER_EXIT_LOG_LINK].visible
    assert not installed(ALPHA)


# Names longer than the progress page's lines, at 120 DPI: its one-line
# title and its status keep to their line, shortened with an ellipsis
# (the window texts stay whole); the welcome page's two-line title too.
def test_long_names_keep_to_their_lines_on_the_progress_page(test_world):
    suite, product = f"{SUITE} for Teams Working Across Many Offices, Countries and Time Zones", \
        "Suite Editor Professional Edition with Extended Documentation, Samples, Plug-ins and Templates"
    set_logical_dpi(120)
    kit = slow_kit()
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1").replace(f"ProductName={SUITE}\n", f"ProductName={suite}\n")
    for name in ("Alpha", "Beta"):
        dcf = dcf.replace(f"[Setup.{name}]\n", f"[Setup.{name}]\nProductName={name} {product}\n")
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    run, _ = start_setup(kit)
    wizard = Wizard(f"{suite} Setup")
    state = wizard.wait_sheet()
    # The welcome title, too long for its two lines, ends in an ellipsis.
    welcome = {f["id"]: f for f in wizard.fit("Tahoma_Normal_8", {WELCOME_TITLE: "Tahoma_Normal_14"})}[WELCOME_TITLE]
    wizard.screenshot("Welcome")
    assert welcome["ok"] and welcome["text"].endswith("\u2026"), welcome
    assert f"Welcome to the Setup Wizard for {suite}".startswith(welcome["text"][:-1].rstrip()), welcome
    while page_name(state) != "Progress":
        move_on(wizard, state, page_name(state))
        state = wizard.wait_leave(state.page_index)
    # Measured while the status names a product: the run moves it on.
    deadline, fits = time.time() + 60, {}
    while not fits.get(PROGRESS_STATUS, {}).get("text", "").endswith(product) and time.time() < deadline:
        fits = {f["id"]: f for f in wizard.fit("Tahoma_Normal_8", {PROGRESS_TITLE: "Tahoma_Normal_14"})}
    wizard.screenshot("Progress")
    assert fits[PROGRESS_TITLE]["text"] == f"Installing {suite}"
    assert fits[PROGRESS_STATUS]["text"].startswith("Installing "), fits[PROGRESS_STATUS]
    assert fits[PROGRESS_STATUS]["ok"] and fits[PROGRESS_TITLE]["ok"], fits
    finish(wizard, run, "Finish")
    assert installed(ALPHA)
