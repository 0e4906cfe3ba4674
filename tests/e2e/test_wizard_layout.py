"""Every page of the sample up to the verify page (Custom, then cancelled),
forced with {lang}= on an English system and in the language's locale:
no visible control outside its page, no text cut at the layout's DPI, no
header title below the header picture. Screenshots under build/e2e/."""
import os
import re

import pytest

from conftest import read_log, windows_path
from test_languages import language_kit
from test_suite_run import installed
from test_wizard import ALPHA, CANCEL_QUESTION, SUITE, YES, accept_licence, page_name
from test_wizard_languages import Texts, locales
from test_wizard_pages_choice import go_on_taking_custom
from test_wizard_pages_text import HEADER_IMAGE, set_logical_dpi, with_licence
from wizard_driver import BackgroundRun, Wizard

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

TITLES, CAPTIONS = (11001, 11008, 11028, 11046, 11052, 11041, 11061), (11021, 11022, 11023)
OWN = dict(locales())
EAST_ASIAN = ("JPN", "CHS", "CHT", "KOR")
# Every language at 96 forced; the faces the system replaces for another
# locale at each DPI, forced and own; the longest texts at 120 and 144;
# English at 120 on a screen too small for it.
RUNS = ([(code, 96, True, None) for code in OWN if code not in EAST_ASIAN + ("ENU",)] +
        [(c, d, f, None) for c in EAST_ASIAN for d in (96, 120, 144) for f in (True, False)] +
        [(code, dpi, True, None) for code in ("DEU", "RUS", "ELL") for dpi in (120, 144)] +
        [("ENU", 120, False, "800x600")])


def check_page(wizard, state, texts, dpi, name):
    page = state.page_rect
    outside = {c.id: c.rect for c in state.controls.values() if c.visible and c.rect[2] > c.rect[0] and
               not (page[0] <= c.rect[0] and page[1] <= c.rect[1] and c.rect[2] <= page[2] and c.rect[3] <= page[3])}
    assert not outside, f"outside the page {page} on {name}: {outside}"
    fonts = {**{c: texts["IDS_FONT_TITLE"] for c in TITLES}, **{c: texts["IDS_FONT_BOLD"] for c in CAPTIONS}}
    fits = wizard.fit(texts["IDS_FONT_TEXT"], fonts, dpi)
    assert fits and all(f["ok"] for f in fits), f"cut on {name}: {[f for f in fits if not f['ok']]}"
    header = state.controls[HEADER_IMAGE].rect[3]
    below = [f["text"] for f in fits if f["id"] in state.controls and f["id"] != HEADER_IMAGE and
             state.controls[f["id"]].rect[1] < header < state.controls[f["id"]].rect[1] + int(f["need"].split("x")[1])]
    assert not below, f"{name}: runs below the header picture: {below}"


@pytest.mark.parametrize("code, dpi, forced, screen", RUNS,
                         ids=[f"{c}-{d}-{'forced' if f else 'own'}{'-' + s if s else ''}" for c, d, f, s in RUNS])
def test_every_page_lies_within_the_sheet(test_world, kit, display_of_size, code, dpi, forced, screen):
    if screen:
        display_of_size(screen)
    if dpi != 96:
        set_logical_dpi(dpi)
    with_licence(language_kit(kit, ["ENU", code] if forced else [code]))
    locale, texts = "en_US.UTF-8" if forced else OWN[code], Texts(code)
    run = BackgroundRun(kit / "setup.exe", [f"{{lang}}={code}"] if forced else [],
                        env={"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log",
                             "LANG": locale, "LC_ALL": locale})
    wizard = Wizard(f"{SUITE} {texts['IDS_APP_NAME']}")
    state = wizard.wait_sheet()
    layout = [int(m.group(1)) for m in (re.match(r"^The wizard is laid out for (\d+) DPI", line)
                                        for line in read_log(kit / "logs" / "VELL_SETUP.LOG")) if m] or [dpi]
    seen = []
    while page_name(state) != "Verify":
        seen.append(page_name(state))
        wizard.screenshot(seen[-1])
        if seen[-1] == "Eula":
            state = accept_licence(wizard, state)
        check_page(wizard, state, texts, layout[0], seen[-1])
        state = go_on_taking_custom(wizard, state, seen[-1])
    assert seen == ["Welcome", "Eula", "InstallMode", "InstallPoint", "Customize"]
    for name in ("Verify", "UserExit"):
        wizard.screenshot(name)
        check_page(wizard, state, texts, layout[0], name)
        if name == "Verify":
            wizard.press("cancel")
            wizard.answer(CANCEL_QUESTION, YES)
            state = wizard.wait_control(TITLES[-1])
    wizard.press("finish")
    run.wait()
    assert not installed(ALPHA)
