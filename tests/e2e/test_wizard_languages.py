"""The wizard in every offered language: the user's language set through
Wine's locale and the suite's packages in that language only, so the run
takes it for the install and the interface; the welcome, licence,
experience, verify and finish pages (and the sheet's title and its whole
button row) show that language's texts, not the English ones, Escape on
the experience page asks the cancel question in it, and every
text fits its control with the font it is shown in, at 96 DPI and for a few
languages at 144; the licence and experience titles name the user's
company, or read whole without one. A language forced on the command line
of an English system gives the same button row, and the English wizard on
a Hebrew system reads left to right. After an upgrade that failed once its
packages had removed the earlier products, the interrupted page names them
in the user's language rather than saying that nothing changed. Each page's
screenshot stays under build/e2e/test_wizard_languages/."""
import os
import re
import sys

import pytest

from conftest import REPO, windows_path
from test_languages import language_kit
from test_replacing_packages import FERN1, FERN2, IVY1, SUITE_C, kit as garden_kit
from test_suite_run import FAILED, installed
from test_wizard import (BOX_TEXT, CANCEL_QUESTION, OK, SUITE, accept_licence, escape_asks_to_cancel, move_on,
                         page_name, wait_for_page)
from test_wizard_pages_text import page_section, set_logical_dpi, with_licence
from wizard_driver import BACK, CANCEL, FINISH, NEXT, WS_EX_LAYOUTRTL, BackgroundRun, Wizard

sys.path.insert(0, str(REPO / "tests" / "resources"))
import check_translations  # noqa: E402

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

LANG_DIR = REPO / "resources" / "lang"
WELCOME_TITLE, WELCOME_BODY = 11001, 11003
EULA_TITLE, EULA_NOTE, EULA_ACCEPT = 11008, 11009, 11155
UEIP_TITLE, UEIP_ACCEPT, UEIP_TEXT = 11132, 11154, 11157
FINISH_TITLE, FINISH_BODY = 11013, 11014
USER_EXIT_TITLE, USER_EXIT_BODY, USER_EXIT_NOTE = 11061, 11062, 11063
VERIFY_TITLE = 11041
COMPANY = "Tamsa"

SEQUENCE = ("\n[Interface]\nSequences=Install\n[Interface.Install]\n"
            "Pages=Welcome,Eula,ExperienceImprovement,Verify,Progress,UserExit,Finish\nStart=Welcome\n" +
            page_section("Welcome", "Eula", back=1) +
            page_section("Eula", "ExperienceImprovement") +
            page_section("ExperienceImprovement", "Verify") +
            page_section("Verify", "Progress") +
            page_section("Progress", "UserExit", back=1, next_disabled=1) +
            page_section("UserExit", "Finish", back=1, next_disabled=1, condition="UserCanceled, FailedInstall") +
            page_section("Finish", "0", back=1, next_disabled=1))


def locales():
    """Each offered language's code with the Unix locale that names it."""
    rows = (REPO / "foundation" / "language_rows.cpp").read_text(encoding="utf-8")
    names = {code: name for code, name in re.findall(r'\{L"([A-Z]{3})", 0x[0-9A-Fa-f]+, \d+, \d+, L"([^"]+)"\}', rows)}
    # The traditional Spanish sort has no locale of its own: the user is
    # Spanish, and the packages decide.
    return [(code, names[code].split("_")[0].replace("-", "_") + ".UTF-8")
            for code, _ in check_translations.offered_languages()]


def rc_text(text):
    """A resource compiler string as the program shows it."""
    text = text.replace('""', '"')
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)), text)


class Texts:
    """A language file's texts, falling back to English as the program does."""

    def __init__(self, code):
        constants = check_translations.language_constants()
        english = check_translations.RcFile(LANG_DIR / "enu.rc", constants)
        own = check_translations.RcFile(LANG_DIR / f"{code.lower()}.rc", constants)
        self.texts = {**english.defines, **{s[0]: s[1] for s in english.strings}}
        self.texts.update({**own.defines, **{s[0]: s[1] for s in own.strings}})

    def __getitem__(self, name):
        text = rc_text(self.texts[name])
        for token, value in (("[SetupWizard]", "IDS_SETUP_WIZARD"), ("[Wizard]", "IDS_WIZARD"),
                             ("[Setup]", "IDS_APP_NAME")):
            text = text.replace(token, rc_text(self.texts[value]))
        return text.replace("[ProductName]", SUITE).replace("[CompanyName]", COMPANY)


def check_fit(wizard, page, texts, fonts=None):
    fits = wizard.fit(texts["IDS_FONT_TEXT"], fonts)
    assert fits, f"nothing measured on {page}"
    clipped = [f for f in fits if not f["ok"]]
    assert not clipped, f"clipped on {page}: {clipped}"


def check_button_row(state, texts, page, next_text="IDS_BUTTON_NEXT"):
    """The buttons shown are all in the page's language, whatever the
    system's own captions would be."""
    row = {BACK: texts["IDS_BUTTON_BACK"], NEXT: texts[next_text], FINISH: texts["IDS_BUTTON_FINISH"],
           CANCEL: texts["IDS_BUTTON_CANCEL"]}
    shown = {button: state.buttons[button].text for button in row if state.buttons[button].visible}
    assert shown == {button: row[button] for button in shown}, page


# Every language at 96 DPI; at 144 the longest texts and the scripts whose
# faces differ most from the Latin one; German forced on an English system,
# whose own captions are English.
RUNS = [(code, locale, 96, False) for code, locale in locales()] + \
       [(code, locale, 144, False) for code, locale in locales() if code in ("DEU", "HUN", "RUS", "JPN", "ARA")] + \
       [("DEU", "en_US.UTF-8", 96, True), ("ENU", "he_IL.UTF-8", 96, False)]
# These runs name no user company.
WITHOUT_COMPANY = {("ENU", 96), ("DEU", 96), ("JPN", 96), ("ARA", 96)}


@pytest.mark.parametrize("code, locale, dpi, forced", RUNS,
                         ids=[f"{c}-forced" if f else f"{c}-{d}" if d != 96 else f"{c}-on-HEB" if l.startswith("he")
                              else c for c, l, d, f in RUNS])
def test_wizard_pages_in_the_users_language(test_world, kit, code, locale, dpi, forced):
    if not (LANG_DIR / f"{code.lower()}.rc").exists():
        pytest.skip(f"{code} is not translated yet")
    if dpi != 96:
        set_logical_dpi(dpi)
    language_kit(kit, ["ENU", code] if forced else [code])
    company = (code, dpi) not in WITHOUT_COMPANY
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    if company:
        dcf = dcf.replace("\n[Property]\n", f"\n[Property]\nUserCompany={COMPANY}\n")
    (kit / "SETUP.DCF").write_text(dcf + SEQUENCE, encoding="latin-1")
    with_licence(kit)
    texts, english = Texts(code), Texts("ENU")
    run = BackgroundRun(kit / "setup.exe", [f"{{lang}}={code}"] if forced else [],
                        env={"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log",
                             "LANG": locale, "LC_ALL": locale})
    # The sheet is found by its title: the suite's name and "Setup" in the language.
    wizard = Wizard(f"{SUITE} {texts['IDS_APP_NAME']}")

    state = wizard.wait_sheet()
    # Only Arabic mirrors the wizard, whatever the system's own frame is.
    assert bool(state.page_exstyle & WS_EX_LAYOUTRTL) == (code == "ARA")
    assert state.text(WELCOME_TITLE) == texts["T_WELCOME_TITLE"]
    assert state.text(WELCOME_BODY) == texts["T_WELCOME_BODY"]
    if code != "ENU":
        assert state.text(WELCOME_TITLE) != english["T_WELCOME_TITLE"]
    wizard.screenshot("Welcome")
    check_button_row(state, texts, "Welcome")
    check_fit(wizard, "Welcome", texts, {WELCOME_TITLE: texts["IDS_FONT_TITLE"]})
    wizard.press("next")

    state = wizard.wait_control(EULA_ACCEPT)
    assert state.text(EULA_TITLE) == texts["T_EULA_TITLE" if company else "IDS_EULA_TITLE_NO_COMPANY"]
    assert state.text(EULA_NOTE) == texts["T_EULA_NOTE"]
    assert state.text(EULA_ACCEPT) == texts["T_EULA_ACCEPT"]
    state = accept_licence(wizard, state)
    wizard.screenshot("Eula")
    check_button_row(state, texts, "Eula")
    check_fit(wizard, "Eula", texts, {EULA_TITLE: texts["IDS_FONT_TITLE"]})
    wizard.press("next")

    state = wizard.wait_control(UEIP_ACCEPT)
    assert state.text(UEIP_TITLE) == texts["T_UEIP_TITLE" if company else "IDS_UEIP_TITLE_NO_COMPANY"]
    assert state.text(UEIP_ACCEPT) == texts["T_UEIP_ACCEPT"]
    wizard.screenshot("ExperienceImprovement")
    if (code, dpi) in WITHOUT_COMPANY and not forced:
        # The page's text has the focus; Escape still asks, in the language.
        assert state.focus == UEIP_TEXT
        box, state = escape_asks_to_cancel(wizard)
        assert box[CANCEL_QUESTION].text == texts["T_CANCEL_QUESTION"]
    check_button_row(state, texts, "ExperienceImprovement")
    check_fit(wizard, "ExperienceImprovement", texts, {UEIP_TITLE: texts["IDS_FONT_TITLE"]})
    wizard.press("next")

    # The page sets Next to its own action; the rest of the row keeps up.
    state = wizard.wait_control(VERIFY_TITLE)
    wizard.screenshot("Verify")
    check_button_row(state, texts, "Verify", "IDS_BUTTON_INSTALL")
    check_fit(wizard, "Verify", texts, {VERIFY_TITLE: texts["IDS_FONT_TITLE"]})
    wizard.press("next")
    state = wizard.wait_control(FINISH_TITLE, timeout_ms=180000)
    assert state.text(FINISH_TITLE) == texts["T_FINISH_TITLE"]
    assert state.text(FINISH_BODY) == texts["T_FINISH_BODY"]
    wizard.screenshot("Finish")
    check_button_row(state, texts, "Finish")
    check_fit(wizard, "Finish", texts, {FINISH_TITLE: texts["IDS_FONT_BIG_BOLD"]})
    wizard.press("finish")
    assert wizard.wait_gone(), "the sheet did not close on Finish"
    assert run.wait() == 0


# Fern 2's own upgrade removes Fern 1, Ivy 2's Ivy 1; Rue 2 then fails and
# the rollback takes the new ones: the page names what is gone.
@pytest.mark.parametrize("code, locale", [("ENU", "en_US.UTF-8"), ("DEU", "de_DE.UTF-8")])
def test_interrupted_page_names_what_a_failed_upgrade_removed(test_world, code, locale):
    v1 = garden_kit("c1", SUITE_C, [("Fern", "fern1"), ("Ivy", "ivy1"), ("Rue", "rue1")])
    v2 = garden_kit("c2", SUITE_C, [("Fern", "fern2"), ("Ivy", "ivy2"), ("Rue", "rue2")], "2.0.0")
    # Named as the sample is, whose name the wizard's texts are checked with.
    dcf = (v2 / "SETUP.DCF").read_text()
    (v2 / "SETUP.DCF").write_text(dcf.replace("[Property]\n", f"[Property]\nProductName={SUITE}\n"))
    # Installed on the same system: the upgrade keeps the language the suite was installed in.
    system = {"LANG": locale, "LC_ALL": locale}
    assert BackgroundRun(v1 / "setup.exe", ["/qn"], env=system).wait() == 0
    texts = Texts(code)
    run = BackgroundRun(v2 / "setup.exe", ["FAILRUE=1"],
                        env=dict(system, KWSETUP=windows_path(v2 / "logs") + "\\TAM_{ProductID}.log"))
    wizard = Wizard(f"{SUITE} {texts['IDS_APP_NAME']}")
    state = wizard.wait_sheet()
    while page_name(state) != "Progress":
        move_on(wizard, state, page_name(state))
        state = wizard.wait_leave(state.page_index)
    _, box = wizard.wait_box(BOX_TEXT, timeout_ms=180000)
    assert texts["IDS_PRODUCTS_NOT_RESTORED"] in box[BOX_TEXT].text
    wizard.answer(BOX_TEXT, OK)

    state = wait_for_page(wizard, "UserExit")
    wizard.screenshot("UserExit")
    lead, *names = state.text(USER_EXIT_BODY).split("\n")
    assert lead == texts["IDS_USER_EXIT_NOT_RESTORED"].split("\n")[0]
    assert sorted(names) == ["Garden Fern", "Garden Ivy"]
    assert state.text(USER_EXIT_TITLE) == texts["T_USER_EXIT_TITLE"]
    assert state.text(USER_EXIT_NOTE) == texts["T_USER_EXIT_NOTE"]
    check_fit(wizard, "UserExit", texts, {USER_EXIT_TITLE: texts["IDS_FONT_TITLE"]})
    wizard.press("finish")
    assert wizard.wait_gone(), "the sheet did not close on Finish"
    assert run.wait() == FAILED
    assert not installed(FERN1) and not installed(FERN2) and not installed(IVY1)
