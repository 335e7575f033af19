"""tests/windows/wine_run.py, ctest's way into Wine, with shell commands standing in for
the test programs: a run Wine cut short runs once more and says so; a test's own
failure, said or crashed, is the result as it came.

    python3 -m unittest wine_run_test     (from this folder)
"""
import os
import subprocess
import sys
import tempfile
import unittest

WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows",
                        "wine_run.py")


class Runs(unittest.TestCase):
    def run_twice_at_most(self, first, second):
        """Runs a stand-in that acts as FIRST on its first run and as SECOND after."""
        with tempfile.TemporaryDirectory() as folder:
            mark = os.path.join(folder, "ran")
            script = 'if [ -e "$0" ]; then %s; else touch "$0"; %s; fi' % (second, first)
            return subprocess.run([sys.executable, WINE_RUN, "sh", "-c", script, mark],
                                   capture_output=True, text=True)

    def test_a_run_that_ended_before_printing_anything_runs_once_more(self):
        run = self.run_twice_at_most("exit 1", "echo '[  PASSED  ] 1 test.'")
        self.assertEqual(run.stdout, "wine_run: the program ended with status 1 before it "
                                     "printed anything; the test runs once more\n"
                                     "[  PASSED  ] 1 test.\n")
        self.assertEqual(run.returncode, 0)

    def test_a_run_that_wine_crashed_runs_once_more(self):
        run = self.run_twice_at_most("kill -SEGV $$", "echo '[  PASSED  ] 1 test.'")
        self.assertEqual(run.stdout, "wine_run: Wine itself died of SIGSEGV; the test runs "
                                     "once more\n[  PASSED  ] 1 test.\n")
        self.assertEqual(run.returncode, 0)

    def test_a_failure_the_program_printed_is_the_result(self):
        run = self.run_twice_at_most("echo '[  FAILED  ] 1 test'; exit 1", "echo passed")
        self.assertEqual((run.stdout, run.returncode), ("[  FAILED  ] 1 test\n", 1))

    def test_a_second_cut_short_run_is_the_result(self):
        run = self.run_twice_at_most("exit 3", "exit 3")
        self.assertEqual(run.stdout.splitlines()[1:],
                         ["(ended with status 3, which is not gtest's)"])
        self.assertEqual(run.returncode, 3)


if __name__ == "__main__":
    unittest.main()
