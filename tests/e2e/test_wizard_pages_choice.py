"""The wizard's choice pages under Xvfb, driven as a user would: the setup
type page's Complete selects every product, feature and offered shortcut;
Custom keeps the configured choices and leads to the install location page,
whose Browse opens at its folder and whose folder (checked first: bad
characters, unknown drives, an emptied box; told in a box over the wizard)
is where the products' files land; the remove-previous page lets the user
keep an optional program that the run would otherwise remove; at 96 and 144
DPI every page with a sub-title shows it on a line of its own, off the
header band below the picture, and the setup type and progress pages show
the pictures drawn for the DPI. Screenshots of every page stay in the test's folder under build/e2e."""
import os
import shutil
import subprocess
import time

import pytest

from conftest import BUILD, REPO, prefix_drive_c, read_log
from test_suite_run import UNINSTALL, installed, registry, run_kit, suite_kit
from test_wizard import (ALPHA, BETA, SUITE_ID, OK, TITLE, accept_licence, finish, page_name, sample_kit,
                         start_setup)
from test_wizard_pages_text import HEADER_IMAGE, HEADER_SIZES, set_logical_dpi
from wizard_driver import NEXT, Wizard, centred_on, header_band, shows_picture

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

CUSTOM, COMPLETE, THIRD = 11018, 11019, 11020
SECURITY_IMAGE = 11110  # the progress page's picture beside its security note
CAPTIONS, TEXTS = (11021, 11022, 11023), (11024, 11025, 11026)
BASE_FOLDER, INSTALL_PATH, BROWSE = 11050, 11128, 11049
# Wine's folder browser: its tree, its prompt, the chosen folder's name.
BROWSE_TREE, BROWSE_PROMPT, BROWSE_FOLDER = 14145, 14146, 14149
REMOVE_TREE, REMOVE_DESCRIPTION, REMOVE_PRODUCTS = 11091, 11089, 11094
DELTA = "{9E4C6A53-AF51-4A84-8F3D-41526D7E8F91}"
# The system's message box: its text.
SYSTEM_BOX_TEXT = 0xFFFF


def choice_kit(**properties):
    """The sample suite; Beta offers a desktop shortcut that is off unless
    chosen; extra [Property] values as given."""
    kit = sample_kit()
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    dcf = dcf.replace("[Setup.Beta]\n", "[Setup.Beta]\nDESKTOPSHORTCUTS=1\nDESKTOPICON=0\n")
    extra = "".join(f"{name}={value}\n" for name, value in properties.items())
    dcf = dcf.replace("\n[Property]\n", f"\n[Property]\n{extra}")
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    return kit


def go_on(wizard, state, name):
    wizard.screenshot(name)
    if name == "Eula":
        state = accept_licence(wizard, state)
    assert state.offers(NEXT), f"{name} offers no Next"
    wizard.press("next")
    return wizard.wait_leave(state.page_index)


def go_on_taking_custom(wizard, state, name):
    """Leaves the page forward, the setup type page by its Custom choice."""
    if name == "InstallMode":
        wizard.click(CUSTOM)
    else:
        wizard.press("next")
    return wizard.wait_leave(state.page_index)


def walk_to_setup_type(wizard):
    state = wizard.wait_sheet()
    while page_name(state) != "InstallMode":
        state = go_on(wizard, state, page_name(state))
    wizard.screenshot("InstallMode")
    return state


def walk_to_the_end(wizard, run, state, seen):
    """Next through the pages up to the progress page, then Finish; the exit code."""
    while page_name(state) != "Progress":
        seen.append(page_name(state))
        state = go_on(wizard, state, seen[-1])
    return finish(wizard, run, "Finish")[1]


def marks(wizard, expected=None):
    """The remove tree's (checked, selected, text) per item; a click or a key
    is posted, so the marks are waited for when they are expected."""
    for _ in range(50):
        found = [(item.checked, item.selected, item.text) for item in wizard.tree(REMOVE_TREE)]
        if expected is None or found == expected:
            break
        time.sleep(0.1)
    return found


def package_properties(logs, package):
    lines = [m for m in read_log(logs / "VELL_SETUP.LOG") if m.lstrip().startswith("Installing Package:") and package in m]
    assert len(lines) == 1, lines
    return lines[0]


def test_complete_selects_everything_and_installs_it(test_world):
    kit = choice_kit()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    state = walk_to_setup_type(wizard)
    assert [state.text(c) for c in CAPTIONS] == ["C&ustom", "C&omplete", ""]
    assert state.text(TEXTS[1]) == "All program features will be installed.  (Requires most disk space)."
    assert state.text(TEXTS[2]) == ""
    assert state.controls[CUSTOM].visible and state.controls[COMPLETE].visible
    assert not state.controls[THIRD].visible
    # Only a choice leads on.
    assert not state.offers(NEXT)
    wizard.click(COMPLETE)
    seen = []
    code = walk_to_the_end(wizard, run, wizard.wait_leave(state.page_index), seen)
    assert code == 0
    assert seen == ["Verify"], "a complete install shows no folder, feature or removal page"
    assert installed(ALPHA) and installed(BETA)
    # The shortcut offered off is chosen too; every feature goes on.
    beta = package_properties(logs, "beta.msi")
    assert "DESKTOPICON=always" in beta and "REMOVE=" not in beta


def test_custom_installs_into_the_folder_typed_on_the_install_location_page(test_world):
    # The sample as shipped: every product goes into the suite's folder.
    kit = choice_kit()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    state = walk_to_setup_type(wizard)
    wizard.click(CUSTOM)
    state = wizard.wait_control(BASE_FOLDER)
    wizard.screenshot("InstallPoint")
    default_base = "C:\\Program Files (x86)\\Tamsa\\"
    assert state.text(BASE_FOLDER) == default_base
    assert state.text(INSTALL_PATH) == default_base + "Sample Suite"
    assert state.text(11049) == "Br&owse" and state.text(11051) == "&Reset"

    # Browse opens at the folder in the box (its part that exists), under the page's request.
    wizard.click(BROWSE)
    _, box = wizard.wait_box(BROWSE_TREE)
    wizard.screenshot("Browse")
    assert centred_on(wizard.box_rect(BROWSE_TREE), state.sheet_rect), "the browser is not over the wizard"
    assert box[BROWSE_PROMPT].text == state.text(11047)
    assert box[BROWSE_FOLDER].text == "Program Files (x86)"
    wizard.answer(BROWSE_TREE, 2)

    # Each refusal keeps the page, told in the system's box over the wizard.
    for typed, message in [
            ("C:\\Bad|Name", "The folder path 'C:\\Bad|Name\\Sample Suite' contains an invalid character."),
            ("Q:\\Nowhere", "Invalid Drive: Q:\\"),
            ("C:\\" + "x" * 250, "A portion of the folder path 'C:\\" + "x" * 250 + "\\Sample Suite' is invalid."),
            ("", "A portion of the folder path 'Sample Suite' is invalid.  It is either empty"),
    ]:
        wizard.set_text(BASE_FOLDER, typed)
        wizard.press("next")
        title, box = wizard.wait_box(SYSTEM_BOX_TEXT)
        wizard.screenshot("InstallPointRefused")
        assert title == TITLE
        assert box[SYSTEM_BOX_TEXT].text.startswith(message), box[SYSTEM_BOX_TEXT].text
        # Wine's box for the long path is wider than the screen: it starts at its left edge.
        rect = wizard.box_rect(SYSTEM_BOX_TEXT)
        assert centred_on(rect, state.sheet_rect) or rect[0] == state.work_area[0] == state.sheet_rect[0]
        wizard.answer(SYSTEM_BOX_TEXT, OK)
        assert page_name(wizard.wait_control(BASE_FOLDER)) == "InstallPoint"

    wizard.set_text(BASE_FOLDER, "C:\\Chosen Place")
    state = wizard.state()
    assert state.text(INSTALL_PATH) == "C:\\Chosen Place\\Sample Suite"
    seen = []
    code = walk_to_the_end(wizard, run, state, seen)
    assert code == 0
    assert seen == ["InstallPoint", "Customize", "Verify"]
    chosen = prefix_drive_c() / "Chosen Place" / "Sample Suite"
    for name in ("core.bin", "guide.bin", "samples.bin", "viewer.bin", "plugins.bin"):
        assert (chosen / name).is_file(), name
    program_files = prefix_drive_c() / "Program Files (x86)"
    assert not (program_files / "Tamsa").exists() and not (program_files / "TamsaAlpha").exists()
    # Custom keeps the configured choices: the shortcut offered off stays off.
    beta = package_properties(logs, "beta.msi")
    assert 'INSTALLDIR="C:\\Chosen Place\\Sample Suite\\"' in beta and "DESKTOPICON=never" in beta
    # A later run finds the suite where it went.
    record = registry(UNINSTALL + SUITE_ID, "32")
    assert record["BasePath"] == "C:\\Chosen Place"
    assert record["InstallLocation"] == "C:\\Chosen Place\\Sample Suite"
    assert registry(UNINSTALL + BETA, "32")["InstallLocation"] == "C:\\Chosen Place\\Sample Suite\\"


# Suite Two leaves Alpha on the machine; Suite Four's Delta asks for its
# removal. Optional (IGNORE), the user may keep it; required (ABORTPROD),
# Next is withdrawn while it is unchecked, and it goes.
@pytest.mark.parametrize("refusal, description, kept", [
    ("IGNORE", "Removal of the selected item is advised for the following products:", True),
    ("ABORTPROD", "Removal of the selected item is required for the following products:", False),
])
def test_remove_previous_page_decides_what_the_run_removes(test_world, refusal, description, kept):
    assert run_kit(suite_kit("suite_two"))[0] == 0
    assert installed(ALPHA)
    kit = suite_kit("suite_four")
    dcf = (kit / "SETUP.DCF").read_text().replace("Refusal=ABORTPROD", f"Refusal={refusal}")
    (kit / "SETUP.DCF").write_text(dcf)
    shutil.rmtree(kit / "logs", ignore_errors=True)
    run, logs = start_setup(kit)
    wizard = Wizard("Tamsa Suite Four Setup")
    state = walk_to_setup_type(wizard)
    wizard.click(COMPLETE)
    state = wizard.wait_control(REMOVE_TREE)
    wizard.screenshot("RemovePrevious")
    assert marks(wizard) == [(True, True, "Alpha Suite Editor 3.58")]
    assert state.text(REMOVE_DESCRIPTION) == description
    assert state.list_items[REMOVE_PRODUCTS] == ["Delta Notes 2.0.1"]

    wizard.tree_click(REMOVE_TREE, 0)
    assert marks(wizard, [(False, True, "Alpha Suite Editor 3.58")]) == [(False, True, "Alpha Suite Editor 3.58")]
    state = wizard.state()
    wizard.screenshot("RemovePreviousUnchecked")
    assert state.offers(NEXT) == kept, "only an optional program may be kept"
    if not kept:
        wizard.tree_keys(REMOVE_TREE, "space")
        assert marks(wizard, [(True, True, "Alpha Suite Editor 3.58")]) == [(True, True, "Alpha Suite Editor 3.58")]
        state = wizard.state()
        assert state.offers(NEXT)
    seen = []
    code = walk_to_the_end(wizard, run, state, seen)
    assert code == 0
    assert seen == ["RemovePrevious", "Verify"]
    assert installed(ALPHA) == kept
    assert installed(DELTA) and installed(BETA)
    choice = "FALSE" if kept else "TRUE"
    line = f"Action IncompatibleApplications.Delta.Alpha for target Delta selected: {choice}"
    assert line in [m.strip() for m in read_log(logs / "VELL_SETUP.LOG")]


# The pages' sub-titles, below the header band that the pages paint.
SUBTITLES = {"InstallMode": 11029, "InstallPoint": 11047, "Customize": 11053, "RemovePrevious": 11087,
             "Verify": 11042, "Progress": 11037}


def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def check_subtitle(state, page, shot):
    """The sub-title is shown, off the header band, and shares its place
    with no other control."""
    subtitle = state.controls[SUBTITLES[page]]
    assert subtitle.visible and subtitle.text, page
    left, _, right, _ = state.page_rect
    band_top, band_bottom = header_band(shot, state)
    assert band_bottom > band_top, f"{page}: no band below the header"
    band = (left, band_top, right, band_bottom)
    assert not overlap(subtitle.rect, band), f"{page}: sub-title {subtitle.rect} on the band {band}"
    crowded = [c.id for c in state.controls.values()
               if c.visible and c.id != subtitle.id and overlap(c.rect, subtitle.rect)]
    assert not crowded, f"{page}: sub-title {subtitle.rect} shares its place with {crowded}"


# Suite Two leaves Alpha, whose removal Suite Four asks for: a custom
# install of Suite Four shows every page with a sub-title; a program of 8 s
# keeps the progress page up.
@pytest.mark.parametrize("dpi", [96, 144])
def test_every_subtitle_has_its_own_line_below_the_header_band(test_world, dpi):
    assert run_kit(suite_kit("suite_two"))[0] == 0
    set_logical_dpi(dpi)
    kit = suite_kit("suite_four")
    dcf = (kit / "SETUP.DCF").read_text()
    beta = "[Setup.Beta]\nPackageName=beta.msi\nInstallActions=Main\n"
    assert beta in dcf
    dcf = dcf.replace(beta, beta.replace("=Main", "=Main,Program"))
    (kit / "SETUP.DCF").write_text(dcf + "\n[InstallActions.Beta.Program]\nSequence=15\nCommandLine=program.exe 0 8000\n")
    shutil.copy(BUILD / "quiet_program.exe", kit / "Beta" / "program.exe")
    shutil.rmtree(kit / "logs", ignore_errors=True)
    run, _ = start_setup(kit)
    wizard = Wizard("Tamsa Suite Four Setup")
    state = walk_to_setup_type(wizard)
    assert wizard.size(HEADER_IMAGE) == HEADER_SIZES[dpi]
    seen = []
    while True:
        name = page_name(state)
        seen.append(name)
        shot = wizard.screenshot(f"{name}-{dpi}")
        check_subtitle(state, name, shot)
        if name == "InstallMode":
            # The icon drawn for the DPI (32 pixels at 96, 48 at 144).
            icon = test_world.out / "custom.png"
            subprocess.run(["convert", f"{REPO / 'resources' / 'setup_type_custom.ico'}[{ {96: 0, 144: 2}[dpi]}]", icon],
                           check=True, timeout=60)
            assert shows_picture(shot, state.controls[CUSTOM].rect, icon)
        if name == "Progress":
            # The picture drawn for the DPI, at its own size.
            picture = state.controls[SECURITY_IMAGE]
            left, top, right, bottom = picture.rect
            assert picture.visible and (right - left, bottom - top) == (dpi // 3, dpi // 3)
            assert shows_picture(shot, picture.rect, REPO / "resources" / f"security_{dpi}.png")
            break
        state = go_on_taking_custom(wizard, state, name)
    assert seen == ["InstallMode", "InstallPoint", "Customize", "RemovePrevious", "Verify", "Progress"]
    assert finish(wizard, run, "Finish")[1] == 0
