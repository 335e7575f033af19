"""An Xvfb display of a script's own, and its windows found and keyed with xdotool: the
benchmark imports it, the demo runs it.

    virtual_display.py start          starts Xvfb, prints its process id and display (":N")
    virtual_display.py window TITLE   the id of the window of exactly TITLE on $DISPLAY,
                                      within 10 s (status 1 when none came)
    virtual_display.py press WINDOW KEY
"""
import os
import subprocess
import sys
import time


class Display:
    """Xvfb on a display number it picks itself, or a display that is already up."""

    def __init__(self, name=None):
        self.server = None
        self.name = name
        if name is None:
            self.start()

    def start(self):
        # Xvfb writes the number it picked to the pipe once it is ready (nothing, if it
        # fails to start). Without -noreset it resets whenever its last client leaves, and
        # refuses a client that connects just then: a program starting while xdotool's
        # polls come and go would end at once ("could not connect to display").
        ready, write_end = os.pipe()
        self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                        "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                                       pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        with os.fdopen(ready) as numbers:
            number = numbers.readline().strip()
        self.name = f":{number}" if number else None

    def window(self, title):
        """The first visible window of exactly this title, or None."""
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                             env={**os.environ, "DISPLAY": self.name}, capture_output=True,
                             text=True).stdout.split()
        return out[0] if out else None

    def wait_for_window(self, title, seconds):
        """The window, once shown, or None after `seconds`. xdotool's own start paces the
        polling (about 10 ms), which the benchmark's timings include."""
        start = time.perf_counter()
        window = self.window(title)
        while window is None and time.perf_counter() - start < seconds:
            window = self.window(title)
        return window

    def press(self, window, key="x"):
        # Through XTEST to the focused window: GTK ignores keys sent to a window directly.
        # The window may go as soon as the key is read, which xdotool reports as an error.
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", key],
                       env={**os.environ, "DISPLAY": self.name}, stderr=subprocess.DEVNULL)

    def close(self):
        self.server.terminate()
        self.server.wait()


def main(command, *args):
    if command == "start":
        display = Display()
        if display.name is None:
            print("Xvfb did not start", file=sys.stderr)
            return 1
        print(display.server.pid, display.name)
        return 0
    display = Display(os.environ["DISPLAY"])
    if command == "window":
        window = display.wait_for_window(args[0], 10)
        if window:
            print(window)
        return 0 if window else 1
    display.press(*args)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
