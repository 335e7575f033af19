#!/usr/bin/env python3
"""Runs one Windows test program under Wine, as ctest's emulator.

    wine_run.py LOADER PROGRAM [ARGUMENT...]

Now and then Wine cuts a run short before the program under test could say anything:
its loader dies of a memory fault, a signal that ends the Linux process, or, with the
machine under load, it ends with a failure status before the program's first line (its
own messages are off). A fault in the program under test never ends it so: Wine turns a
crash into a Windows exception and an exit status, and gtest has its first lines out
before any test starts. A run Wine cut short says nothing of the test, so it runs once
more, and the first run's end is said on the test's output, where the stage's summary
finds it. A second such end is the test's result.
"""
import os
import signal
import subprocess
import sys
import threading

WINE_CRASHES = (signal.SIGSEGV, signal.SIGBUS)
# After the program ends, how long its last output may take to arrive: a Wine service
# it started can hold the pipe open for far longer, and is not waited for.
LAST_OUTPUT_SECONDS = 5


def run(command):
    """Runs COMMAND with its standard output passed on as it comes. Its status (minus a
    signal's number), and whether it printed anything."""
    child = subprocess.Popen(command, stdout=subprocess.PIPE)
    said = threading.Event()
    drained = threading.Event()

    def pass_on():
        while True:
            chunk = os.read(child.stdout.fileno(), 65536)
            if not chunk:
                break
            said.set()
            sys.stdout.buffer.write(chunk)
            sys.stdout.buffer.flush()
        drained.set()

    threading.Thread(target=pass_on, daemon=True).start()
    status = child.wait()
    drained.wait(LAST_OUTPUT_SECONDS)
    return status, said.is_set()


def cut_short(status, said):
    """How Wine cut the run short, or None when the program ran."""
    if status < 0 and -status in WINE_CRASHES:
        return "Wine itself died of %s" % signal.Signals(-status).name
    if status > 0 and not said:
        return "the program ended with status %d before it printed anything" % status
    return None


def end_as(status):
    """Ends this process as the program ended."""
    if status >= 0:
        if status > 1:  # not gtest's verdict: Wine's, or an exception code's low byte
            print("(ended with status %d, which is not gtest's)" % status, flush=True)
        return status
    if -status != signal.SIGKILL:  # ended from outside; SIGKILL's action cannot be set
        signal.signal(-status, signal.SIG_DFL)
    os.kill(os.getpid(), -status)
    return 128 - status  # as a shell says it, should the signal not end this process


def main(command):
    status, said = run(command)
    why = cut_short(status, said)
    if why is None:
        return end_as(status)
    print("wine_run: %s; the test runs once more" % why, flush=True)
    return end_as(run(command)[0])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
