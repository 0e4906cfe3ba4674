"""The packager's reference names every SETUP.DCF section and key the program reads, and no
key it does not: its key tables against the names spelled in foundation/dcf_names.h and the few
files that keep a key of their own."""
import re
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
DOCS = sorted((REPO / "docs").glob("*.md"))
SOURCE_FOLDERS = ("app", "wizard", "engine", "actions", "foundation")
CONSTANT = re.compile(r'wchar_t (k\w+)\[\] = L"([^"]*)";')
# A file that reads the configuration, and a key of its own there.
READS_CONFIGURATION = re.compile(r'#include "(foundation/kw_ini_file|foundation/dcf_names|engine/dcf_values)\.h"')
OWN_KEY = re.compile(r'wchar_t k\w+Key\[\] = L"([A-Za-z]+)";')


def section_shape(name):
    """A section with each name it is built from as <>: [Setup.<product>] and "Setup.%s" agree, and
    so do "InstallActions.%s" formatted with "<product>.<action>" and [InstallActions.<p>.<a>]."""
    shape = re.sub(r"<[^>]*>|%s", "<>", name)
    while "<>.<>" in shape:
        shape = shape.replace("<>.<>", "<>")
    return shape


def program_names():
    keys, sections = set(), set()
    for name, value in CONSTANT.findall((REPO / "foundation" / "dcf_names.h").read_text()):
        if name.endswith("Key"):
            keys.add(value)
        elif name.endswith(("Section", "SectionFormat")):
            sections.add(section_shape(value))
    for folder in SOURCE_FOLDERS:
        for source in (REPO / folder).glob("*.cpp"):
            text = source.read_text(encoding="utf-8")
            if READS_CONFIGURATION.search(text):
                keys.update(OWN_KEY.findall(text))
                sections.update(value for name, value in CONSTANT.findall(text)
                                if name.endswith("Section") and re.fullmatch(r"[A-Za-z]+", value))
    return keys, sections


def table_cells(page, header):
    """The first cells of the rows of every table whose first column is headed `header`."""
    cells, current = [], None
    for line in page.read_text(encoding="utf-8").splitlines():
        if not line.startswith("|"):
            current = None
            continue
        first = line.split("|")[1].strip()
        if current is None:
            current = first
        elif current == header and not first.startswith("---"):
            cells.append(first)
    return cells


def reference_names():
    """Keys from the tables headed "key"; sections from headings and the tables headed "section"."""
    keys, sections = set(), set()
    for page in DOCS:
        headings = [line for line in page.read_text(encoding="utf-8").splitlines() if line.startswith("#")]
        for cell in headings + table_cells(page, "section"):
            sections.update(section_shape(name) for name in re.findall(r"`\[([^\]`]+)\]`", cell))
        keys.update(key for cell in table_cells(page, "key") for key in re.findall(r"`([^`]+)`", cell))
    return keys, sections


def test_reference_names_every_key_and_section_the_program_reads():
    program_keys, program_sections = program_names()
    keys, sections = reference_names()
    assert len(program_keys) > 100 and len(DOCS) >= 3
    assert sorted(program_keys - keys) == [], "keys the program reads that the reference lacks"
    assert sorted(keys - program_keys) == [], "keys in the reference that the program does not read"
    assert sorted(program_sections - sections) == [], "sections the reference lacks"
    # A section of the reference is one the program reads, or one built from it: [Interface.<sequence>].
    built = {section + ".<>" for section in program_sections}
    assert sorted(sections - program_sections - built) == [], "sections the program does not read"


def test_reference_names_every_setting_the_command_line_takes_and_no_other():
    reference = REPO / "docs" / "packager-reference.md"
    words = [w for cell in table_cells(reference, "setting") for w in re.findall(r"`([^`]+)`", cell)]
    staying = re.search(r"These stay on the line for the packages too:(.*?)\n\n", reference.read_text(), re.S)
    words += re.findall(r"`([^`]+)`", staying.group(1))
    named = {re.match(r"[^=]*=", w).group(0) for w in words if re.match(r"[\w{}]+=", w)}
    settings = (REPO / "engine" / "engine_settings.cpp").read_text()
    taken = set(re.findall(r'wchar_t k\w+\[\] = L"([\w{}]+=)";', settings))
    assert len(taken) > 15
    assert sorted(taken - named) == [], "settings the program takes that the reference lacks"
    assert sorted(named - taken) == [], "settings in the reference that the program does not take"


def test_reference_codes_and_log_lines_are_the_programs():
    reference = REPO / "docs" / "packager-reference.md"
    sources = "".join(source.read_text(encoding="utf-8") for folder in SOURCE_FOLDERS for source in
                      (REPO / folder).glob("*.cpp"))
    header = Path("/usr/share/mingw-w64/include/winerror.h").read_text(errors="replace")
    values = {name: int(value, 0) for name, value in re.findall(r"#define (\w+) __MSABI_LONG\((\w+)\)", header)}
    spelled = {values[word] for word in set(re.findall(r"\b[A-Z_0-9]+\b", sources)) if word in values}
    number = r"\b(0x[0-9A-Fa-f]+|\d+)\b"
    spelled |= {int(n, 16) if n.startswith("0x") else int(n) for n in re.findall(number, sources)}
    codes = [m.group(1) for m in (re.match(number, cell) for cell in table_cells(reference, "code")) if m]
    assert len(codes) > 20
    assert [c for c in codes if int(c, 0) not in spelled] == [], "exit codes in the reference the program never names"
    # Placeholders of the quoted lines: '...', ..., and names such as P or InstallActions.P.A.
    quoted = [q for cell in table_cells(reference, "log line") for q in re.findall(r'"([^"]+)"', cell)]
    pieces = [max(re.split(r"\.\.\.|'|\S*\b[A-Z]\b\S*", q), key=len) for q in quoted]
    assert len(quoted) > 15
    assert [p for p in pieces if len(p) < 12 or p not in sources] == [], "log lines the program does not write"
