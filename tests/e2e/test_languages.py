"""The install language under the user's language as Wine takes it from the
locale of the wine command: an exact match, the same primary language, English
as the last resort, the language folders of the kit and of each package, and
a language forced on the command line, and the language of the installed
suite kept by a run over it."""
import shutil

import pytest

from conftest import BUILD, REPO, read_log, run_windows, windows_path
from test_suite_run import UNINSTALL, registry

PACKAGES = BUILD / "fixtures" / "msi"
SUITE_DCF = REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF"
SUITE = "{7A3B0C11-5D2E-4F60-8A91-2B3C4D5E6F70}"


def language_kit(kit, languages):
    """The sample suite with each package in a folder per language."""
    shutil.copy(BUILD / "setup.exe", kit)
    text = SUITE_DCF.read_text(encoding="latin-1")
    for key, package in (("Alpha", "alpha.msi"), ("Beta", "beta.msi"), ("Gamma", "gamma.msi")):
        text = text.replace(f"PackageName={package}", f"PackageName={{lang}}\\{package}")
        for code in languages:
            (kit / key / code).mkdir(parents=True)
            shutil.copy(PACKAGES / package, kit / key / code / package)
    (kit / "SETUP.DCF").write_text(text, encoding="latin-1")
    return kit


def run_in_locale(kit, locale, args=()):
    env = {"KWSETUP": windows_path(kit / "logs") + "\\TAM_{ProductID}.log",
           "LANG": locale, "LC_ALL": locale}
    result = run_windows(kit / "setup.exe", ["/qn", *args], env=env, remove_env=())
    return result.code, read_log(kit / "logs" / "VELL_SETUP.LOG")


def final_language(messages):
    finals = [m for m in messages if m.startswith("   Setting final install language TLA to ")]
    assert finals, "no install language was determined"
    return finals[-1].split("'")[1]


@pytest.mark.parametrize("locale, languages, base, final", [
    # German user, German packages: an exact match all the way.
    ("de_DE.UTF-8", ["ENU", "DEU"], "DEU", "DEU"),
    # Spanish (Mexico) is not offered: the first Spanish entry stands in.
    ("es_MX.UTF-8", ["FRA", "ESN"], "ESN", "ESN"),
    # No package in Spanish: each product takes the first language of the
    # table it exists in, and the install language follows the last product.
    ("es_MX.UTF-8", ["FRA", "ENU"], "ESN", "ENU"),
    ("es_MX.UTF-8", ["FRA", "ITA"], "ESN", "FRA"),
    # Swahili: English, the first offered language.
    ("sw_KE.UTF-8", ["ENU", "FRA"], "ENU", "ENU"),
])
def test_install_language_follows_the_user_and_the_packages(kit, locale, languages, base, final):
    code, messages = run_in_locale(language_kit(kit, languages), locale)
    assert code == 0
    assert f"   Base language detected is '{base}'" in messages
    assert final_language(messages) == final
    assert f"SETUPLANG = {final}" in [m.strip() for m in messages]
    installed = [m for m in messages if m.startswith("   Installing Package: ")]
    assert len(installed) == 2 and all(f"\\{final}\\" in m for m in installed), installed


def test_language_folder_of_the_kit_decides_over_the_user(kit):
    language_kit(kit, ["ENU", "FRA"])
    (kit / "FRA").mkdir()
    (kit / "Notes").mkdir()
    code, messages = run_in_locale(kit, "ja_JP.UTF-8")
    assert code == 0
    assert "   Base language detected is 'JPN'" in messages
    assert final_language(messages) == "FRA"


def test_language_forced_on_the_command_line(kit):
    code, messages = run_in_locale(language_kit(kit, ["ENU", "DEU"]), "ja_JP.UTF-8", ["{lang}=DEU"])
    assert code == 0
    assert "  Attempting to force language to 'DEU'" in messages
    assert final_language(messages) == "DEU"


# A run over the installed suite without {lang} keeps the language the
# suite was installed in, and its entry keeps it; a forced {lang} decides.
@pytest.mark.parametrize("second, final", [((), "DEU"), (("{lang}=ENU",), "ENU")], ids=["kept", "forced"])
def test_a_run_over_the_installed_suite_keeps_its_language(kit, second, final):
    language_kit(kit, ["ENU", "DEU"])
    assert run_in_locale(kit, "ja_JP.UTF-8", ["{lang}=DEU"])[0] == 0
    shutil.rmtree(kit / "logs")
    code, messages = run_in_locale(kit, "ja_JP.UTF-8", second)
    assert code == 0, messages[-8:]
    assert final_language(messages) == final
    assert ("   The suite is installed in language 'DEU': the run keeps it" in messages) == (not second)
    record = registry(UNINSTALL + SUITE, "32")
    assert record["InstalledLanguage"] == final and record["UninstallString"].endswith(f"{{lang}}={final}")
