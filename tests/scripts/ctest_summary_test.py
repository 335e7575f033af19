"""scripts/lib/ctest_summary.py on ctest's JUnit reports: a failed test's own words reach
the stage's lines, where CI's printout shows them.

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
