"""scripts/lib/readme_check.py: a README command marked as run by CI must be one that a CI
script runs whole, as written.

    python3 -m unittest readme_check_test     (from this folder)
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "scripts", "lib"))
import readme_check  # noqa: E402

SCRIPTS = """exec bash scripts/test
stage demo "Running the demo" "" bash scripts/demo
test_stage x "Testing" bash scripts/test-windows windows-i686
(cd build && bash scripts/release; true)
"""


class RunByCI(unittest.TestCase):
    def test_a_command_a_script_runs_whole_counts(self):
        block = "bash scripts/test\nbash scripts/demo   # the tools at work\nbash scripts/release\n"
        self.assertEqual(readme_check.not_run_by_ci(block, SCRIPTS), [])

    def test_a_command_found_only_inside_another_does_not(self):
        block = "bash scripts/test-w\nbash scripts/test-windows\n"
        self.assertEqual(readme_check.not_run_by_ci(block, SCRIPTS), block.split("\n")[:2])

    def test_the_readmes_own_block_is_run_by_ci(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        with open(os.path.join(root, "README.md"), encoding="utf-8") as readme:
            blocks = [block for by_ci, block in readme_check.command_blocks(readme.read())
                      if by_ci]
        scripts = ""
        for path in readme_check.CI_SCRIPTS:
            with open(os.path.join(root, path), encoding="utf-8") as script:
                scripts += script.read() + "\n"
        self.assertEqual(len(blocks), 1)
        self.assertEqual(readme_check.not_run_by_ci(blocks[0], scripts), [])


if __name__ == "__main__":
    unittest.main()
