#!/usr/bin/python3
"""summary.py TESTS_JSON JUNIT GROUPS...: per ctest label, how many tests ran
on the guest, how many passed, and the time they took, from ctest's own
listing (which gives each test's labels) and its JUnit report (which gives
each test's outcome)."""
import json
import sys
import xml.etree.ElementTree as ET


def labels_by_test(listing_path):
    with open(listing_path, encoding="utf-8") as f:
        listing = json.load(f)
    labels = {}
    for test in listing.get("tests", []):
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS":
                labels[test["name"]] = prop.get("value", [])
    return labels


def outcomes(junit_path):
    """name -> (passed, skipped, seconds) for every test that ran or skipped itself."""
    result = {}
    for case in ET.parse(junit_path).getroot().iter("testcase"):
        status = case.get("status", "run")
        skipped = case.find("skipped") is not None
        if status == "disabled" or (status == "notrun" and not skipped):
            continue
        failed = case.find("failure") is not None or case.find("error") is not None
        result[case.get("name")] = (not failed, skipped, float(case.get("time", "0")))
    return result


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    labels = labels_by_test(argv[1])
    ran = outcomes(argv[2])
    print(f"{'group':<10} {'ran':>5} {'passed':>7} {'skipped':>8} {'failed':>7} {'time':>8}")
    for group in argv[3:]:
        mine = [ran[name] for name, names in labels.items() if group in names and name in ran]
        passed = sum(1 for ok, skipped, _ in mine if ok and not skipped)
        skipped = sum(1 for ok, s, _ in mine if s)
        failed = sum(1 for ok, _, _ in mine if not ok)
        seconds = sum(t for _, _, t in mine)
        print(f"{group:<10} {len(mine):>5} {passed:>7} {skipped:>8} {failed:>7} {seconds:>7.1f}s")
    unlisted = [name for name in ran if name not in labels]
    if unlisted:
        print(f"(not in the listing: {', '.join(sorted(unlisted))})")


if __name__ == "__main__":
    main(sys.argv)
