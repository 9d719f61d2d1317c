"""Driving a running launcher.exe from outside, as a player does: commands, xdotool, and a
launcher process whose window is clicked and dragged. Shared by the end-to-end tests."""
import os
import subprocess
import tempfile
import time


class CommandFailed(subprocess.CalledProcessError):
    """A failed command, reported with what it wrote to stderr (Wine says there why a program
    could not start)."""

    def __str__(self):
        said = (self.stderr or "").strip()
        return super().__str__() + ("\n--- its stderr:\n" + said[-4000:] if said else " It wrote nothing to stderr.")


def run(*args, env=None, check=True, timeout=120):
    # stderr goes to a file, not a pipe: a Wine command that has to start the prefix's server
    # would leave the pipe open in it long after the command itself ends.
    with tempfile.TemporaryFile() as errors:
        result = subprocess.run(args, stdout=subprocess.PIPE, stderr=errors, stdin=subprocess.DEVNULL, env=env,
                                timeout=timeout, text=True, encoding="utf-8", errors="replace")
        errors.seek(0)
        result.stderr = errors.read().decode("utf-8", "replace")
    if check and result.returncode != 0:
        raise CommandFailed(result.returncode, args, result.stdout, result.stderr)
    return result


def run_wine_helper(*args, env=None):
    """Runs a test helper under Wine whose own code never exits with 1, for set-up work such as
    the registry. Wine itself ends a program with 1 when it cannot start it (its loader, or the
    connection to the prefix's server, failing); that is seen rarely on a loaded machine and is
    tried once more. Any other failure, or a second one, is reported."""
    result = run(*args, env=env, check=False)
    if result.returncode == 1:
        time.sleep(0.5)
        result = run(*args, env=env, check=False)
    if result.returncode != 0:
        raise CommandFailed(result.returncode, args, result.stdout, result.stderr)
    return result


def windows_path(path):
    """A path of this machine as Wine's programs see it, through the Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pe_architecture(path):
    """The Wine architecture a Windows program needs, from its PE header: win32 or win64."""
    with open(path, "rb") as exe:
        data = exe.read(4096)
    offset = int.from_bytes(data[60:64], "little")
    return {0x14c: "win32", 0x8664: "win64"}[int.from_bytes(data[offset + 4:offset + 6], "little")]


def xdotool(*args, check=True):
    return run("xdotool", *map(str, args), check=check)


def wait_until(condition, seconds=20.0, step=0.1):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def find_launcher_window():
    found = xdotool("search", "--onlyvisible", "--name", "^Zindle$", check=False).stdout.split()
    return found[0] if found else None


class DrivenLauncher:
    """A launcher process (self.process) and its window (self.window, an X window id)."""

    def geometry(self):
        shell = xdotool("getwindowgeometry", "--shell", self.window).stdout
        fields = dict(line.split("=", 1) for line in shell.splitlines() if "=" in line)
        return int(fields["X"]), int(fields["Y"]), int(fields["WIDTH"]), int(fields["HEIGHT"])

    def position(self):
        return self.geometry()[:2]

    def size(self):
        return self.geometry()[2:]

    def click(self, point):
        x, y = self.position()
        xdotool("mousemove", x + point[0], y + point[1])
        time.sleep(0.1)
        xdotool("click", "1")

    def drag(self, start, dx, dy):
        x, y = self.position()
        xdotool("mousemove", x + start[0], y + start[1])
        xdotool("mousedown", "1")
        for step in range(1, 11):
            time.sleep(0.03)
            xdotool("mousemove", x + start[0] + dx * step // 10, y + start[1] + dy * step // 10)
        time.sleep(0.2)
        xdotool("mouseup", "1")
        time.sleep(0.3)

    def ended(self, seconds=20):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
