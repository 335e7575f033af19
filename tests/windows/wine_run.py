#!/usr/bin/env python3
"""Runs one Windows test program under Wine, as ctest's emulator.

    wine_run.py LOADER PROGRAM [ARGUMENT...]

Now and then Wine's own loader dies of a memory fault, a signal that ends the Linux
process. A fault in the program under test never ends it so: Wine turns that into a
Windows exception and an exit status. A run Wine cut short says nothing of the test, so
it runs once more, and the first run's end is said on the test's output, where the
stage's summary finds it. A second such death is the test's result.
"""
import os
import signal
import subprocess
import sys

WINE_CRASHES = (signal.SIGSEGV, signal.SIGBUS)


def main(command):
    status = subprocess.call(command)
    if status > 1:  # not gtest's verdict: Wine's, or an exception code's low byte
        print("(ended with status %d, which is not gtest's)" % status, flush=True)
    if status >= 0:
        return status
    if -status not in WINE_CRASHES:  # ended from outside: end the same way
        if -status != signal.SIGKILL:  # whose action cannot be set
            signal.signal(-status, signal.SIG_DFL)
        os.kill(os.getpid(), -status)
        return 128 - status  # as a shell says it, should the signal not end this process
    print("wine_run: Wine itself died of %s; the test runs once more"
          % signal.Signals(-status).name, flush=True)
    os.execv(command[0], command)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
