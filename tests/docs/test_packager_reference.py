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


def reference_names():
    """Keys from the tables headed "key"; sections from headings and the tables headed "section"."""
    keys, sections = set(), set()
    for page in DOCS:
        header = None
        for line in page.read_text(encoding="utf-8").splitlines():
            if line.startswith("#"):
                sections.update(section_shape(name) for name in re.findall(r"`\[([^\]`]+)\]`", line))
            if not line.startswith("|"):
                header = None
                continue
            first = line.split("|")[1].strip()
            if header is None:
                header = first
            elif header == "key":
                keys.update(re.findall(r"`([^`]+)`", first))
            elif header == "section":
                sections.update(section_shape(name) for name in re.findall(r"`\[([^\]`]+)\]`", first))
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
