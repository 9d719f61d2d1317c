#!/usr/bin/env python3
"""Smoke test of the shipped, stripped launcher.exe, run the way a player runs it.

The program is copied into a folder whose name holds a space and started there as its own
process: under 32-bit Wine where this machine runs 32-bit programs natively, otherwise under CPU
emulation (cmake/wine-emulated). The test waits for the 575 x 385 window centred on the screen,
compares the screen with the skin's own pixels, clicks "Quit" with real input and expects exit
code 0.

    shipped_smoke.py LAUNCHER_EXE WORK_DIR ARTWORK_BMP SOURCE_DIR [--reskin SKINPACK_EXE]

With --reskin, the shipped skinpack.exe first writes a skin of another size and colour
(tests/support/drawn_skin.py) into a copy of the launcher, run the same way, and the test then
runs that copy and checks its window against the drawing instead.

It runs on a virtual screen of its own, and natively in a copy of the 32-bit tree's prefix with a
server of its own, so that it can run beside the tests that share the run's screen and prefix.

ZINDLE_SMOKE=native|emulated forces the way it is run (default: what scripts/probe-i386 says).
"""
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import drawn_skin  # noqa: E402
from launcher_driving import pe_architecture, windows_path  # noqa: E402
from own_screen import start_screen, stop_screen  # noqa: E402
from skin_screen import read_artwork, read_screen  # noqa: E402

LAUNCHER, WORK, ARTWORK, SOURCE = sys.argv[1:5]
RESKIN = sys.argv[6] if sys.argv[5:6] == ["--reskin"] else None
WIDTH, HEIGHT = (drawn_skin.WIDTH, drawn_skin.HEIGHT) if RESKIN else (575, 385)
QUIT = (355 + 30, 250 + 10)   # centre of "Quit", in window coordinates
WINDOW_SECONDS = {"native": 60, "emulated": 420}
EXIT_SECONDS = {"native": 30, "emulated": 180}
PAINT_SECONDS = {"native": 10, "emulated": 60}


def run(*args, check=True):
    return subprocess.run([str(arg) for arg in args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                          timeout=60, check=check, text=True)


def mode():
    forced = os.environ.get("ZINDLE_SMOKE", "")
    if forced in ("native", "emulated"):
        return forced, "forced by ZINDLE_SMOKE"
    probe = run(os.path.join(SOURCE, "scripts", "probe-i386")).stdout.strip()
    return ("native" if probe.startswith("native") else "emulated"), probe


def find_windows():
    return run("xdotool", "search", "--onlyvisible", "--name", "^Zindle$", check=False).stdout.split()


def geometry(window):
    shell = run("xdotool", "getwindowgeometry", "--shell", window).stdout
    fields = dict(line.split("=", 1) for line in shell.splitlines() if "=" in line)
    return int(fields["X"]), int(fields["Y"]), int(fields["WIDTH"]), int(fields["HEIGHT"])


def skin_points():
    """A grid of opaque skin points away from the buttons, in window coordinates."""
    skin = drawn_skin.skin_colour if RESKIN else read_artwork(ARTWORK)[2]
    buttons = [(160, 250), (355, 250)]
    points = []
    for y in range(10, HEIGHT - 10, 25):
        for x in range(10, WIDTH - 10, 25):
            if any(bx - 4 <= x < bx + 64 and by - 4 <= y < by + 24 for bx, by in buttons):
                continue
            if skin(x, y) != (255, 0, 255):
                points.append(((x, y), skin(x, y)))
    return points


def ahead_of_the_others():
    """Raises the runner's priority a little where allowed (as root): under emulation the smoke
    tests are the longest chain of the test run, one core's work for minutes, while the tests
    beside them mostly wait."""
    try:
        os.nice(-5)
    except OSError:
        pass


def fail(message):
    print("FAIL: " + message)
    return 1


def stop(process):
    """Ends the runner if it still runs; the emulated one cleans up (its prefix's server, the
    emulator's registration) on TERM."""
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(30)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def reskin(runner, environment, program):
    """Writes the drawn skin into PROGRAM with the shipped skinpack.exe; an error message or None."""
    skin = os.path.join(WORK, "drawn skin.png")
    drawn_skin.write_png(skin)
    started = time.monotonic()
    # The output goes to a file, as the launcher's does: a server Wine starts would hold a pipe open.
    log_path = os.path.join(WORK, "skinpack.log")
    with open(log_path, "w") as log:
        code = subprocess.run([runner, RESKIN, "reskin", windows_path(LAUNCHER), windows_path(skin), "-o",
                               windows_path(program)], env=environment, stdin=subprocess.DEVNULL, stdout=log,
                              preexec_fn=ahead_of_the_others,
                              stderr=subprocess.STDOUT, timeout=600).returncode
    output = open(log_path, errors="replace").read()
    told = "\n".join(line for line in output.splitlines() if line.startswith("skinpack"))
    if code != 0 or not os.path.exists(program):
        return "skinpack.exe reskin: exit code %d: %s" % (code, told or output[-2000:])
    print("reskinned by skinpack.exe in %.1f s: %s" % (time.monotonic() - started, told))
    return None


def native_prefix(build, arch):
    """A build folder for wine-exec holding a copy of BUILD's prefix for ARCH, whose server is this
    test's alone; made from the tree's prefix, which is made first where there is none."""
    own = os.path.join(WORK, "native")
    shutil.rmtree(own, ignore_errors=True)
    os.makedirs(own)
    prefix = os.path.join(build, "wineprefix-" + arch)
    subprocess.run([os.path.join(SOURCE, "cmake", "wine-prefix"), arch, prefix], stdin=subprocess.DEVNULL, timeout=600,
                   check=True)
    run("cp", "-a", prefix, os.path.join(own, "wineprefix-" + arch))
    return own


def end_native_server(build, arch):
    subprocess.run(["sh", "-c", '. "$0/wine-env.sh"; WineEnvironment "$1"; wineserver -k', os.path.join(SOURCE, "cmake"),
                    arch], env=dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix-" + arch)),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def main():
    how, why = mode()
    print("shipped program run %s: %s" % (how, why))
    folder = os.path.join(WORK, "Zindle Games")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    build, arch, own = os.path.dirname(os.path.dirname(os.path.abspath(LAUNCHER))), pe_architecture(LAUNCHER), None
    screen, os.environ["DISPLAY"] = start_screen(1024, 768)
    try:
        if how == "native":
            build = own = native_prefix(build, arch)
        return smoke(how, folder, build)
    finally:
        if own:
            end_native_server(own, arch)
        stop_screen(screen)


def smoke(how, folder, build):
    program = os.path.join(folder, "launcher.exe")
    runner = os.path.join(SOURCE, "cmake", "wine-exec" if how == "native" else "wine-emulated")
    environment = dict(os.environ, ZINDLE_BUILD_DIR=build)
    if RESKIN:
        problem = reskin(runner, environment, program)
        if problem:
            return fail(problem)
    else:
        shutil.copy(LAUNCHER, program)
    # A run that was killed may have left its program behind; the runner ends it, and its
    # window is not this run's.
    stale = set(find_windows())
    if stale:
        print("ignoring %d window(s) \"Zindle\" already on the screen" % len(stale))
    started = time.monotonic()
    # Wine's output goes to a file: servers it starts would otherwise hold CTest's pipe open.
    log = open(os.path.join(WORK, "wine.log"), "w")
    process = subprocess.Popen([runner, program], cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                               preexec_fn=ahead_of_the_others,
                               stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        code = drive(how, process, started, stale)
    finally:
        stop(process)
        log.close()
    if code:
        print("Wine's output:\n" + open(os.path.join(WORK, "wine.log"), errors="replace").read()[-3000:])
    return code


def drive(how, process, started, stale):
    """Waits for a window other than STALE, checks it, clicks "Quit" and expects exit code 0."""

    window = None
    while time.monotonic() - started < WINDOW_SECONDS[how] and process.poll() is None:
        window = next((found for found in find_windows() if found not in stale), None)
        if window:
            break
        time.sleep(0.5)
    if not window:
        return fail("no visible window \"Zindle\" after %.0f s (exit code %s)"
                    % (time.monotonic() - started, process.poll()))
    print("window after %.1f s" % (time.monotonic() - started))

    # The window is up once it is mapped; its first paint follows, slowly under emulation: the
    # screen is read until it shows the skin, or the time for a paint has passed.
    points = skin_points()
    paint_deadline = time.monotonic() + PAINT_SECONDS[how]
    while True:
        left, top, width, height = geometry(window)
        screen_width, screen_height, pixel = read_screen(WORK)
        wrong = [(point, colour, pixel(left + point[0], top + point[1])) for point, colour in points
                 if max(abs(a - b) for a, b in zip(colour, pixel(left + point[0], top + point[1]))) > 8]
        if (not wrong and (width, height) == (WIDTH, HEIGHT)) or time.monotonic() > paint_deadline:
            break
        time.sleep(0.25)
    print("skin on the screen after %.1f s" % (time.monotonic() - started))
    if (width, height) != (WIDTH, HEIGHT):
        return fail("window is %d x %d, expected %d x %d" % (width, height, WIDTH, HEIGHT))
    centred = ((screen_width - WIDTH) // 2, (screen_height - HEIGHT) // 2)
    if abs(left - centred[0]) > 1 or abs(top - centred[1]) > 1:
        return fail("window at (%d, %d), expected centred at %s" % (left, top, centred))
    if len(points) < 100 or wrong:
        return fail("%d of %d skin points differ from the skin, e.g. %s" % (len(wrong), len(points), wrong[:3]))
    if RESKIN:
        desktop = pixel(2, 2)
        cut = [p for p in drawn_skin.CUT_POINTS if pixel(left + p[0], top + p[1]) != desktop]
        if cut:
            return fail("the window is not cut away at %s" % cut)

    run("xdotool", "mousemove", left + QUIT[0], top + QUIT[1])
    time.sleep(0.2)
    run("xdotool", "click", "1")
    try:
        code = process.wait(EXIT_SECONDS[how])
    except subprocess.TimeoutExpired:
        return fail("launcher still running %d s after the click on \"Quit\"" % EXIT_SECONDS[how])
    if code != 0:
        return fail("exit code %d after \"Quit\"" % code)
    print("shipped program passed%s: window, skin and \"Quit\" with exit code 0, in %.1f s"
          % (" reskinned by skinpack.exe" if RESKIN else "", time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
