"""setup.exe with its wizard under Xvfb, driven as a user would from
another process: the sample suite installed through the built-in page
sequence, with the progress page following the real run and the finish
page at the end; a cancel on the progress page, confirmed (the run rolls
back and the wizard ends on the user-exit page) or withdrawn (the run goes
on); a failed action, whose rollback also ends on the user-exit page, never
on the page that reports success; the boxes of the run and the cancel
question (which names a removal as such, and a repair started with /f as
a repair also on the setup type page) over the wizard's middle; the
basic interface's window, which ends under its Cancel and whose status
line shows each text on a clean line and, in a repair or a removal, what
is done to each product; the loading window, gone from the screen once the
wizard or the basic window (/qb, /qb-) is up; the keyboard alone (real key
events on the display) installing and removing the suite, Escape asking the
cancel question on every page it visits, Alt+F4 and the title bar's X once
(where Cancel is gone, they end the wizard). Screenshots of every page stay in
the test's folder under build/e2e."""
import os
import re
import subprocess
import time

import pytest

from conftest import BUILD, read_log, run_windows, windows_path
from test_suite_run import UNINSTALL, drive_c_path, installed, references, registry, suite_kit
from wizard_driver import BACK, CANCEL, FINISH, NEXT, VIEW, BackgroundRun, Wizard, centred_on

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display (Xvfb)")

ALPHA = "{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"
BETA = "{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"
SUITE = "Tamsa Sample Suite"
SUITE_ID = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}"
TITLE = f"{SUITE} Setup"
# Where the sample puts every product's files unless the user types another folder.
SUITE_FOLDER = "C:\\Program Files (x86)\\Tamsa\\Sample Suite"
CANCELLED = 1223  # the run's result when the user cancelled
# A control that only that page has: how the tests tell the pages apart.
PAGES = {11001: "Welcome", 11008: "Eula", 11028: "InstallMode", 11046: "InstallPoint", 11052: "Customize",
         11086: "RemovePrevious", 11041: "Verify", 11031: "Progress", 11013: "Finish", 11061: "UserExit",
         11152: "ProductInformation", 11132: "ExperienceImprovement"}
PROGRESS_TITLE, PROGRESS_DESCRIPTION, PROGRESS_STATUS = 11036, 11033, 11035
PROGRESS_BAR, PROGRESS_DETAIL = 11031, 11038
# The title each page must carry, by control.
PAGE_TITLES = {"Welcome": (11001, f"Welcome to the Setup Wizard for {SUITE}"),
               "Verify": (11041, "Ready to Install"),
               "Finish": (11013, "Setup Wizard Completed"),
               "UserExit": (11061, f"{SUITE} Wizard was interrupted")}
CANCEL_QUESTION, CANCEL_ICON, YES, NO = 11017, 11016, 6, 7
# The program's own message box: its text and its OK button.
BOX_TEXT, OK = 1003, 1
SECOND_SETUP_TYPE, EULA_ACCEPT, EULA_TEXT = 11019, 11155, 11006
HOST_STATUS = 1000  # "Please wait while setup loads." of the window shown first


def page_name(state):
    names = [name for control, name in PAGES.items() if control in state.controls]
    assert len(names) == 1, f"not one known page: {sorted(state.controls)}"
    return names[0]


def start_setup(kit, *args):
    logs = kit / "logs"
    return BackgroundRun(kit / "setup.exe", args, env={"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"}), logs


def check_title(state, name, titles=PAGE_TITLES):
    if name in titles:
        control, text = titles[name]
        assert state.controls[control].visible and state.text(control) == text, name


def accept_licence(wizard, state):
    """The licence page offers Next only once its box is checked."""
    assert not state.offers(NEXT), "Next offered before the licence was accepted"
    wizard.click(EULA_ACCEPT)
    deadline = time.time() + 30
    while not state.offers(NEXT) and time.time() < deadline:
        time.sleep(0.2)
        state = wizard.state()
    assert state.offers(NEXT), "Next not offered after the licence was accepted"
    return state


def move_on(wizard, state, name):
    """What the user does to leave the page forward."""
    if name == "InstallMode":
        # Only a choice leaves it (the built-in sequences disable its Next):
        # the second one, Complete on a first install, Remove on an
        # installed suite.
        assert not state.offers(NEXT)
        wizard.click(SECOND_SETUP_TYPE)
        return
    if name == "Eula" and not state.offers(NEXT):
        state = accept_licence(wizard, state)
    assert state.offers(NEXT), f"{name} offers no Next"
    wizard.press("next")


def ask_cancel_and_go_on(wizard, state, question):
    """Cancel asks the question, over the middle of the wizard; No keeps the page."""
    wizard.press("cancel")
    _, box = wizard.wait_box(CANCEL_QUESTION)
    wizard.screenshot("CancelQuestion")
    assert box[CANCEL_QUESTION].text == question
    assert centred_on(wizard.box_rect(CANCEL_QUESTION), state.sheet_rect)
    wizard.answer(CANCEL_QUESTION, NO)


def walk_to_progress(wizard, titles=PAGE_TITLES, questions=None):
    """Next through the sequence's pages up to the progress page; the pages
    seen, each one's screenshot kept. `questions`: the cancel question that
    a page asks, by page, answered No."""
    state = wizard.wait_sheet()
    seen = []
    for _ in range(len(PAGES)):
        name = page_name(state)
        seen.append(name)
        wizard.screenshot(name)
        assert state.title == TITLE
        check_title(state, name, titles)
        if name == "Progress":
            return seen, state
        if name in (questions or {}):
            ask_cancel_and_go_on(wizard, state, questions[name])
        move_on(wizard, state, name)
        state = wizard.wait_leave(state.page_index)
    raise AssertionError(f"no progress page after {seen}")


def wait_for_page(wizard, wanted, timeout=180):
    """Polls until the sheet shows the page; its state."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        state = wizard.state()
        if state.controls and page_name(state) == wanted:
            return state
        time.sleep(0.5)
    raise AssertionError(f"the wizard never reached {wanted}")


def wait_for_log_line(logs, line, timeout=120):
    log = logs / "VELL_SETUP.LOG"
    deadline = time.time() + timeout
    while time.time() < deadline:
        if log.exists() and line in log.read_bytes().decode("utf-16-le", "replace"):
            return
        time.sleep(0.2)
    raise AssertionError(f"the log never said {line!r}")


def host_window_seen(state):
    return any(HOST_STATUS in controls for _, controls in state.boxes)


def host_window_gone(wizard, timeout=30):
    """Whether the loading window has left the screen with the sheet (full
    or basic) up; it goes as the sheet shows."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        state = wizard.state()
        if state.title and not host_window_seen(state):
            return True
        time.sleep(0.5)
    return False


def check_progress_page(state):
    assert state.text(PROGRESS_TITLE) == f"Installing {SUITE}"
    assert state.text(PROGRESS_DESCRIPTION) == (
        f"Please wait while the Wizard installs {SUITE}.  This may take several minutes.")
    # The run moves the user on; Back and Next are not offered meanwhile.
    assert not state.offers(BACK) and not state.offers(NEXT)


def check_run_shown_to_its_end(wizard, detail=None):
    """The progress page the run has left: its bar at the end, its detail
    line one whole line of the installer's last text (`detail` when given)."""
    _, (position, low, high) = wizard.page_control(PROGRESS_BAR)
    assert (low, position) == (0, high), f"the bar ends at {position} of {low}..{high}"
    shown, _ = wizard.page_control(PROGRESS_DETAIL)
    assert shown.text and "\n" not in shown.text and not re.match(r"^\d: ", shown.text), shown.text
    if detail:
        assert shown.text == detail


def finish(wizard, run, page):
    state = wait_for_page(wizard, page)
    wizard.screenshot(page)
    check_title(state, page)
    assert state.offers(FINISH) and not state.offers(NEXT)
    wizard.press("finish")
    assert wizard.wait_gone(), "the sheet did not close on Finish"
    return state, run.wait()


def start_programs_list_command(suite_id, logs):
    """The suite's command in the programs list, with the wizard instead of
    its quiet switch, left running; its log goes into `logs`."""
    command = registry(UNINSTALL + suite_id, "32")["UninstallString"]
    program, arguments = re.match(r'^"([^"]+)" (.*)$', command).groups()
    arguments = [a for a in arguments.split() if a.lower() != "/qn"]
    return BackgroundRun(drive_c_path(program), arguments,
                         env={"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"})


def sample_kit():
    """The sample suite as scripts/sample.sh ships it."""
    return suite_kit("msi_suite")


def kit_with_program(arguments, options=""):
    """The sample suite with a windowless program run between Alpha's and
    Beta's packages with these arguments (exit code, milliseconds to run)."""
    kit = sample_kit()
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    dcf = dcf.replace("[Setup.Alpha]\nPackageName=alpha.msi\nInstallActions=Main",
                      "[Setup.Alpha]\nPackageName=alpha.msi\nInstallActions=Main,Program")
    dcf += f"\n[InstallActions.Alpha.Program]\nSequence=15\nCommandLine=program.exe {arguments}\n{options}"
    assert "Main,Program" in dcf
    (kit / "SETUP.DCF").write_text(dcf, encoding="latin-1")
    (kit / "Alpha" / "program.exe").write_bytes((BUILD / "quiet_program.exe").read_bytes())
    return kit


def slow_kit():
    """A program that runs for 15 s, so Cancel can be pressed while the run
    is going."""
    return kit_with_program("0 15000")


def test_interactive_install_walks_the_built_in_sequence_to_finish(test_world):
    kit = sample_kit()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    # The sample names its suite where the wizard's texts take it from.
    assert wizard.wait_sheet().text(11003).startswith(f"The Wizard will install {SUITE} on your computer.")
    assert host_window_gone(wizard), "the loading window stays beside the wizard"
    seen, state = walk_to_progress(wizard)
    assert not host_window_seen(state), "the loading window came back"
    assert seen[0] == "Welcome" and seen[-2:] == ["Verify", "Progress"]
    assert not {"InstallPoint", "Customize", "UserExit"} & set(seen), "pages of a custom install or a cancel"
    check_progress_page(state)
    wait_for_page(wizard, "Finish")
    check_run_shown_to_its_end(wizard)
    state, code = finish(wizard, run, "Finish")
    assert code == 0
    assert installed(ALPHA) and installed(BETA)
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert "Caught finish event in progress page thread" in messages
    assert "Executing CProgressPage::OnWizardNext()" in messages
    assert any(m.startswith("Updating install progress: ") for m in messages)


def test_cancel_confirmed_on_progress_rolls_back_and_ends_on_user_exit(test_world):
    kit = slow_kit()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    walk_to_progress(wizard)
    # Beta's package starts once the slow program runs: Cancel is allowed
    # from there on while the run waits for both.
    wait_for_log_line(logs, "Executing setup action: InstallActions.Beta.Main")
    state = wizard.state()
    assert state.offers(CANCEL)
    wizard.press("cancel")
    title, box = wizard.wait_box(CANCEL_QUESTION)
    wizard.screenshot("CancelQuestion")
    assert title == SUITE
    assert box[CANCEL_QUESTION].text == f"Are you sure you want to cancel {SUITE} installation?"
    assert (box[YES].text, box[NO].text) == ("&Yes", "&No")
    assert box[CANCEL_ICON].visible and box[CANCEL_ICON].image, "the question shows no icon"
    wizard.answer(CANCEL_QUESTION, YES)
    state, code = finish(wizard, run, "UserExit")
    assert code == CANCELLED
    # The run was logging: the page offers its log.
    assert state.controls[11147].visible and state.text(11147).startswith("Access the <a>log file</a>")
    assert not installed(ALPHA) and not installed(BETA)
    messages = read_log(logs / "VELL_SETUP.LOG")
    for line in ("Cancel event detected in progress dialog", "User cancel confirmed in progress dialog",
                 "Installation canceled by user", "Rolling back setup action: InstallActions.Alpha.Main"):
        assert line in messages


def test_cancel_withdrawn_on_progress_lets_the_run_finish(test_world):
    kit = slow_kit()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    walk_to_progress(wizard)
    wait_for_log_line(logs, "Executing setup action: InstallActions.Beta.Main")
    wizard.press("cancel")
    wizard.wait_box(CANCEL_QUESTION)
    wizard.answer(CANCEL_QUESTION, NO)
    state, code = finish(wizard, run, "Finish")
    assert code == 0
    assert installed(ALPHA) and installed(BETA)
    messages = read_log(logs / "VELL_SETUP.LOG")
    assert "User cancel aborted in progress dialog" in messages
    assert not any(m.startswith("Rolling back setup action") for m in messages)


def test_failed_install_rolls_back_and_ends_on_user_exit(test_world):
    kit = kit_with_program("1603", "ExecuteOptions=SYNC\n")
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    walk_to_progress(wizard)
    # The run reports its error in a box of its own, over the wizard, before the wizard ends.
    title, box = wizard.wait_box(BOX_TEXT, timeout_ms=120000)
    assert box[BOX_TEXT].text == "Setup encountered an error during installation.\n\nError Code: 0643"
    assert centred_on(wizard.box_rect(BOX_TEXT), wizard.state().sheet_rect)
    wizard.answer(BOX_TEXT, OK)
    state, code = finish(wizard, run, "UserExit")
    assert code == 1603
    assert not installed(ALPHA) and not installed(BETA)




# The title bar's X asks the cancel question once; where Cancel is no longer
# offered (the interrupted page) it ends the wizard as Finish does.
def test_closing_the_window_asks_once_and_ends_the_interrupted_wizard(test_world):
    run, _ = start_setup(sample_kit())
    wizard = Wizard(TITLE)
    wizard.wait_sheet()
    wizard.press("close")
    wizard.answer(CANCEL_QUESTION, YES)
    wait_for_page(wizard, "UserExit")
    wizard.press("close")
    assert wizard.wait_gone(), "a close did not end the interrupted wizard"
    run.wait()


# The programs list's removal with the wizard: the setup type page offers
# Repair and Remove, and Remove takes the whole suite off the machine.
def test_interactive_removal_shows_removal_texts_offers_no_cancel_and_removes_the_suite(test_world):
    kit = sample_kit()
    assert run_windows(kit / "setup.exe", ["/qn"]).code == 0
    # The programs list's command, with the wizard instead of its quiet switch.
    logs = kit / "logs-removal"
    run = start_programs_list_command(SUITE_ID, logs)
    wizard = Wizard(TITLE)
    # The last page before the run names the removal, and so do its cancel question and the first page's.
    removal = f"Are you sure you want to cancel the removal of {SUITE}?"
    _, state = walk_to_progress(wizard, {**PAGE_TITLES, "Verify": (11041, f"Remove {SUITE}")},
                                {"Welcome": removal, "Verify": removal})
    assert state.text(PROGRESS_TITLE) == f"Uninstalling {SUITE}"
    assert state.text(11037) == "You have chosen to remove the program from your computer."
    assert state.text(PROGRESS_DESCRIPTION) == f"Please wait while Windows configures {SUITE}."
    assert not state.offers(CANCEL), "a removal offers no cancel"
    wait_for_page(wizard, "Finish")
    # The installer's last text names the product removed last, by its name.
    check_run_shown_to_its_end(wizard, "Alpha Suite Editor")
    _, code = finish(wizard, run, "Finish")
    assert code == 0
    assert not installed(ALPHA) and not installed(BETA)
    assert registry(UNINSTALL + SUITE_ID, "32") == {}


# Started to repair (/f), the run asks the repair's cancel question on the
# setup type page too, before any choice is made there.
def test_repair_started_with_f_asks_the_repairs_cancel_question(test_world):
    kit = sample_kit()
    assert run_windows(kit / "setup.exe", ["/qn"]).code == 0
    run, _ = start_setup(kit, "/f", SUITE_ID)
    wizard = Wizard(TITLE)
    wizard.wait_sheet()
    wizard.press("next")
    ask_cancel_and_go_on(wizard, wait_for_page(wizard, "InstallMode"),
                         f"Are you sure you want to cancel the repair of {SUITE}?")
    wizard.press("close")
    wizard.answer(CANCEL_QUESTION, YES)
    finish(wizard, run, "UserExit")
    assert installed(ALPHA) and installed(BETA)


def uniform(shot, rect):
    """Whether the screenshot's rectangle holds a single colour."""
    left, top, right, bottom = rect
    found = subprocess.run(["convert", str(shot), "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                            "-format", "%k", "info:"], capture_output=True, text=True, timeout=60, check=False)
    return found.stdout.strip() == "1"


def alone_above(shot, control):
    """Whether the screenshot shows the window ending just under the control
    (its grey, then the empty display) and nothing else further down."""
    left, _, _, bottom = control.rect
    return not uniform(shot, (left, bottom, left + 1, bottom + 30)) and uniform(shot, (0, bottom + 20, 10000, 10000))


def shown_statuses(logs):
    log = logs / "VELL_SETUP.LOG"
    text = log.read_bytes().decode("utf-16-le", "replace") if log.exists() else ""
    return re.findall(r"Updating install progress: -?\d+ / -?\d+, (.*?)\r\n", text)


# /qb and /qb-: the one window is the progress page alone, ending under its
# Cancel; the loading window stays away also after the verify actions of
# the suite's platforms and installer version. Each status is drawn on a
# clean line: right of the current text nothing of a longer one before it
# remains.
@pytest.mark.parametrize("level", ["/qb", "/qb-"])
def test_basic_interface_status_line_shows_only_the_current_text(test_world, level):
    kit = kit_with_program("0 8000")
    dcf = (kit / "SETUP.DCF").read_text(encoding="latin-1")
    (kit / "SETUP.DCF").write_text(dcf.replace("[Setup]\n", "[Setup]\nMinimumMSIVersion=3.0\nPlatforms=NT:5.1\n", 1),
                                   encoding="latin-1")
    logs = kit / "logs"
    run = BackgroundRun(kit / "setup.exe", [level], env={"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"})
    wizard = Wizard(TITLE)
    wizard.wait_control(PROGRESS_STATUS)
    assert host_window_gone(wizard), "the loading window stays beside the progress window"
    after_longer = 0
    while after_longer < 3:
        before = wizard.state()
        if PROGRESS_STATUS not in before.controls:
            break
        shot = wizard.screenshot("BasicStatus")
        # The loading window, too, would show there.
        assert alone_above(shot, before.controls[CANCEL]), f"{shot.name}: more than the window under its Cancel"
        after = wizard.state()
        status = before.controls[PROGRESS_STATUS]
        if PROGRESS_STATUS not in after.controls or after.text(PROGRESS_STATUS) != status.text or not status.text:
            continue  # changed while the picture was taken
        width = int(next(f["need"] for f in wizard.fit("Tahoma_Normal_8") if f["id"] == PROGRESS_STATUS).split("x")[0])
        left, top, right, bottom = status.rect
        assert left + width + 2 < right, status.text
        beside = (left + width + 2, top, right, bottom)
        if not uniform(shot, beside):
            # The picture may precede the repaint of a text just set; a trace
            # of an earlier text stays until the next one, so a second
            # picture of the same text tells the two apart.
            time.sleep(0.5)
            shot = wizard.screenshot("BasicStatus")
            again = wizard.state()
            if PROGRESS_STATUS not in again.controls or again.text(PROGRESS_STATUS) != status.text:
                continue
            assert uniform(shot, beside), f"{shot.name}: traces beside {status.text!r}"
        if any(len(earlier) > len(status.text) + 10 for earlier in shown_statuses(logs)):
            after_longer += 1
    assert after_longer, "no status followed a longer one while the window was watched"
    assert run.wait() == 0
    assert installed(ALPHA) and installed(BETA)


# A kit whose source.ini hands the run over to another setup (a windowless
# stand-in that runs 8 s and ends with 7): the first run waits for it with
# its window hidden, and ends with its code.
def test_run_waiting_for_the_setup_it_handed_over_to_shows_no_window(test_world):
    kit = sample_kit()
    other = windows_path(kit / "other_setup.exe")
    (kit / "other_setup.exe").write_bytes((BUILD / "quiet_program.exe").read_bytes())
    (kit / "source.ini").write_text(f'[All]\r\nInstallSourceProg={other}\r\nInstallSourceCmd="{other}" 7 8000\r\n'
                                    "InstallSourceIni=SETUP.DCF\r\n", encoding="latin-1")
    run, logs = start_setup(kit, "/qb")
    wizard = Wizard(TITLE)
    wait_for_log_line(logs, "   The new setup has responded; this process waits for it to end.")
    time.sleep(2)
    assert not host_window_seen(wizard.state()), "the loading window stays while the other setup runs"
    assert run.process.poll() is None, "the run did not wait for the other setup"
    assert run.wait() == 7
    assert not installed(ALPHA)


# /qb repair and removal of the installed suite: every status that names a
# product says what is done to it, when its package starts and when it ends.
@pytest.mark.parametrize("switch, verb", [("/f", "Repairing"), ("/x", "Uninstalling")])
def test_basic_interface_status_says_what_is_done_to_each_product(test_world, switch, verb):
    kit = sample_kit()
    assert run_windows(kit / "setup.exe", ["/qn"]).code == 0
    logs = kit / "logs-again"
    run = BackgroundRun(kit / "setup.exe", [switch, SUITE_ID, "/qb"],
                        env={"KWSETUP": windows_path(logs) + "\\TAM_{ProductID}.log"})
    if switch == "/x":
        # The removal is asked first; the user says Yes.
        boxes = Wizard("")
        boxes.wait_box(BOX_TEXT, timeout_ms=90000)
        boxes.answer(BOX_TEXT, YES)
    # The window as the user sees it while the packages run.
    wizard, seen = Wizard(TITLE), []
    while run.process.poll() is None:
        state = wizard.state()
        if PROGRESS_STATUS in state.controls and state.text(PROGRESS_STATUS) not in seen:
            seen.append(state.text(PROGRESS_STATUS))
            wizard.screenshot("Status")
        time.sleep(0.1)
    assert run.wait() == 0
    named = [s for s in seen + shown_statuses(logs) if s.endswith(("Alpha Suite Editor", "Beta Viewer"))]
    assert len(named) >= 4 and all(s.startswith(verb + " ") for s in named), named
    assert installed(ALPHA) == installed(BETA) == (switch == "/f")


def after_key(wizard, before, timeout=30):
    """The sheet once a key has moved it to another page, or made its Next
    available; as it is when neither happens."""
    deadline = time.time() + timeout
    while True:
        state = wizard.state()
        moved = state.page_index != before.page_index or (state.offers(NEXT) and not before.offers(NEXT))
        if (state.controls and moved) or time.time() > deadline:
            return state
        time.sleep(0.2)


def asks_to_cancel(state):
    return any(CANCEL_QUESTION in controls for _, controls in state.boxes)


def settled(wizard, done, timeout=30):
    """The sheet once `done(state)` holds; as it is when the time runs out."""
    deadline = time.time() + timeout
    state = wizard.state()
    while not done(state) and time.time() < deadline:
        time.sleep(0.2)
        state = wizard.state()
    return state


def escape_asks_to_cancel(wizard, keys="Escape"):
    """Escape (or Alt+F4) on the page asks the cancel question once; Escape
    on the question keeps the run where it was. The question's controls,
    and the sheet once the question is gone."""
    wizard.keys(keys)
    title, box = wizard.wait_box(CANCEL_QUESTION)
    assert title == SUITE
    wizard.screenshot("CancelQuestion")
    wizard.box_key("escape", CANCEL_QUESTION)
    state = settled(wizard, lambda state: not asks_to_cancel(state))
    assert not asks_to_cancel(state), f"{keys} asked again"
    return box, state


def walk_by_keys(wizard, state, walk):
    """Each key typed on the display, and the page it must lead to; Back is
    never the button that Enter presses. Escape leads to the cancel question
    and back to the same page."""
    for keys, expected, *focus in walk:
        if keys in ("Escape", "alt+F4"):
            before = wizard.state()
            assert before.focus in (focus or [before.focus]), f"focus on {before.focus} on {expected}"
            _, state = escape_asks_to_cancel(wizard, keys)
            assert page_name(state) == expected, f"Escape on {expected} led to {page_name(state)}"
            continue
        wizard.keys(*keys.split())
        state = after_key(wizard, state)
        name = page_name(state)
        wizard.screenshot(name)
        assert name == expected, f"{keys} led to {name}, not to {expected}"
        assert state.default != BACK, f"Back is the default button on {name}"
    return state


# A user without a mouse: Enter and the access keys alone, back and forth,
# from the first page to Finish. Enter goes on on every page, also on one
# reached by Back, and never goes back.
def test_keyboard_alone_installs_the_suite(test_world):
    kit = sample_kit()
    run, logs = start_setup(kit)
    wizard = Wizard(TITLE)
    state = wizard.wait_sheet()
    wizard.screenshot("Welcome")
    state = walk_by_keys(wizard, state, [
        ("Escape", "Welcome"), ("Return", "Eula"),
        # The licence text has the focus when the page opens: Escape is
        # still the sheet's Cancel.
        ("Escape", "Eula", EULA_TEXT), ("alt+a", "Eula")])
    # Tab goes along the button row from View, which stands at its left.
    for keys, focus in (("Tab", VIEW), ("Tab", BACK), ("shift+Tab shift+Tab", EULA_ACCEPT)):
        wizard.keys(*keys.split())
        assert settled(wizard, lambda state: state.focus == focus).focus == focus, keys
    walk_by_keys(wizard, state, [
        ("Return", "InstallMode"), ("Escape", "InstallMode"), ("alt+F4", "InstallMode"),
        # The setup type page: Enter chooses its focused choice, Custom.
        ("Return", "InstallPoint"), ("Escape", "InstallPoint"), ("alt+b", "InstallMode"), ("alt+b", "Eula"),
        # The licence text has the focus there: Enter is still Next.
        ("Return", "InstallMode"), ("alt+b", "Eula"), ("alt+b", "Welcome"),
        ("Return", "Eula"), ("Return", "InstallMode"), ("alt+o", "Verify"), ("Escape", "Verify")])
    wizard.keys("Return")
    state = wait_for_page(wizard, "Finish")
    wizard.screenshot("Finish")
    wizard.keys("Return")
    assert wizard.wait_gone(), "Enter did not end the wizard on its last page"
    assert run.wait() == 0
    assert installed(ALPHA) and installed(BETA)
    # Complete: every feature; the suite counted once on each product.
    assert (drive_c_path(SUITE_FOLDER) / "samples.bin").is_file()
    assert references(ALPHA) == ([SUITE_ID], "0x1") and references(BETA) == ([SUITE_ID], "0x1")
    assert registry(UNINSTALL + SUITE_ID, "32")["DisplayName"] == SUITE


# The programs list's wizard from the keyboard: Repair by its access key,
# back, then Remove by Tab and Space.
def test_keyboard_alone_removes_the_suite(test_world):
    kit = sample_kit()
    assert run_windows(kit / "setup.exe", ["/qn"]).code == 0
    run = start_programs_list_command(SUITE_ID, kit / "logs-removal")
    wizard = Wizard(TITLE)
    state = wizard.wait_sheet()
    wizard.screenshot("Welcome")
    state = walk_by_keys(wizard, state, [
        ("Return", "InstallMode"), ("alt+e", "Verify"), ("alt+b", "InstallMode"), ("Tab space", "Verify")])
    assert state.text(11041) == f"Remove {SUITE}" and state.buttons[NEXT].text == "&Remove"
    wizard.keys("Return")
    wait_for_page(wizard, "Finish")
    wizard.screenshot("Finish")
    wizard.keys("Return")
    assert wizard.wait_gone(), "Enter did not end the wizard on its last page"
    assert run.wait() == 0
    assert not installed(ALPHA) and not installed(BETA)
    assert registry(UNINSTALL + SUITE_ID, "32") == {}
