"""scripts/lib/ctest_summary.py on ctest's JUnit reports: a failed test's own words reach
the stage's lines, where CI's printout shows them; and the rules by which a skip passes or
fails a stage, in CI and outside it.

    python3 -m unittest ctest_summary_test     (from this folder)
"""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "lib", "ctest_summary.py")

# As ctest 3.25 writes it.
REPORT = """<?xml version="1.0" encoding="UTF-8"?>
<testsuite name="(empty)" tests="3" failures="2" disabled="0" skipped="0" hostname=""
\ttime="0" timestamp="2026-12-09T09:47:57">
\t<testcase name="A.fails" classname="A.fails" time="0.006" status="fail">
\t\t<failure message=""/>
\t\t<system-out>Running main() from gmock_main.cc
Note: Google Test filter = A.fails
[ RUN      ] A.fails
x.cpp:1: Failure

Expected equality of these values: &lt;&amp;&gt;
[  FAILED  ] A.fails (0 ms)
</system-out>
\t</testcase>
\t<testcase name="A.crashes" classname="A.crashes" time="0.012" status="fail">
\t\t<failure message=""/>
\t\t<system-out>[ RUN      ] A.crashes
</system-out>
\t</testcase>
\t<testcase name="A.passes" classname="A.passes" time="0.011" status="run">
\t\t<system-out></system-out>
\t</testcase>
</testsuite>
"""


def gtest_skip(message):
    """What a gtest test that called GTEST_SKIP() << MESSAGE prints."""
    return ("Running main() from gmock_main.cc\n[ RUN      ] A.b\nx.cpp:9: Skipped\n%s\n"
            "[  SKIPPED ] A.b (0 ms)\n[  SKIPPED ] 1 test, listed below:\n" % message)


def case(name, output, skipped=False):
    """One test as ctest's JUnit report has it."""
    return ('<testcase name="%s" status="%s">%s<system-out>%s</system-out></testcase>'
            % (name, "notrun" if skipped else "run",
               '<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>' if skipped else "",
               output))


TAGGED = "[no-32-bit] not run: no: this machine refuses i386 programs"
UNTAGGED = "no display to show windows on"
# (what, under CI, the cases of a report or a stage's own skip, the stage's lines, the
#  status)
SKIP_RULES = [
    ("a tagged skip passes in CI", True, [case("A.b", gtest_skip(TAGGED), True)],
     "0 passed, 0 failed, 1 skipped\n  skipped A.b: " + TAGGED, 0),
    ("an untagged skip fails in CI", True, [case("A.b", gtest_skip(UNTAGGED), True)],
     "0 passed, 1 failed, 0 skipped\n  failed A.b: skipped for what is no known limit of "
     "this machine: " + UNTAGGED, 1),
    ("an untagged skip passes outside CI", False, [case("A.b", gtest_skip(UNTAGGED), True)],
     "0 passed, 0 failed, 1 skipped\n  skipped A.b: " + UNTAGGED, 0),
    ("a gtest skip without a message has no reason, whatever it printed last", True,
     [case("A.b", gtest_skip(""), True)],
     "0 passed, 1 failed, 0 skipped\n  failed A.b: skipped for what is no known limit of "
     "this machine: no reason given", 1),
    ("a program that ended with its skip status says why on its last line", True,
     [case("Scripts.X", "Ran 0 tests\n" + TAGGED + "\n", True)],
     "0 passed, 0 failed, 1 skipped\n  skipped Scripts.X: " + TAGGED, 0),
    ("no test run fails", False, [], "0 passed, 0 failed, 0 skipped\n  no test ran", 1),
    ("a test Wine started twice is named", True,
     [case("A.b", "wine_run: Wine itself died of SIGSEGV; the test runs once more\n")],
     "1 passed, 0 failed, 0 skipped\n  started twice A.b: Wine itself died of SIGSEGV; the "
     "test runs once more", 0),
    ("a stage that skipped itself, tagged, passes in CI", True, ("--skip", "signing", TAGGED),
     "0 passed, 0 failed, 1 skipped\n  skipped signing: " + TAGGED, 0),
    ("a stage that skipped itself, untagged, fails in CI", True,
     ("--skip", "signing", UNTAGGED), "0 passed, 1 failed, 0 skipped\n  failed signing: "
     "skipped for what is no known limit of this machine: " + UNTAGGED, 1),
]


def summarise(tests, ci):
    """Runs the script on TESTS (a list of cases, or the arguments of a stage's own skip)
    with totals of its own; its output, its status and the run's closing line."""
    with tempfile.TemporaryDirectory() as folder:
        arguments = list(tests)
        if not isinstance(tests, tuple):
            arguments = [os.path.join(folder, "report.xml")]
            with open(arguments[0], "w") as file:
                file.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuite>%s</testsuite>\n'
                           % "".join(tests))
        totals = os.path.join(folder, "totals")
        environment = {"PATH": os.environ["PATH"]}
        if ci:
            environment["CI"] = "true"
        run = subprocess.run([sys.executable, SCRIPT] + arguments + [totals],
                             capture_output=True, text=True, env=environment)
        closing = subprocess.run([sys.executable, SCRIPT, "--totals", totals],
                                 capture_output=True, text=True).stdout
    return run.stdout, run.returncode, closing


class SkipRules(unittest.TestCase):
    def test_each_rule(self):
        for what, ci, arguments, lines, status in SKIP_RULES:
            with self.subTest(what):
                said, ended, _ = summarise(arguments, ci)
                self.assertEqual((said, ended), (lines, status))

    def test_a_skip_for_no_known_limit_is_counted_as_failed_in_the_totals(self):
        _, _, closing = summarise([case("A.b", gtest_skip(UNTAGGED), True)], True)
        self.assertEqual(closing, "tests: 0 passed, 1 failed, 0 skipped (1 of the failed "
                                  "skipped for no known limit of the machine)\n")


class FailedTests(unittest.TestCase):
    def test_each_failed_test_is_followed_by_what_it_said_after_it_started(self):
        with tempfile.TemporaryDirectory() as folder:
            report = os.path.join(folder, "report.xml")
            with open(report, "w") as file:
                file.write(REPORT)
            totals = os.path.join(folder, "totals")
            run = subprocess.run([sys.executable, SCRIPT, report, totals], capture_output=True,
                                 text=True, env={"PATH": os.environ["PATH"]})
        self.assertEqual(run.stdout, "1 passed, 2 failed, 0 skipped\n"
                                     "  failed A.fails\n"
                                     "    | x.cpp:1: Failure\n"
                                     "    | Expected equality of these values: <&>\n"
                                     "    | [  FAILED  ] A.fails (0 ms)\n"
                                     "  failed A.crashes")
        self.assertEqual(run.returncode, 0)  # the stage learns of failures from ctest


if __name__ == "__main__":
    unittest.main()
