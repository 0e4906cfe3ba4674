"""The Customize page in a real run under Xvfb: the sample suite's own page
sequence leads from Welcome to Customize, where the tree is driven from
another process by mouse and keyboard: the mandatory product refuses to be
unchecked (and says why), a feature and a whole product are deselected,
and the machine afterwards holds exactly what stayed checked. In a modify
run of the installed suite the tree holds what is installed, Enter on the
question whether to remove everything keeps the suite, an unchecked
product is removed, and no page says that the program goes. Run again over
itself, the suite's installed products count as chosen and say why they
cannot change. Screenshots stay in the test's folder under build/e2e."""
import os
import time

import pytest

from conftest import read_log, run_windows
from test_suite_run import UNINSTALL, drive_c_path, installed, references, registry
from test_wizard import ALPHA, BETA, CANCEL_QUESTION, SUITE, SUITE_FOLDER, SUITE_ID, TITLE, finish, page_name, \
    sample_kit, start_programs_list_command, start_setup, uniform
from test_wizard_pages_choice import BASE_FOLDER, CUSTOM, walk_to_setup_type
from test_wizard_pages_dialogs import EDITOR_TITLE, FILES_LIST, FILES_OK, open_editor
from wizard_driver import NEXT, Wizard

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

TREE, DESCRIPTION, ITEM_SIZE, REQUIRED = 11055, 11058, 11059, 11078
VERIFY_TITLE, VERIFY_SUBTITLE, VERIFY_BODY = 11041, 11042, 11040
PROGRESS_TITLE, PROGRESS_SUBTITLE, PROGRESS_DESCRIPTION = 11036, 11037, 11033
SYSTEM_BOX_TEXT, OK = 0xFFFF, 1

# Welcome, Customize and Verify, then the usual ending: (page, disable
# back, disable next, display condition).
PAGES_SHOWN = [("Welcome", 1, 0, ""), ("Customize", 0, 0, ""), ("Verify", 0, 0, ""), ("Progress", 1, 1, ""),
               ("UserExit", 1, 1, "UserCanceled, FailedInstall"), ("Finish", 1, 1, "")]


def sequence(name, sequences):
    names = [page[0] for page in PAGES_SHOWN]
    text = f"\n[Interface]\nSequences={sequences}\n\n[Interface.{name}]\nPages={','.join(names)}\nStart=Welcome\n"
    for index, (page, back, next_, condition) in enumerate(PAGES_SHOWN):
        following = names[index + 1] if index + 1 < len(names) else "0"
        text += (f"\n[Interface.{name}.{page}]\nNext={following}\nDisableBack={back}\nDisableNext={next_}\n"
                 f"DisplayCondition={condition}\n")
    return text


def customize_kit():
    kit = sample_kit()
    with open(kit / "SETUP.DCF", "a", encoding="latin-1") as dcf:
        dcf.write(sequence("Install", "Install"))
    # Alpha's items are described from the product's own folder.
    folder = kit / "Alpha" / "ProductInformation"
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "ProductInformationENU.xml").write_text(
        "<ProductInformation><CustomizeDlg><ItemDescription>The editor of {ProductVersion}</ItemDescription>"
        "</CustomizeDlg></ProductInformation>", encoding="utf-8")
    return kit


def select_item(wizard, text):
    """The keyboard's way to an item: Home, then Down as often as the
    item's place among the shown items says."""
    items = wizard.tree(TREE)
    index = [item.text for item in items].index(text)
    wizard.tree_keys(TREE, "home", *["down"] * index)
    deadline = time.time() + 30
    while time.time() < deadline:
        if any(item.selected and item.text == text for item in wizard.tree(TREE)):
            return
        time.sleep(0.2)
    raise AssertionError(f"the keys never reached {text!r}")


def checked(wizard):
    return {item.text: item.checked for item in wizard.tree(TREE)}


def wait_checked(wizard, text, value, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if checked(wizard)[text] == value:
            return
        time.sleep(0.2)
    raise AssertionError(f"{text!r} never became {'checked' if value else 'unchecked'}")


def through_verify_to_finish(wizard, run, state):
    """Next to the verify page, Next again, and Finish once the run is done
    (a run with nothing to install may end before its progress page is
    seen): the exit code."""
    wizard.press("next")
    state = wizard.wait_leave(state.page_index)
    assert page_name(state) == "Verify"
    wizard.press("next")
    return finish(wizard, run, "Finish")[1]


def test_choices_in_the_customize_tree_decide_what_is_installed(test_world):
    kit = customize_kit()
    # Beta's items have no description.
    (kit / "Beta" / "ProductInformation" / "ProductInformationENU.xml").unlink()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    state = wizard.wait_sheet()
    assert page_name(state) == "Welcome"
    wizard.press("next")
    state = wizard.wait_control(TREE)
    assert page_name(state) == "Customize"
    assert state.text(DESCRIPTION) == "The editor of 1.0.0"
    wizard.screenshot("Customize")
    # Gamma is not shown; Alpha's help files (display level 0) neither.
    assert [(item.depth, item.text, item.checked) for item in wizard.tree(TREE)] == [
        (0, "Alpha Suite Editor", True), (1, "Install Desktop icon", True), (1, "Main program", True),
        (2, "Documentation", True), (1, "Samples", True),
        (0, "Beta Viewer", True), (1, "Viewer", True), (2, "Plug-ins", True), (1, "Extras", True)]

    # The mandatory product: a click is refused with the reason, the mark stays.
    wizard.tree_click(TREE, 0)
    _, box = wizard.wait_box(SYSTEM_BOX_TEXT)
    wizard.screenshot("Mandatory")
    assert box[SYSTEM_BOX_TEXT].text == "This product is required for proper operation, and cannot be disabled."
    wizard.answer(SYSTEM_BOX_TEXT, OK)
    assert checked(wizard)["Alpha Suite Editor"]

    # The keyboard deselects a feature of Alpha and the whole of Beta.
    select_item(wizard, "Samples")
    assert wizard.state().text(ITEM_SIZE) == "This feature requires 0.01 MB on your hard drive."
    wizard.tree_keys(TREE, "space")
    wait_checked(wizard, "Samples", False)
    # Alpha's description goes when the mouse selects Beta's Viewer.
    wizard.tree_click(TREE, 6, label=True)
    for _ in range(60):
        left, top, right, bottom = wizard.state().controls[DESCRIPTION].rect
        if uniform(wizard.screenshot("Viewer"), (left + 1, top + 1, right - 1, bottom - 1)):
            break
        time.sleep(0.5)
    else:
        raise AssertionError("a description stays beside an item without one")
    # A feature unchecked takes the one below it along, drawn so; checked
    # again, that one shows its own choice again.
    wizard.tree_keys(TREE, "space")
    wait_checked(wizard, "Viewer", False)
    assert not checked(wizard)["Plug-ins"], "a feature below an unchecked one is drawn checked"
    wizard.tree_keys(TREE, "space")
    wait_checked(wizard, "Plug-ins", True)
    select_item(wizard, "Beta Viewer")
    wizard.tree_keys(TREE, "space")
    wait_checked(wizard, "Beta Viewer", False)
    state = wizard.state()
    assert state.offers(NEXT), "Alpha is still to be installed"
    assert state.text(REQUIRED).startswith("Required: ")
    wizard.screenshot("Customized")

    assert through_verify_to_finish(wizard, run, state) == 0

    folder = drive_c_path(SUITE_FOLDER)
    assert installed(ALPHA) and not installed(BETA)
    # The help files stay: their ancestors stayed selected.
    assert [(folder / name).exists() for name in ("core.bin", "guide.bin", "help.bin", "samples.bin")] == [
        True, True, True, False]
    assert not (folder / "viewer.bin").exists()
    messages = read_log(logs / "VELL_SETUP.LOG")
    for line in ("Preventing check change for 'Alpha' because it's mandatory.",
                 "Selection of feature 'Samples' set to 0", "Selection of product 'Beta' set to 0"):
        assert line in messages


# Beta's editor window holds the run on the progress page (the "Files in
# Use" dialog) until the test has read it.
def test_unchecking_an_installed_product_in_a_modify_run_removes_only_it(test_world):
    kit = sample_kit()
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    assert "[Setup.Beta]\n" in dcf
    dcf = dcf.replace("[Setup.Beta]\n", "[Setup.Beta]\nShutdownApplications=Editor\n")
    dcf += (f"\n[ShutdownApplications.Beta.Editor]\nClassName=TamsaEditorWindow\nWindowTitle={EDITOR_TITLE}\n"
            "WaitTime=3000\n" + sequence("Uninstall", "Install,Uninstall"))
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    assert run_windows(kit / "setup.exe", ["/qn"]).code == 0
    assert installed(ALPHA) and installed(BETA)
    editor = open_editor()
    try:
        modify_removing_beta(kit)
        editor.wait(timeout=30)  # closed by setup
    finally:
        if editor.poll() is None:
            editor.kill()
    assert installed(ALPHA) and not installed(BETA)
    # Both shared the suite's folder: Beta's files went with it, Alpha's stay.
    left = sorted(p.name for p in drive_c_path(SUITE_FOLDER).iterdir())
    assert left == ["core.bin", "guide.bin", "help.bin", "samples.bin"]


def modify_removing_beta(kit):
    logs = kit / "logs-modify"
    run = start_programs_list_command(SUITE_ID, logs)
    wizard = Wizard(TITLE)
    state = wizard.wait_sheet()
    wizard.press("next")
    state = wizard.wait_control(TREE)
    wizard.screenshot("Modify")
    # The installed products (a product read back from its cached file
    # brings no features); unchecking one means its removal.
    assert [(item.depth, item.text, item.checked) for item in wizard.tree(TREE)] == [
        (0, "Alpha Suite Editor", True), (0, "Beta Viewer", True)]
    # The mandatory product goes only with everything; Enter answers No,
    # which keeps it.
    wizard.tree_click(TREE, 0)
    _, box = wizard.wait_box(CANCEL_QUESTION)
    wizard.screenshot("RemoveEverything")
    assert box[CANCEL_QUESTION].text == (
        "This item is required for proper functionality. If you remove this item, all items must be "
        "uninstalled. Do you want to completely uninstall all items?")
    wizard.box_key("enter", CANCEL_QUESTION)
    deadline = time.time() + 30
    while any(CANCEL_QUESTION in box for _, box in wizard.state().boxes) and time.time() < deadline:
        time.sleep(0.2)
    assert checked(wizard)["Alpha Suite Editor"]
    select_item(wizard, "Beta Viewer")
    wizard.tree_keys(TREE, "space")
    wait_checked(wizard, "Beta Viewer", False)
    state = wizard.state()
    assert state.offers(NEXT)
    wizard.screenshot("Modified")
    wizard.press("next")
    # Alpha stays: the run changes the suite, it does not remove it.
    state = wizard.wait_leave(state.page_index)
    wizard.screenshot("Verify")
    assert [state.text(c) for c in (VERIFY_TITLE, VERIFY_SUBTITLE)] == [
        "Ready to Install", "The Wizard is ready to begin the installation."]
    assert state.text(VERIFY_BODY).startswith("Click Install to begin the installation.")
    assert state.buttons[NEXT].text == "&Install"
    wizard.press("next")
    wizard.wait_box(FILES_LIST, timeout_ms=120000)
    state = wizard.state()
    wizard.screenshot("Progress")
    assert [state.text(c) for c in (PROGRESS_TITLE, PROGRESS_SUBTITLE, PROGRESS_DESCRIPTION)] == [
        "Installing Tamsa Sample Suite", "The program features you selected are currently being installed.",
        "Please wait while Windows configures Tamsa Sample Suite."]
    wizard.answer(FILES_LIST, FILES_OK)
    _, code = finish(wizard, run, "Finish")
    assert code == 0


def refused_with_reason(wizard, index, product):
    """A click on the tree's item `index` is refused, and the box says why."""
    before = checked(wizard)
    wizard.tree_click(TREE, index)
    _, box = wizard.wait_box(SYSTEM_BOX_TEXT)
    wizard.screenshot("Refused")
    assert box[SYSTEM_BOX_TEXT].text == (
        f'This version of {product} is already installed, and neither it nor its features can be changed '
        f'here.  Use "Add/Remove Programs" from the Windows Control Panel to remove {SUITE}, then install it '
        f'again to choose other features.')
    wizard.answer(SYSTEM_BOX_TEXT, OK)
    assert checked(wizard) == before


# The suite run again over itself (over-install is allowed by default):
# Custom shows its installed products checked and counts them as chosen, so
# Next leads on; a click on one of them says why it cannot change here. The
# run keeps both products, each still counted once for the suite.
def test_custom_over_the_installed_suite_leads_on_and_keeps_it(test_world):
    kit = sample_kit()
    assert run_windows(kit / "setup.exe", ["/qn"]).code == 0
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    state = walk_to_setup_type(wizard)
    wizard.click(CUSTOM)
    state = wizard.wait_control(BASE_FOLDER)
    wizard.press("next")
    state = wizard.wait_control(TREE)
    deadline = time.time() + 30
    while not state.offers(NEXT) and time.time() < deadline:
        time.sleep(0.2)
        state = wizard.state()
    wizard.screenshot("CustomizeOverInstalled")
    items = wizard.tree(TREE)
    assert [(item.depth, item.text) for item in items if item.depth == 0] == [
        (0, "Alpha Suite Editor"), (0, "Beta Viewer")]
    assert all(item.checked for item in items), [(item.text, item.checked) for item in items]
    assert state.offers(NEXT), "the suite's own installed products count as chosen"

    texts = [item.text for item in items]
    refused_with_reason(wizard, texts.index("Beta Viewer"), "Beta Viewer")
    refused_with_reason(wizard, texts.index("Extras"), "Beta Viewer")
    assert through_verify_to_finish(wizard, run, state) == 0
    assert installed(ALPHA) and installed(BETA)
    assert references(ALPHA) == ([SUITE_ID], "0x1") and references(BETA) == ([SUITE_ID], "0x1")
    assert registry(UNINSTALL + SUITE_ID, "32")["DisplayName"] == SUITE
