"""scripts/lib/virtual_display.py: the display the demo and the benchmark show windows on
stays the same server from client to client. An Xvfb that resets when its last client
leaves refuses a program that connects just then, and the demo's capture ended at once
("could not connect to display", status 134) when it started between two of xdotool's
polls.

    python3 -m unittest virtual_display_test     (from this folder)
"""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "scripts", "lib"))
import virtual_display  # noqa: E402


class Display(unittest.TestCase):
    def test_what_one_client_leaves_is_there_for_the_next(self):
        display = virtual_display.Display()
        self.assertIsNotNone(display.name, "Xvfb did not start")
        self.addCleanup(display.close)
        environment = dict(os.environ, DISPLAY=display.name)

        def xprop(*arguments):
            return subprocess.run(["timeout", "10", "xprop", "-root"] + list(arguments),
                                  env=environment, capture_output=True, text=True)

        # The first client is the only one: once it leaves, a server that resets forgets
        # the property, and may refuse the next client outright.
        self.assertEqual(xprop("-f", "CAMTOOLS_MARK", "8s", "-set", "CAMTOOLS_MARK",
                               "kept").returncode, 0)
        for _ in range(3):
            self.assertEqual(xprop("CAMTOOLS_MARK").stdout,
                             'CAMTOOLS_MARK(STRING) = "kept"\n')


if __name__ == "__main__":
    unittest.main()
