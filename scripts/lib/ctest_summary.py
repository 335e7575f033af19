"""Counts a ctest JUnit report for the set-up scripts' stage lines.

    ctest_summary.py REPORT TOTALS   prints "N passed, N failed, N skipped" and, on lines
                                     of their own, each skipped test and why, and each
                                     test Wine had to start twice; adds the counts to the
                                     TOTALS file
    ctest_summary.py --totals TOTALS prints the run's closing line from TOTALS
"""
import sys
import xml.etree.ElementTree as ElementTree


def skip_reason(case):
    """The message gtest printed for GTEST_SKIP, else what ctest says."""
    skipped = case.find("skipped")
    output = case.findtext("system-out") or ""
    lines = output.splitlines()
    for index, line in enumerate(lines):
        if line.endswith(": Skipped") and index + 1 < len(lines) and lines[index + 1].strip():
            return lines[index + 1].strip()
    said = [line.strip() for line in lines if line.strip()]
    if said:
        return said[-1]
    return (skipped.get("message") if skipped is not None else "") or "no reason given"


def wine_crash(case):
    """What tests/windows/wine_run.py said when Wine died under the test's first run."""
    for line in (case.findtext("system-out") or "").splitlines():
        if line.startswith("wine_run: "):
            return line[len("wine_run: "):]
    return None


def count(report_path):
    passed, failed, skipped, rerun = 0, 0, [], []
    for case in ElementTree.parse(report_path).getroot().iter("testcase"):
        crash = wine_crash(case)
        if crash:
            rerun.append((case.get("name"), crash))
        status = case.get("status")
        if case.find("skipped") is not None or status in ("notrun", "disabled"):
            skipped.append((case.get("name"), skip_reason(case)))
        elif case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed += 1
        else:
            passed += 1
    return passed, failed, skipped, rerun


def main(argv):
    if argv[1] == "--totals":
        sums = [0, 0, 0]
        with open(argv[2]) as totals:
            for line in totals:
                sums = [a + int(b) for a, b in zip(sums, line.split())]
        print("tests: %d passed, %d failed, %d skipped" % tuple(sums))
        return 0
    passed, failed, skipped, rerun = count(argv[1])
    with open(argv[2], "a") as totals:
        totals.write("%d %d %d\n" % (passed, failed, len(skipped)))
    lines = ["%d passed, %d failed, %d skipped" % (passed, failed, len(skipped))]
    lines += ["  skipped %s: %s" % case for case in skipped]
    lines += ["  started twice %s: %s" % case for case in rerun]
    print("\n".join(lines), end="")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
