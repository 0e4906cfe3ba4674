#!/usr/bin/env python3
"""Adds up the JUnit-style XML results of every test suite into one line."""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def main(folder):
    passed = failed = skipped = 0
    failures = []
    for path in sorted(glob.glob(os.path.join(folder, "*.xml"))):
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError as error:
            failed += 1
            failures.append(f"{os.path.basename(path)}: unreadable results ({error})")
            continue
        for case in root.iter("testcase"):
            name = f"{case.get('classname')}.{case.get('name')}"
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
                failures.append(name)
            elif case.find("skipped") is not None or case.get("result") == "skipped" \
                    or case.get("status") == "notrun":
                skipped += 1
            else:
                passed += 1
    for name in failures:
        print(f"FAILED: {name}")
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build/results"))
