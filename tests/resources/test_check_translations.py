"""The translation check finds the faults a translator can make: a German
file made from enu.rc with one fault each."""
import re
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).parent))
import check_translations as check  # noqa: E402

ENGLISH_TEXT = (check.LANG_DIR / "enu.rc").read_text(encoding="utf-8")


def german(*edits):
    text = ENGLISH_TEXT.replace("LANG_ENGLISH, SUBLANG_ENGLISH_US", "LANG_GERMAN, SUBLANG_GERMAN")
    for old, new in edits:
        assert old in text, old
        text = text.replace(old, new, 1)
    return text


def problems_of(tmp_path, text, name="deu.rc", raw=None):
    constants = check.language_constants()
    english = check.RcFile(check.LANG_DIR / "enu.rc", constants)
    path = tmp_path / name
    path.write_bytes(raw if raw is not None else text.encode("utf-8"))
    rc = check.RcFile(path, constants)
    ids = {code.lower(): language_id for code, language_id in check.offered_languages()}
    groups = check.accelerator_groups(check.dialog_macros(),
                                      {**english.defines, **{s[0]: s[1] for s in english.strings}})
    return check.check_file(rc, english, ids.get(path.stem), groups)


@pytest.mark.parametrize("edits, expected", [
    ([], None),
    # Translated texts with their placeholders, and a literal "&&".
    ([('"Welcome to the [SetupWizard] for [ProductName]"', '"Willkommen beim [SetupWizard] für [ProductName]"'),
      ('"Invalid Drive: [2]"', '"Ungültiges Laufwerk && Ziel: [2]"'),
      ('"Br&owse"', '"&Durchsuchen"')], None),
    # An address followed by the sentence's comma or by a script without spaces.
    ([("windowsinstaller and then", "windowsinstaller, und dann")], None),
    ([("windowsinstaller and then", "windowsinstallerから then")], None),
    # A placeholder written against the letters of a script without spaces.
    ([("_PRODUCT_NAME_ to take effect", "_PRODUCT_NAME_を有効 to take effect")], None),
    ([("LANG_GERMAN, SUBLANG_GERMAN", "LANG_GERMAN, SUBLANG_GERMAN_SWISS")],
     "LANGUAGE gives 0x0807, the offered language is 0x0407"),
    ([('  IDS_INVALID_DRIVE "Invalid Drive: [2]"\n', "")], "IDS_INVALID_DRIVE: missing"),
    ([('#define T_SECOND_LINE "Downloading:"\n', "")], "T_SECOND_LINE: missing"),
    ([('#define T_SECOND_LINE', '#define T_SECOND_LINES "x"\n#define T_SECOND_LINE')],
     "T_SECOND_LINES: not a text of enu.rc"),
    ([('"Error Code: %04X.%08X"', '"Fehler %08X.%04X"')],
     "IDS_INTERNAL_ERROR_CODE: placeholders ['%08X', '%04X'] where the English has ['%04X', '%08X']"),
    ([("[ProductName] [Wizard] was interrupted", "[Wizard] von [ProductName] unterbrochen")],
     "T_USER_EXIT_TITLE: placeholders"),
    ([("_PRODUCT_NAME_ to take effect", "_PRODUCT_NAME to take effect")], "IDS_RESTART_PROMPT: placeholders"),
    ([("This could take several minutes.", "Bitte warten.\\nDas kann dauern.")], "IDS_PLEASE_WAIT: placeholders"),
    ([("Access the <a>log file</a>", "Access the log file")], "T_USER_EXIT_LOG_LINK: placeholders"),
    ([("https://www.example.com/windowsinstaller", "https://www.example.de/windowsinstaller")],
     "IDS_MSI_VERSION_REQUIRED: placeholders"),
    ([('"I &accept the terms', '"I accept the terms')], "T_EULA_ACCEPT: 0 accelerator(s) where the English has 1"),
    ([('"Please wait..."', '"Bitte &warten..."')], "T_PROGRESS_DETAIL: 1 accelerator(s) where the English has 0"),
    ([('"R&epair"', '"Reparieren& "')], "IDS_SETUP_TYPE_REPAIR: the accelerator marks ' '"),
    ([('"&Reset"', '"&Eingabe"')],
     "IDD_WIZ_INSTALL_POINT: T_INSTALL_POINT_PROMPT, T_INSTALL_POINT_RESET share the accelerator 'e'"),
    # The sheet's Next button shares the window with the page's controls.
    ([('"C&ustom"', '"&Nach Maß"')], "IDD_WIZ_INSTALL_MODE: IDS_BUTTON_NEXT, IDS_SETUP_TYPE_CUSTOM share"),
    ([('"__MsiPromptForCD"', '"__MsiCDAnfordern"')], "IDS_MSI_PROMPT_MUTEX: must stay"),
    ([('"Tahoma_Bold_8"', '"Tahoma fett 8"')], "IDS_FONT_BOLD: \"Tahoma fett 8\" is not a font spec"),
    ([('  IDS_WIZARD "Wizard"\n', ""), ('  IDS_SETUP_WIZARD "Setup Wizard"\n',
                                         '  IDS_SETUP_WIZARD "Setup Wizard"\n  IDS_WIZARD "Assistent"\n')],
     "the strings are not in the order of enu.rc"),
    ([('  IDS_WIZARD "Wizard"\n', '  IDS_WIZARD "Wizard"\n  IDS_WIZARD "Assistent"\n')], "IDS_WIZARD twice"),
    ([('IDS_UNKNOWN_PRODUCT "Unknown product"', 'IDS_UNKNOWN_PRODUCT ""')], "IDS_UNKNOWN_PRODUCT: empty"),
    ([('#pragma code_page(65001)\n', "")], "missing #pragma code_page(65001)"),
    ([('#include "resources/dialogs.rci"\n', "")], 'does not include "resources/dialogs.rci"'),
])
def test_a_fault_in_a_translation_is_named(tmp_path, edits, expected):
    problems = problems_of(tmp_path, german(*edits))
    if expected is None:
        assert problems == []
    else:
        assert any(expected in p for p in problems), problems


def test_a_file_that_is_no_offered_language_or_not_utf8_fails(tmp_path):
    assert "not an offered language (no row in kOfferedLanguages)" in problems_of(tmp_path, german(), "deu_at.rc")
    with_bom = b"\xef\xbb\xbf" + german().encode("utf-8")
    assert any("byte order mark" in p for p in problems_of(tmp_path, "", raw=with_bom))
    with pytest.raises(check.RcError, match="not UTF-8"):
        problems_of(tmp_path, "", raw=german().encode("utf-8").replace(b"Willkommen", b"") + b"\xfc\n")


def test_every_offered_language_is_known_with_the_id_windows_gives_it():
    offered = dict(check.offered_languages())
    assert len(offered) == 24
    assert (offered["ARA"], offered["ESN"], offered["ESP"], offered["NOR"], offered["PTG"]) == \
        (0x401, 0xC0A, 0x40A, 0x414, 0x816)
    constants = check.language_constants()
    assert (constants["SUBLANG_CHINESE_SIMPLIFIED"] << 10 | constants["LANG_CHINESE"]) == offered["CHS"]
