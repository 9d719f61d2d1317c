"""A virtual screen of a test's own (Xvfb), for tests that need not share the run's screen and
its input, and so can run beside the tests that do."""
import os
import subprocess
import time


def first_number():
    """Where the search for a free display number starts: after the run's own screen when
    ZINDLE_DISPLAY chose it, else at 100, above the numbers the scripts take."""
    chosen = os.environ.get("ZINDLE_DISPLAY", "").lstrip(":")
    return int(chosen) + 1 if chosen.isdigit() else 100


def start_screen(width, height, first=None):
    """Starts Xvfb on the first free display number from FIRST (see first_number); returns
    (process, ":N").

    A display counts as ours once it answers and its lock file names our Xvfb: a server of
    another run on the same number would otherwise answer for it while ours fails."""
    if first is None:
        first = first_number()
    for n in range(first, first + 100):
        if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
            continue
        display = ":%d" % n
        process = subprocess.Popen(["Xvfb", display, "-screen", "0", "%dx%dx24" % (width, height), "-wr",
                                    "-nolisten", "tcp"],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and process.poll() is None:
            if owns_lock(n, process.pid) and subprocess.run(
                    ["xdpyinfo", "-display", display], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL).returncode == 0:
                return process, display
            time.sleep(0.05)
        stop_screen(process)
    raise RuntimeError("could not start Xvfb")


def owns_lock(n, pid):
    try:
        with open("/tmp/.X%d-lock" % n) as lock:
            return lock.read().strip() == str(pid)
    except OSError:
        return False


def stop_screen(process):
    if process is None or process.poll() is not None:
        return
    process.terminate()    # not kill: on a signal it handles, Xvfb removes its lock and socket
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
