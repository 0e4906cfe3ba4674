"""The two dialogs that setup.exe shows outside the wizard's pages, under
Xvfb and driven from another process: the language dialog offers every one
of the kit's language folders as pictures, on a Western, Russian or Arabic
system alike, with one selected (the user's, else English), and the chosen
one is the language the suite is installed in; the "Files in Use" dialog lists an open window of our own window_holder,
OK closes it and the install goes on, Cancel (confirmed) ends the run with
1223 and nothing installed, the full wizard on its interrupted page every
time; in Arabic the mirrored setup type page shows its pictures and the
Customize tree its check marks as drawn, the install location page and
"Files in Use" dialog keep paths and window titles reading left to right,
and the cancel question shows its icon. Screenshots stay in the test's
folder."""
import os
import shutil
import subprocess
import time

import pytest

from conftest import BUILD, REPO, current_world, read_log, windows_path, wine_environment
from test_suite_run import installed, suite_kit
from test_wizard import CANCEL_ICON, accept_licence, wait_for_page
from test_wizard_languages import Texts
from test_wizard_pages_text import page_section
from wizard_driver import FINISH, WS_EX_LAYOUTRTL, BackgroundRun, Wizard, centred_on, shows_picture

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"
BETA = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"
SUITE = "Tamsa Sample Suite"
CANCELLED = 1223
FILES_PROMPT, FILES_LIST, FILES_OK, FILES_CANCEL, FILES_IGNORE = 11162, 11161, 11163, 11164, 11165
LANGUAGE_PROMPT, LANGUAGE_LIST, OK = 11084, 11083, 1
EULA_ACCEPT, EULA_TEXT, CUSTOM, INSTALL_POINT_PROMPT, BASE_FOLDER, INSTALL_PATH = 11155, 11006, 11018, 11045, 11050, 11128
HEADER_IMAGE, COMPLETE, CUSTOMIZE_TREE = 11027, 11019, 11055
CANCEL_QUESTION, YES, NO = 11017, 6, 7
LANGIDS = {"ENU": 1033, "DEU": 1031, "JPN": 1041, "ARA": 1025, "CHS": 2052, "CHT": 1028, "KOR": 1042}
EDITOR_TITLE = "Tamsa Editor - draft.txt"


def dialogs_kit(languages, ask_language):
    """The sample suite with each package in a folder per language, and
    Alpha's shutdown list naming the editor window that window_holder opens."""
    kit = suite_kit("msi_suite")
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    extra = "AutoDetectLang=0\n" if ask_language else ""
    dcf = dcf.replace("\n[Property]\n", f"\n[Property]\n{extra}")
    dcf = dcf.replace("InstallActions=Main\nPrimaryAction=Install\nMandatory=1",
                      "InstallActions=Main\nPrimaryAction=Install\nMandatory=1\nShutdownApplications=Editor")
    dcf += ("\n[ShutdownApplications.Alpha.Editor]\nClassName=TamsaEditorWindow\n"
            f"WindowTitle={EDITOR_TITLE}\nWaitTime=3000\n")
    for key, package in (("Alpha", "alpha.msi"), ("Beta", "beta.msi"), ("Gamma", "gamma.msi")):
        dcf = dcf.replace(f"PackageName={package}", f"PackageName={{lang}}\\{package}")
        for code in languages:
            (kit / key / code).mkdir()
            shutil.copy(kit / key / package, kit / key / code / package)
        (kit / key / package).unlink()
    assert "ShutdownApplications=Editor" in dcf
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    return kit


def open_editor():
    """window_holder with the editor's window open; it ends when closed."""
    out = current_world().out
    ready = out / "editor.ready"
    process = subprocess.Popen(["wine", str(BUILD / "window_holder.exe"), "TamsaEditorWindow", EDITOR_TITLE,
                                "close", windows_path(ready)], stdout=open(out / "editor.out", "wb"),
                               stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=wine_environment())
    deadline = time.time() + 60
    while not ready.exists():
        assert process.poll() is None and time.time() < deadline, "the editor's window did not open"
        time.sleep(0.2)
    return process


def start_setup(kit, *args, locale="en_US.UTF-8"):
    logs = kit / "logs"
    env = {"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log", "LANG": locale, "LC_ALL": locale}
    return BackgroundRun(kit / "setup.exe", args, env=env), logs


# The box's texts in English and in German, the run's language once the
# language dialog chose it.
FILES_IN_USE_TEXTS = {
    "ENU": ("Setup", "The applications listed below should be closed before continuing.", "OK", "&Cancel",
            "&Ignore"),
    "DEU": ("Setup", "Die unten aufgef\u00fchrten Anwendungen sollten vor dem Fortfahren geschlossen werden.", "OK",
            "&Abbrechen", "&Ignorieren"),
}


def files_in_use_box(wizard, language="ENU"):
    title, box = wizard.wait_box(FILES_LIST, timeout_ms=120000)
    caption, prompt, ok, cancel, ignore = FILES_IN_USE_TEXTS[language]
    assert title == caption
    assert box[FILES_PROMPT].text.startswith(prompt)
    assert (box[FILES_OK].text, box[FILES_CANCEL].text, box[FILES_IGNORE].text) == (ok, cancel, ignore)
    assert box[FILES_LIST].kind == "RichEdit50W"
    return box


def test_language_dialog_then_files_in_use_ok_closes_the_application(test_world):
    kit = dialogs_kit(["ENU", "DEU", "JPN"], ask_language=True)
    editor = open_editor()
    run, logs = start_setup(kit, "/qb")
    wizard = Wizard(f"{SUITE} Setup")

    title, box = wizard.wait_box(LANGUAGE_LIST, timeout_ms=90000)
    assert title == "Setup"
    assert box[LANGUAGE_PROMPT].text == "Select your preferred installation language."
    selected, items = wizard.list_items(LANGUAGE_PROMPT, LANGUAGE_LIST)
    wizard.screenshot("LanguageDialog")
    # The folders' languages in the order offered (ascending codes), each
    # a picture 40 px high (+12 for the margins); Japanese too, whose code
    # page is not this Western system's.
    assert [item["data"] for item in items] == [LANGIDS["DEU"], LANGIDS["ENU"], LANGIDS["JPN"]]
    assert all(item["record"] == 1 and item["height"] >= 52 for item in items)
    assert [item["image"] for item in items] == [0, 1, 2]
    assert [item["flags"] & 1 for item in items] == [0, 0, 0]
    assert selected == 1, "the user's language is not the selection"

    # A click on Japanese chooses it; German, then OK.
    wizard.click_item(LANGUAGE_PROMPT, LANGUAGE_LIST, 2)
    time.sleep(1)
    assert wizard.list_items(LANGUAGE_PROMPT, LANGUAGE_LIST)[0] == 2
    wizard.click_item(LANGUAGE_PROMPT, LANGUAGE_LIST, 0)
    time.sleep(1)
    assert wizard.list_items(LANGUAGE_PROMPT, LANGUAGE_LIST)[0] == 0
    wizard.screenshot("LanguageChosen")
    wizard.answer(LANGUAGE_PROMPT, OK)

    box = files_in_use_box(wizard, "DEU")
    wizard.screenshot("FilesInUse")
    assert box[FILES_LIST].text.replace("\r", "\n") == EDITOR_TITLE
    wizard.answer(FILES_LIST, FILES_OK)
    code = run.wait()
    assert code == 0
    editor.wait(timeout=30)  # closed by setup
    assert installed(ALPHA) and installed(BETA)

    messages = read_log(logs / "VELL_SETUP.LOG")
    assert "Offering 3 languages in the language dialog; ENU is selected" in messages
    assert "SETUPLANG = DEU" in [m.strip() for m in messages]
    packages = [m for m in messages if m.startswith("   Installing Package: ")]
    assert len(packages) == 2 and all("\\DEU\\" in m for m in packages), packages
    assert "   Presenting 'Files in Use' dailog" in messages
    assert "   The user chose 'OK'" in messages


# A system whose code page none of the kit's languages has: every language
# is offered and one selected, the user's when the kit has it, else
# English; OK installs the suite in it.
@pytest.mark.parametrize("locale, languages, chosen", [
    ("ru_RU.UTF-8", ["ENU", "DEU"], "ENU"),
    ("ar_SA.UTF-8", ["ENU", "DEU", "JPN", "ARA"], "ARA"),
    # Each East Asian picture names its language in its own script (see the screenshot).
    ("ja_JP.UTF-8", ["ENU", "JPN", "CHS", "CHT", "KOR"], "JPN"),
], ids=["russian", "arabic", "east_asian"])
def test_language_dialog_on_a_foreign_system_offers_and_selects_a_language(test_world, locale, languages, chosen):
    kit = dialogs_kit(languages, ask_language=True)
    run, logs = start_setup(kit, "/qb", locale=locale)
    wizard = Wizard(f"{SUITE} Setup")
    wizard.wait_box(LANGUAGE_LIST, timeout_ms=90000)
    selected, items = wizard.list_items(LANGUAGE_PROMPT, LANGUAGE_LIST)
    wizard.screenshot("LanguageDialog")
    offered = sorted(languages)
    assert [item["data"] for item in items] == [LANGIDS[code] for code in offered]
    assert not [item for item in items if item["flags"] & 1], "a language is greyed"
    assert selected == offered.index(chosen)
    wizard.answer(LANGUAGE_PROMPT, OK)
    assert run.wait() == 0
    assert installed(ALPHA) and installed(BETA)
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert f"SETUPLANG = {chosen}" in [m.strip() for m in messages]
    packages = [m for m in messages if m.startswith("   Installing Package: ")]
    assert len(packages) == 2 and all(f"\\{chosen}\\" in m for m in packages), packages


def test_files_in_use_cancel_ends_the_run_with_nothing_installed(test_world):
    kit = dialogs_kit(["ENU"], ask_language=True)  # one language: no dialog
    editor = open_editor()
    try:
        run, logs = start_setup(kit, "/qb")
        wizard = Wizard(f"{SUITE} Setup")
        files_in_use_box(wizard)
        # Cancel asks first; No keeps the dialog with its list.
        wizard.answer(FILES_LIST, FILES_CANCEL)
        title, question = wizard.wait_box(CANCEL_QUESTION)
        wizard.screenshot("FilesInUseCancelQuestion")
        assert question[CANCEL_QUESTION].text == f"Are you sure you want to cancel {SUITE} installation?"
        wizard.answer(CANCEL_QUESTION, NO)
        box = files_in_use_box(wizard)
        assert box[FILES_LIST].text.replace("\r", "\n") == EDITOR_TITLE
        wizard.answer(FILES_LIST, FILES_CANCEL)
        wizard.answer(CANCEL_QUESTION, YES)
        # The basic wizard passes its interrupted page by itself and closes.
        assert run.wait() == CANCELLED
        assert editor.poll() is None, "the application was closed after a cancel"
        assert not installed(ALPHA) and not installed(BETA)
        messages = read_log(logs / "VELL_SETUP.LOG")
        assert "   The user chose 'Cancel'" in messages
        assert "Setup UI cancelled successfully" in messages
        assert "User cancel confirmed in progress dialog" in messages
        assert not any(m.startswith("Executing shutdown action: ") for m in messages)
    finally:
        if editor.poll() is None:
            editor.kill()


# An Arabic user: the pages and dialogs are mirrored, but a path or a
# window title in them keeps its own left-to-right reading.
def test_paths_and_window_titles_read_left_to_right_on_mirrored_pages(test_world):
    kit = dialogs_kit(["ARA"], ask_language=False)
    editor = open_editor()
    try:
        locale = "ar_SA.UTF-8"
        run = BackgroundRun(kit / "setup.exe", env={"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log",
                                                    "LANG": locale, "LC_ALL": locale})
        wizard = Wizard(f"{SUITE} {Texts('ARA')['IDS_APP_NAME']}")
        wizard.wait_sheet()
        wizard.press("next")
        state = accept_licence(wizard, wizard.wait_control(EULA_ACCEPT))
        wizard.screenshot("Eula")
        # The English licence, shown for want of an Arabic one, reads left to right.
        assert not state.controls[EULA_TEXT].reads_right_to_left()
        wizard.press("next")
        state = wizard.wait_control(CUSTOM)
        shot = wizard.screenshot("InstallMode")
        # The page is mirrored; its pictures are shown as drawn.
        for control, picture in ((HEADER_IMAGE, "header_96.png"), (CUSTOM, "setup_type_custom.ico"),
                                 (COMPLETE, "setup_type_complete.ico")):
            assert shows_picture(shot, state.controls[control].rect, REPO / "resources" / picture), picture
        wizard.click(CUSTOM)
        state = wizard.wait_control(BASE_FOLDER)
        wizard.screenshot("InstallPoint")
        assert state.page_exstyle & WS_EX_LAYOUTRTL, "the Arabic page is not mirrored"
        assert state.controls[INSTALL_POINT_PROMPT].reads_right_to_left()
        for field in (BASE_FOLDER, INSTALL_PATH):
            assert not state.controls[field].reads_right_to_left(), field
        assert state.text(INSTALL_PATH) == "C:\\Program Files (x86)\\Tamsa\\Sample Suite"
        wizard.press("next")
        state = wizard.wait_control(CUSTOMIZE_TREE)
        shot = wizard.screenshot("Customize")
        # The tree is mirrored, its check marks are not.
        assert shows_picture(shot, state.controls[CUSTOMIZE_TREE].rect, wizard.check_image())
        wizard.press("next")
        state = wizard.wait_leave(state.page_index)
        wizard.press("next")  # Verify

        _, box = wizard.wait_box(FILES_LIST, timeout_ms=120000)
        wizard.screenshot("FilesInUse")
        assert centred_on(wizard.box_rect(FILES_LIST), wizard.state().sheet_rect), "the dialog is not over the wizard"
        assert box[FILES_PROMPT].reads_right_to_left() and not box[FILES_LIST].reads_right_to_left()
        assert box[FILES_LIST].text.replace("\r", "\n") == EDITOR_TITLE
        wizard.answer(FILES_LIST, FILES_CANCEL)
        _, question = wizard.wait_box(CANCEL_QUESTION)
        wizard.screenshot("CancelQuestion")
        assert question[CANCEL_ICON].visible and question[CANCEL_ICON].image, "the question shows no icon"
        wizard.answer(CANCEL_QUESTION, NO)
        wizard.answer(FILES_LIST, FILES_OK)  # the list again, after No
        wait_for_page(wizard, "Finish")
        wizard.press("finish")
        assert wizard.wait_gone(), "the sheet did not close on Finish"
        assert run.wait() == 0
        editor.wait(timeout=30)  # closed by setup
        assert installed(ALPHA) and installed(BETA)
    finally:
        if editor.poll() is None:
            editor.kill()


# The worker's cancel after the "Files in Use" box: the wizard ends on the
# page saying the setup was interrupted, every time, and waits there for
# Finish. A sequence that starts at the progress page gets to the box at once.
INTERRUPTED_SEQUENCE = ("\n[Interface]\nSequences=Install\n[Interface.Install]\nPages=Progress,UserExit,Finish\n"
                        "Start=Progress\n" + page_section("Progress", "UserExit", back=1, next_disabled=1) +
                        page_section("UserExit", "Finish", back=1, next_disabled=1, condition="FailedInstall") +
                        page_section("Finish", "0", back=1, next_disabled=1))
ROUNDS = 6


def test_files_in_use_cancel_ends_on_the_interrupted_page_every_time(test_world):
    kit = dialogs_kit(["ENU"], ask_language=False)
    with open(kit / "SETUP.DCF", "a", encoding="latin-1") as dcf:
        dcf.write(INTERRUPTED_SEQUENCE)
    editor = open_editor()
    try:
        for round_number in range(ROUNDS):
            run, logs = start_setup(kit)
            wizard = Wizard(f"{SUITE} Setup")
            files_in_use_box(wizard)
            wizard.answer(FILES_LIST, FILES_CANCEL)
            wizard.answer(CANCEL_QUESTION, YES)
            state = wait_for_page(wizard, "UserExit", timeout=60)
            wizard.screenshot(f"Interrupted{round_number}")
            assert state.offers(FINISH) and run.process.poll() is None, "the wizard did not wait for Finish"
            wizard.press("finish")
            assert run.wait() == CANCELLED
            shutil.rmtree(logs)
        assert editor.poll() is None, "the application was closed after a cancel"
        assert not installed(ALPHA) and not installed(BETA)
    finally:
        if editor.poll() is None:
            editor.kill()
