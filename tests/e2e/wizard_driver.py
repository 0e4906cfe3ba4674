"""Drives a running wizard from the test: wizdrv.exe runs in the test's own
prefix and finds the sheet by its title, reports the current page, its
controls and the wizard buttons (enabled states are read, never tried: Wine
presses a disabled button too), presses buttons and answers dialog boxes.
Screenshots of the display go into the test's folder, kept after the run."""
import re
import subprocess
from dataclasses import dataclass, field

from conftest import BUILD, current_world, windows_path, wine_environment

BACK, NEXT, FINISH, CANCEL, VIEW = 12323, 12324, 12325, 2, 60000


WS_EX_LAYOUTRTL, WS_EX_RTLREADING = 0x400000, 0x2000


@dataclass
class Control:
    id: int
    visible: bool
    enabled: bool
    kind: str
    text: str
    rect: tuple = (0, 0, 0, 0)  # left, top, right, bottom on the screen
    exstyle: int = 0
    image: bool = False  # a static shows its icon or bitmap

    def reads_right_to_left(self):
        return bool(self.exstyle & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING))


@dataclass
class WizardState:
    title: str = ""
    page_index: int = -1
    default: int = 0  # the sheet's default button (0: none)
    focus: int = 0  # the focused control's id (0: nothing has the focus)
    page_rect: tuple = (0, 0, 0, 0)  # the page's client area on the screen
    page_exstyle: int = 0
    sheet_rect: tuple = (0, 0, 0, 0)  # the sheet's window on the screen
    work_area: tuple = (0, 0, 0, 0)  # the work area of the sheet's screen
    buttons: dict = field(default_factory=dict)
    controls: dict = field(default_factory=dict)
    boxes: list = field(default_factory=list)  # (title, {id: Control})
    box_rects: list = field(default_factory=list)  # each box's rectangle on the screen
    list_items: dict = field(default_factory=dict)  # list box id: its lines

    def text(self, control_id):
        return self.controls[control_id].text

    def visible_texts(self):
        return [c.text for c in self.controls.values() if c.visible and c.text]

    def offers(self, button):
        """A wizard button the user can press: shown and enabled."""
        found = self.buttons.get(button)
        return bool(found and found.visible and found.enabled)


@dataclass
class TreeItem:
    depth: int
    checked: bool
    selected: bool
    expanded: bool
    text: str


TREE_ITEM = re.compile(r"^item depth=(\d+) checked=(\d) selected=(\d) expanded=(\d) text=(.*)$")
CONTROL = re.compile(r"^(\w+) id=(-?\d+) visible=(\d) enabled=(\d) class=(\S*) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) "
                     r"exstyle=0x([0-9a-f]+) image=(\d) text=(.*)$")
SHEET = re.compile(r"^sheet rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) work=(-?\d+),(-?\d+),(-?\d+),(-?\d+)$")
PAGE = re.compile(r"^page rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) exstyle=0x([0-9a-f]+)$")
LIST_ITEM = re.compile(r"^listitem id=(-?\d+) text=(.*)$")


def unescape(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), text)


def parse_state(output):
    state = WizardState()
    for line in output.splitlines():
        line = line.rstrip("\r")
        if line.startswith("sheet title="):
            state.title = unescape(line[len("sheet title="):])
        elif line.startswith("page index="):
            state.page_index = int(line[len("page index="):])
        elif line.startswith("default id="):
            state.default = int(line[len("default id="):])
        elif line.startswith("focus id="):
            state.focus = int(line[len("focus id="):].split()[0])
        elif SHEET.match(line):
            corners = [int(c) for c in SHEET.match(line).groups()]
            state.sheet_rect, state.work_area = tuple(corners[:4]), tuple(corners[4:])
        elif PAGE.match(line):
            *corners, exstyle = PAGE.match(line).groups()
            state.page_rect, state.page_exstyle = tuple(int(c) for c in corners), int(exstyle, 16)
        elif line.startswith("box title="):
            state.boxes.append((unescape(line[len("box title="):]), {}))
        elif line.startswith("boxrect="):
            state.box_rects.append(tuple(int(c) for c in line[len("boxrect="):].split(",")))
        elif LIST_ITEM.match(line):
            number, text = LIST_ITEM.match(line).groups()
            state.list_items.setdefault(int(number), []).append(unescape(text))
        else:
            match = CONTROL.match(line)
            if not match:
                continue
            kind, number, visible, enabled, klass, *corners, exstyle, image, text = match.groups()
            control = Control(int(number), visible == "1", enabled == "1", klass, unescape(text),
                              tuple(int(c) for c in corners), int(exstyle, 16), image == "1")
            target = {"button": state.buttons, "control": state.controls}.get(kind)
            if target is not None:
                target[control.id] = control
            elif kind == "boxcontrol" and state.boxes:
                state.boxes[-1][1][control.id] = control
    return state


class Wizard:
    """The wizard whose sheet carries `title`, driven by wizdrv.exe."""

    def __init__(self, title):
        self.title = title
        self.shots = current_world().folder / "screens"
        self.shots.mkdir(exist_ok=True)
        self.shot_count = 0

    def _drive(self, *args, timeout=120):
        out = current_world().out / "wizdrv.out"
        with open(out, "wb") as handle:
            done = subprocess.run(["wine", str(BUILD / "wizdrv.exe")] + [str(a) for a in args],
                                  stdout=handle, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                                  env=wine_environment(), timeout=timeout, check=False)
        return done.returncode, out.read_bytes().decode("utf-8", "replace")

    def wait_sheet(self, timeout_ms=90000):
        code, output = self._drive("wait-sheet", self.title, timeout_ms, timeout=timeout_ms / 1000 + 30)
        assert code == 0, f"no sheet titled {self.title!r}: {output}"
        return parse_state(output)

    def state(self):
        return parse_state(self._drive("state", self.title)[1])

    def wait_control(self, control_id, timeout_ms=60000):
        """The state once the current page holds the control (a page is
        known by a control only it has)."""
        code, output = self._drive("wait-control", self.title, control_id, timeout_ms,
                                   timeout=timeout_ms / 1000 + 30)
        assert code == 0, f"no page with control {control_id}: {output}"
        return parse_state(output)

    def wait_leave(self, index, timeout_ms=60000):
        """The state once the sheet shows a page other than `index`."""
        code, output = self._drive("wait-leave", self.title, index, timeout_ms,
                                   timeout=timeout_ms / 1000 + 30)
        assert code == 0, f"the sheet stayed on page {index}: {output}"
        return parse_state(output)

    def press(self, button):
        code, _ = self._drive("press", self.title, button)
        assert code == 0, f"could not press {button}"

    def click(self, control_id):
        """A click on a button of the current page."""
        code, _ = self._drive("click", self.title, control_id)
        assert code == 0, f"no control {control_id} to click"

    def size(self, control_id):
        """(width, height) in pixels of a control of the current page."""
        code, output = self._drive("size", self.title, control_id)
        assert code == 0, f"no control {control_id}"
        width, height = re.search(r"^size (\d+) (\d+)", output, re.M).groups()
        return int(width), int(height)

    def fit(self, text_font, fonts=None, dpi=None):
        """Each visible text of the current page and each sheet button,
        measured with the font it is shown in: `text_font` ("Tahoma_Normal_8",
        as the string table gives it), `fonts` by control id for the others,
        at the DPI the sheet is laid out for (the screen's by default):
        [{id, ok, need, have, text}]."""
        fonts = [f"{k}={v}" for k, v in (fonts or {}).items()] + ([f"dpi={dpi}"] if dpi else [])
        code, output = self._drive("fit", self.title, text_font, *fonts)
        assert code == 0, f"no sheet titled {self.title!r} to measure"
        fits = []
        for line in output.splitlines():
            match = re.match(r"^fit id=(-?\d+) ok=(\d)(?: font=unknown| need=(\S+) have=(\S+) face=.*?) text=(.*)$",
                             line.rstrip("\r"))
            if match:
                number, ok, need, have, text = match.groups()
                fits.append({"id": int(number), "ok": ok == "1", "need": need, "have": have, "text": unescape(text)})
        return fits

    def page_control(self, control_id):
        """The control of whichever page holds it, the current one or one the
        sheet has left, and a progress bar's (position, low, high)."""
        code, output = self._drive("control", self.title, control_id)
        assert code == 0, f"no page with control {control_id}"
        control = parse_state(output).controls[control_id]
        bar = re.search(r"^bar pos=(-?\d+) range=(-?\d+),(-?\d+)", output, re.M)
        return control, tuple(int(n) for n in bar.groups()) if bar else None

    def _box_state(self, child_id, timeout_ms):
        """The state of the dialog box holding `child_id`, once it is up."""
        code, output = self._drive("wait-box", child_id, timeout_ms, timeout=timeout_ms / 1000 + 30)
        assert code == 0, f"no dialog box with control {child_id}"
        return parse_state(output)

    def wait_box(self, child_id, timeout_ms=30000):
        return self._box_state(child_id, timeout_ms).boxes[0]

    def box_rect(self, child_id, timeout_ms=30000):
        """Where the dialog box holding `child_id` stands on the screen."""
        return self._box_state(child_id, timeout_ms).box_rects[0]

    def answer(self, child_id, command, timeout_ms=30000):
        code, _ = self._drive("answer", child_id, command, timeout_ms, timeout=timeout_ms / 1000 + 30)
        assert code == 0, f"no dialog box with control {child_id} to answer"

    def set_text(self, control_id, text):
        """A control of the current page gets the text, as typing would leave it."""
        code, _ = self._drive("set-text", self.title, control_id, text)
        assert code == 0, f"no control {control_id} to type into"

    def list_items(self, child_id, list_id, timeout_ms=30000):
        """The picture list of the box holding `child_id`: (selected index,
        [{index, height, record, data, image, flags}])."""
        code, output = self._drive("list", child_id, list_id, timeout_ms)
        assert code == 0, f"no list {list_id} in a box with control {child_id}: {output}"
        selected = int(re.search(r"^list count=\d+ selected=(-?\d+)", output, re.M).group(1))
        items = [{k: int(v) for k, v in re.findall(r"(\w+)=(-?\d+)", line)}
                 for line in output.splitlines() if line.startswith("item ")]
        return selected, items

    def click_item(self, child_id, list_id, index, double=False):
        code, _ = self._drive("list-click", child_id, list_id, index, "double" if double else "single")
        assert code == 0, f"no list {list_id} to click"

    def box_key(self, key, child_id, timeout_ms=30000):
        """The key ("escape" or "enter") on the dialog box that holds `child_id`."""
        code, _ = self._drive(key, child_id, timeout_ms, timeout=timeout_ms / 1000 + 30)
        assert code == 0, f"no dialog box with control {child_id} for {key}"

    def wait_gone(self, timeout_ms=120000):
        code, _ = self._drive("wait-gone", self.title, timeout_ms, timeout=timeout_ms / 1000 + 30)
        return code == 0

    def tree(self, control_id):
        """The items of the current page's tree, depth first."""
        code, output = self._drive("tree", self.title, control_id)
        assert code == 0, f"no tree {control_id} on the current page"
        items = []
        for line in output.splitlines():
            match = TREE_ITEM.match(line.rstrip("\r"))
            if match:
                depth, checked, selected, expanded, text = match.groups()
                items.append(TreeItem(int(depth), checked == "1", selected == "1", expanded == "1", unescape(text)))
        return items

    def tree_keys(self, control_id, *keys):
        """Keys posted to the tree: up, down, home, left, right, space."""
        code, _ = self._drive("tree-keys", self.title, control_id, *keys)
        assert code == 0, f"could not post {keys} to tree {control_id}"

    def tree_click(self, control_id, index, label=False):
        """A click on the check image of the tree's item `index`, or on its text."""
        code, _ = self._drive("tree-click", self.title, control_id, index, *(["label"] if label else []))
        assert code == 0, f"could not click item {index} of tree {control_id}"

    def check_image(self):
        """The checked box of a left-to-right tree, as Wine draws it, in a
        BMP file: the mark upright."""
        path = current_world().out / "check.bmp"
        code, _ = self._drive("check-image", windows_path(path))
        assert code == 0, "no check image drawn"
        return path

    def keys(self, *keys):
        """Real key events on the display (xdotool's names: "Return",
        "alt+o", "Tab", "space"), typed into the sheet's window, which gets
        the X input focus first."""
        # xdotool matches the window's plain WM_NAME, where Wine writes "?"
        # for each character beyond ASCII.
        name = "".join(re.escape(c) if ord(c) < 128 else "." for c in self.title)
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"],
                               capture_output=True, text=True, timeout=60, check=False).stdout.split()
        assert found, f"no window titled {self.title!r} on the display"
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], timeout=60, check=True)
        subprocess.run(["xdotool", "key", "--delay", "100", *keys], timeout=60, check=True)

    def screenshot(self, name):
        """The whole display as a PNG in the test's folder; the path."""
        self.shot_count += 1
        path = self.shots / f"{self.shot_count:02d}-{name}.png"
        subprocess.run(["import", "-window", "root", str(path)], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        return path


def rgba(image, crop=None):
    """(width, height, bytes): the picture file's pixels (an icon's first
    picture), or those of the rectangle (left, top, right, bottom) of it."""
    args = ["convert", f"{image}[0]"]
    if crop:
        left, top, right, bottom = crop
        args += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
    size = subprocess.run(args + ["-format", "%w %h", "info:"], capture_output=True, text=True, timeout=60,
                          check=True).stdout.split()
    data = subprocess.run(args + ["-depth", "8", "rgba:-"], capture_output=True, timeout=60, check=True).stdout
    return int(size[0]), int(size[1]), data


def header_band(shot, state):
    """(top, bottom) on the screen of the grey band the page paints below its
    header picture, found down a column at the page's left edge: from the
    picture's bottom, the rows in the band's greys (0xC4 to 0xC6)."""
    left, _, _, page_bottom = state.page_rect
    top = state.controls[11027].rect[3]
    _, height, pixels = rgba(shot, (left + 4, top, left + 5, page_bottom))
    rows = 0
    while rows < height and all(0xC2 <= value <= 0xC8 for value in pixels[rows * 4:rows * 4 + 3]):
        rows += 1
    return top, top + rows


def centred_on(inner, outer, slack=2):
    """Whether the rectangle's middle is the other's, to a pixel or two."""
    return all(abs((inner[i] + inner[i + 2]) - (outer[i] + outer[i + 2])) <= 2 * slack for i in (0, 1))


def shows_picture(shot, rect, picture):
    """Whether the screenshot shows the picture file as it is drawn, not
    mirrored, somewhere in the rectangle: each of its opaque pixels."""
    width, height, shown = rgba(shot, rect)
    picture_width, picture_height, drawn = rgba(picture)
    opaque = [((i // 4 // picture_width) * width + i // 4 % picture_width, drawn[i:i + 3])
              for i in range(0, len(drawn), 4) if drawn[i + 3] == 255]
    assert opaque, f"{picture} has no opaque pixel"
    for dy in range(height - picture_height + 1):
        for dx in range(width - picture_width + 1):
            corner = dy * width + dx
            if all(shown[(corner + at) * 4:(corner + at) * 4 + 3] == colour for at, colour in opaque):
                return True
    return False


class BackgroundRun:
    """A Windows program started through the exit-code launcher, left running
    while the test drives its windows."""

    def __init__(self, program, args=(), env=None):
        self.out = current_world().out / "background.out"
        launcher = ["wine", str(BUILD / "exit_code_launcher.exe"), windows_path(program)] + [str(a) for a in args]
        self.process = subprocess.Popen(launcher, stdout=open(self.out, "wb"), stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL,
                                        env=wine_environment(env or {}, ("KWSETUP",)))

    def wait(self, timeout=180):
        """The program's full exit code."""
        try:
            self.process.wait(timeout=timeout)
        finally:
            if self.process.poll() is None:
                self.process.kill()
        found = re.findall(r"exit code: (\d+)", self.out.read_bytes().decode("utf-8", "replace"))
        assert found, "the launcher gave no exit code"
        return int(found[-1])
