"""sample_kit.py: the sample suite's kit (setup.exe, SETUP.DCF and the three
packages, each in its product's folder) that the benchmarks run."""
import pathlib
import shutil

REPO = pathlib.Path(__file__).resolve().parents[1]
BUILD = REPO / "build" / "win"


def make_sample_kit(kit):
    """A fresh kit in `kit`; returns it."""
    shutil.rmtree(kit, ignore_errors=True)
    kit.mkdir(parents=True)
    shutil.copy(BUILD / "setup.exe", kit)
    shutil.copy(REPO / "tests" / "fixtures" / "msi_suite" / "SETUP.DCF", kit)
    for name in ("alpha", "beta", "gamma"):
        (kit / name.capitalize()).mkdir()
        shutil.copy(BUILD / "fixtures" / "msi" / f"{name}.msi", kit / name.capitalize())
    return kit
