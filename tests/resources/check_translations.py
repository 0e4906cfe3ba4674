#!/usr/bin/env python3
"""check_translations.py: every offered interface language has its file in
resources/lang/, and each file carries exactly the dialog texts (T_...) and
string ids of enu.rc, with the same placeholders in the same order and sane
accelerators.

    check_translations.py [--require-all] [--junit FILE] [LANG_FILE...]

Without files it checks every file in resources/lang/ and every offered
language; a language with no file yet is reported as skipped, or as a failure
under --require-all. Exits 1 on any failure.
"""
import argparse
import re
import sys
from pathlib import Path
from xml.sax.saxutils import quoteattr

REPO = Path(__file__).resolve().parents[2]
LANG_DIR = REPO / "resources" / "lang"
DIALOGS = REPO / "resources" / "dialogs.rci"
LANGUAGE_ROWS = REPO / "foundation" / "language_rows.cpp"
WINNT_HEADERS = [Path("/usr/share/mingw-w64/include/winnt.h"),
                 Path("/usr/i686-w64-mingw32/include/winnt.h")]

# Texts the program uses as they are: a mutex name and the font specs (the
# fonts are chosen per language, but always in the same form).
KEPT_AS_IS = {"IDS_MSI_PROMPT_MUTEX"}
FONT_SPEC = re.compile(r"^[^_]+_(Normal|Bold)_\d+$")
# Sheet buttons share the window with every wizard page's own controls.
SHEET_BUTTONS = ["IDS_BUTTON_BACK", "IDS_BUTTON_NEXT", "IDS_BUTTON_CANCEL"]
# Texts the setup type page shows next to the sheet's buttons.
SETUP_TYPE_CAPTIONS = ["IDS_SETUP_TYPE_REPAIR", "IDS_SETUP_TYPE_REMOVE",
                       "IDS_SETUP_TYPE_CUSTOM", "IDS_SETUP_TYPE_COMPLETE"]

PLACEHOLDER = re.compile(
    r"\[[A-Za-z0-9_]+\]"          # [ProductName], [2], [ButtonText_Yes]
    r"|(?<![A-Za-z0-9])_[A-Z][A-Z_]*[A-Z]_(?![A-Za-z0-9])"  # _PRODUCT_NAME_, next to any script's letters
    r"|\{[A-Za-z][A-Za-z0-9]*\}"  # {ProductName}
    r"|%%|%[-+ #0]*\d*(?:\.\d+)?[hlL]?[sdiuxXcS]"  # %s, %d, %04X
    r"|\\n"                       # line breaks decide the layout
    r"|</?a\b[^>]*>"              # links
    # web addresses: ASCII only, and never ending on the sentence's punctuation
    r"|https?://[A-Za-z0-9\-._~:/?#@!$&'()*+,;=%\[\]]*[A-Za-z0-9/_~#=&%\-]"
)


class RcError(Exception):
    pass


def tokenize(text):
    """The .rc file's tokens as (kind, value, line): 'pp' for a preprocessor
    line, 'str' for a string literal (unescaped of its doubled quotes but
    not of backslashes, as the texts are compared in source form), 'word'
    for everything else. Comments are dropped."""
    tokens = []
    i, line, n = 0, 1, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r\ufeff":
            i += 1
            continue
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise RcError(f"line {line}: unterminated comment")
            line += text.count("\n", i, end)
            i = end + 2
            continue
        if c == "#" and at_line_start:
            end = text.find("\n", i)
            end = n if end < 0 else end
            directive = text[i:end]
            # A preprocessor line may hold a string; its quotes are read
            # with the same rules below.
            tokens.append(("pp", directive, line))
            i = end
            continue
        at_line_start = False
        if c == '"':
            j = i + 1
            value = []
            while True:
                if j >= n or text[j] == "\n":
                    raise RcError(f"line {line}: unterminated string")
                if text[j] == "\\" and j + 1 < n:
                    value.append(text[j:j + 2])
                    j += 2
                    continue
                if text[j] == '"':
                    if j + 1 < n and text[j + 1] == '"':
                        value.append('""')
                        j += 2
                        continue
                    break
                value.append(text[j])
                j += 1
            tokens.append(("str", "".join(value), line))
            i = j + 1
            continue
        if c == ",":
            tokens.append(("word", ",", line))
            i += 1
            continue
        j = i
        while j < n and text[j] not in " \t\r\n\"," and not text.startswith("//", j):
            j += 1
        tokens.append(("word", text[i:j], line))
        i = j
    return tokens


DEFINE = re.compile(r'^#\s*define\s+(\w+)\s*(.*)$')
STRING_LITERAL = re.compile(r'^"((?:[^"\\]|\\.|"")*)"\s*(?://.*)?$')


class RcFile:
    """What a language file says: its LANGUAGE, its macros, its strings."""

    def __init__(self, path, constants):
        self.path = path
        self.problems = []
        raw = path.read_bytes()
        if raw.startswith(b"\xef\xbb\xbf"):
            self.problems.append("starts with a byte order mark (UTF-8 without one is expected)")
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError as error:
            raise RcError(f"not UTF-8: {error}")
        if not re.search(r"^#pragma code_page\(65001\)\s*$", text, re.M):
            self.problems.append("missing #pragma code_page(65001)")
        tokens = tokenize(text)
        self.language = None
        self.language_line = None
        self.defines = {}        # T_... name -> text
        self.define_order = []
        self.other_defines = set()
        self.include_line = None
        self.strings = []        # (id, text, line)
        self._read(tokens, constants)

    def _read(self, tokens, constants):
        i = 0
        in_table = False
        while i < len(tokens):
            kind, value, line = tokens[i]
            if kind == "pp":
                match = DEFINE.match(value)
                if match:
                    name, body = match.group(1), match.group(2).strip()
                    if name.startswith("T_"):
                        literal = STRING_LITERAL.match(body)
                        if not literal:
                            self.problems.append(f"line {line}: {name} is not one string literal")
                        elif name in self.defines:
                            self.problems.append(f"line {line}: {name} defined twice")
                        else:
                            self.defines[name] = literal.group(1)
                            self.define_order.append(name)
                    else:
                        self.other_defines.add(name)
                elif re.match(r'#\s*include\s+"resources/dialogs\.rci"', value):
                    if self.include_line is not None:
                        self.problems.append(f"line {line}: dialogs.rci included twice")
                    self.include_line = line
                i += 1
                continue
            if kind == "word" and value == "LANGUAGE" and not in_table:
                parts = []
                j = i + 1
                while j < len(tokens) and tokens[j][2] == line:
                    parts.append(tokens[j][1])
                    j += 1
                words = [p for p in parts if p != ","]
                if len(words) != 2:
                    self.problems.append(f"line {line}: LANGUAGE needs a primary and a sub language")
                else:
                    try:
                        primary, sub = (resolve(w, constants) for w in words)
                        if self.language is not None:
                            self.problems.append(f"line {line}: a second LANGUAGE statement")
                        self.language = (sub << 10) | primary
                        self.language_line = line
                    except RcError as error:
                        self.problems.append(f"line {line}: {error}")
                i = j
                continue
            if kind == "word" and value == "STRINGTABLE":
                if self.include_line is None:
                    self.problems.append(f"line {line}: a STRINGTABLE before the dialogs are included")
                in_table = True
                i += 1
                continue
            if in_table:
                if value in ("BEGIN", "{"):
                    i += 1
                    continue
                if value in ("END", "}"):
                    in_table = False
                    i += 1
                    continue
                if kind == "word" and value == ",":
                    i += 1
                    continue
                if kind == "word":
                    name = value
                    if i + 1 >= len(tokens) or tokens[i + 1][0] != "str":
                        self.problems.append(f"line {line}: {name} has no string")
                        i += 1
                        continue
                    self.strings.append((name, tokens[i + 1][1], line))
                    i += 2
                    if i < len(tokens) and tokens[i][0] == "str":
                        self.problems.append(f"line {line}: {name} is more than one string literal")
                    continue
                self.problems.append(f"line {line}: a string without an id")
                i += 1
                continue
            i += 1
        if self.language is None:
            self.problems.append("no LANGUAGE statement")
        if self.include_line is None:
            self.problems.append('does not include "resources/dialogs.rci"')
        elif self.language_line and self.language_line > self.include_line:
            self.problems.append("LANGUAGE comes after the dialogs are included")


def resolve(word, constants):
    if re.fullmatch(r"0[xX][0-9A-Fa-f]+|\d+", word):
        return int(word, 0)
    if word not in constants:
        raise RcError(f"unknown language constant {word}")
    return constants[word]


def language_constants():
    for header in WINNT_HEADERS:
        if header.exists():
            text = header.read_text(encoding="latin-1")
            return {m.group(1): int(m.group(2), 16) for m in re.finditer(
                r"^#define\s+((?:SUB)?LANG_\w+)\s+(0x[0-9A-Fa-f]+)\b", text, re.M)}
    raise RcError("no winnt.h to read the LANG_ and SUBLANG_ constants from")


def offered_languages():
    """(code, language id) of each offered interface language, from the
    program's own tables."""
    text = LANGUAGE_ROWS.read_text(encoding="utf-8")
    codes = {}
    for m in re.finditer(r'\{L"([A-Z]{3})",\s*(0x[0-9A-Fa-f]+)', text):
        codes.setdefault(int(m.group(2), 16), m.group(1))
    block = re.search(r"kOfferedLanguages\[\]\s*=\s*\{(.*?)\};", text, re.S)
    if not block:
        raise RcError("kOfferedLanguages not found in language_rows.cpp")
    offered = []
    for m in re.finditer(r"\{(0x[0-9A-Fa-f]+),\s*\d+\}", block.group(1)):
        language_id = int(m.group(1), 16)
        if language_id:
            offered.append((codes[language_id], language_id))
    return offered


def dialog_macros():
    """Each dialog of dialogs.rci with the T_ macros its template uses."""
    dialogs = {}
    current = None
    for line in DIALOGS.read_text(encoding="utf-8").splitlines():
        head = re.match(r"^(\w+)\s+DIALOGEX\b", line)
        if head:
            current = dialogs.setdefault(head.group(1), [])
            continue
        if current is not None:
            current.extend(re.findall(r"\bT_\w+", line))
    return dialogs


def placeholders(text):
    return PLACEHOLDER.findall(text)


def accelerators(text):
    """The characters marked with a single '&' ('&&' is a plain '&')."""
    marks = []
    i = 0
    while i < len(text):
        if text[i] == "&":
            if i + 1 < len(text) and text[i + 1] == "&":
                i += 2
                continue
            marks.append(text[i + 1] if i + 1 < len(text) else "")
        i += 1
    return marks


def compare_text(name, english, translated, problems):
    if name in KEPT_AS_IS:
        if translated != english:
            problems.append(f"{name}: must stay \"{english}\"")
        return
    if name.startswith("IDS_FONT_"):
        if not FONT_SPEC.match(translated):
            problems.append(f"{name}: \"{translated}\" is not a font spec like \"{english}\"")
        return
    if not translated.strip() and english.strip():
        problems.append(f"{name}: empty")
    want, got = placeholders(english), placeholders(translated)
    if want != got:
        problems.append(f"{name}: placeholders {got} where the English has {want}")
    english_marks, marks = accelerators(english), accelerators(translated)
    if len(marks) != len(english_marks):
        problems.append(f"{name}: {len(marks)} accelerator(s) where the English has {len(english_marks)}")
    for mark in marks:
        if not mark.isalnum():
            problems.append(f"{name}: the accelerator marks {mark!r}, not a letter or digit")


def accelerator_groups(dialogs, english):
    """The sets of texts shown together whose accelerators must differ."""
    groups = {}
    for dialog, macros in dialogs.items():
        members = list(macros)
        if dialog.startswith("IDD_WIZ_"):
            members += SHEET_BUTTONS
        if dialog == "IDD_WIZ_INSTALL_MODE":
            members += SETUP_TYPE_CAPTIONS
        groups[dialog] = [m for m in members if m in english]
    return groups


def clashes(texts):
    seen = {}
    for name, text in texts:
        for mark in accelerators(text):
            seen.setdefault(mark.casefold(), []).append(name)
    return {mark: names for mark, names in seen.items() if len(names) > 1}


def check_file(rc, english, expected_id, groups):
    problems = list(rc.problems)
    if expected_id is None:
        problems.append("not an offered language (no row in kOfferedLanguages)")
    elif rc.language is not None and rc.language != expected_id:
        problems.append(f"LANGUAGE gives 0x{rc.language:04X}, the offered language is 0x{expected_id:04X}")
    if rc is english:
        return problems
    for name in english.define_order:
        if name not in rc.defines:
            problems.append(f"{name}: missing")
        else:
            compare_text(name, english.defines[name], rc.defines[name], problems)
    for name in rc.define_order:
        if name not in english.defines:
            problems.append(f"{name}: not a text of enu.rc")
    english_ids = [s[0] for s in english.strings]
    ids = [s[0] for s in rc.strings]
    seen = set()
    for name, _, line in rc.strings:
        if name in seen:
            problems.append(f"line {line}: {name} twice")
        seen.add(name)
    missing = [name for name in english_ids if name not in seen]
    extra = [name for name in ids if name not in set(english_ids)]
    problems += [f"{name}: missing" for name in missing]
    problems += [f"{name}: not a string of enu.rc" for name in extra]
    if not missing and not extra and len(ids) == len(english_ids) and ids != english_ids:
        problems.append("the strings are not in the order of enu.rc")
    english_strings = {s[0]: s[1] for s in english.strings}
    translated = {s[0]: s[1] for s in rc.strings}
    for name in english_ids:
        if name in translated:
            compare_text(name, english_strings[name], translated[name], problems)
    # Two controls on one letter, where the English manages without.
    all_english = {**english.defines, **english_strings}
    all_translated = {**rc.defines, **translated}
    for dialog, members in groups.items():
        if clashes([(m, all_english[m]) for m in members]):
            continue
        found = clashes([(m, all_translated[m]) for m in members if m in all_translated])
        for mark, names in found.items():
            problems.append(f"{dialog}: {', '.join(names)} share the accelerator '{mark}'")
    return problems


def check(files, require_all):
    """[(case name, problems or None for skipped, skip reason)]."""
    constants = language_constants()
    offered = offered_languages()
    ids_by_code = {code.lower(): language_id for code, language_id in offered}
    english = RcFile(LANG_DIR / "enu.rc", constants)
    dialogs = dialog_macros()
    results = []

    used = {m for macros in dialogs.values() for m in macros}
    layout = [f"{m}: used in dialogs.rci, not defined in enu.rc" for m in sorted(used - set(english.defines))]
    layout += [f"{m}: defined in enu.rc, used by no dialog" for m in english.define_order if m not in used]
    groups = accelerator_groups(dialogs, {**english.defines, **{s[0]: s[1] for s in english.strings}})
    results.append(("dialogs.rci", layout, ""))

    all_files = not files
    if all_files:
        files = sorted(LANG_DIR.glob("*.rc"))
    for path in files:
        path = Path(path).resolve()
        try:
            rc = english if path == (LANG_DIR / "enu.rc").resolve() else RcFile(path, constants)
            problems = check_file(rc, english, ids_by_code.get(path.stem), groups)
        except (RcError, OSError) as error:
            problems = [str(error)]
        if path.stem != path.stem.lower():
            problems.append("the file name must be the language code in lower case")
        results.append((path.name, problems, ""))
    if all_files:
        present = {p.stem for p in LANG_DIR.glob("*.rc")}
        for code, _ in offered:
            if code.lower() not in present:
                name = f"{code.lower()}.rc"
                if require_all:
                    results.append((name, ["missing: the language is offered but has no file"], ""))
                else:
                    results.append((name, None, "not translated yet"))
    return results


def write_junit(path, results):
    cases = []
    for name, problems, reason in results:
        body = ""
        if problems is None:
            body = f"<skipped message={quoteattr(reason)}/>"
        elif problems:
            body = f"<failure message={quoteattr('; '.join(problems[:3]))}>" \
                   + "\n".join(problems).replace("&", "&amp;").replace("<", "&lt;") + "</failure>"
        cases.append(f'<testcase classname="Translations" name={quoteattr(name)}>{body}</testcase>')
    Path(path).write_text("<testsuite>" + "".join(cases) + "</testsuite>\n", encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*")
    parser.add_argument("--require-all", action="store_true")
    parser.add_argument("--junit")
    args = parser.parse_args()
    try:
        results = check(args.files, args.require_all)
    except RcError as error:
        print(f"check_translations: {error}", file=sys.stderr)
        return 1
    failed = 0
    for name, problems, reason in results:
        if problems is None:
            print(f"{name}: skipped ({reason})")
        elif problems:
            failed += 1
            print(f"{name}: {len(problems)} problem(s)")
            for problem in problems:
                print(f"  {problem}")
    checked = sum(1 for _, p, _ in results if p is not None)
    print(f"check_translations: {checked - failed} of {checked} files pass")
    if args.junit:
        write_junit(args.junit, results)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
