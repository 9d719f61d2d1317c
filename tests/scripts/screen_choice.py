#!/usr/bin/env python3
"""ZINDLE_DISPLAY chooses the display number of the scripts' virtual screen (StartScreen in
scripts/lib.sh), and the tests' own screens (tests/support/own_screen.py) look for free numbers
after it.

StartScreen runs in a mount namespace with a /tmp of its own, on a number that no screen of this
machine uses: it starts Xvfb on the number chosen; refuses a number whose lock file is there,
naming it; and says so when a server whose lock it cannot see (one of another mount namespace, as
under scripts/fresh-check) holds the number.

    screen_choice.py SOURCE_DIR

Needs root for the mount namespace: without it the StartScreen cases are skipped (exit code 77).
"""
import os
import subprocess
import sys

SOURCE = sys.argv[1]
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
import own_screen  # noqa: E402

SKIP = 77

# Run in a mount namespace of its own: StartScreen on display $2 with a /tmp of its own (lib.sh is
# read first: the sources may lie in /tmp).
CASES = r"""
source "$1/scripts/lib.sh"
export -f StartScreen
mount -t tmpfs screen-choice-tmp /tmp || { echo "FAIL: no /tmp of its own"; exit 1; }
mkdir -m 1777 /tmp/.X11-unix
n=$2

touch "/tmp/.X$n-lock"
if ZINDLE_DISPLAY=$n StartScreen 2>/tmp/said; then
  echo "FAIL: StartScreen started a screen ($DISPLAY) while the lock file of display :$n is there"; StopScreen; exit 1
fi
echo "taken: $(cat /tmp/said)"
rm "/tmp/.X$n-lock"

ZINDLE_DISPLAY=:$n StartScreen 2>/tmp/said || { echo "FAIL: no screen on the free display :$n: $(cat /tmp/said)"; exit 1; }
echo "chosen: DISPLAY=$DISPLAY, $(xdpyinfo 2>/dev/null | grep -c '^name of display')"

unshare --mount --propagation private bash -c '
  mount -t tmpfs screen-choice-tmp2 /tmp && mkdir -m 1777 /tmp/.X11-unix || exit 9
  ZINDLE_DISPLAY=$1 StartScreen
' - "$n" 2>/tmp/said
echo "held: exit code $?, $(cat /tmp/said)"
xvfb=$XVFB_PID
StopScreen
wait "$xvfb"
"""

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def free_number():
    """A display number that no screen of this machine uses, in files or abstract sockets."""
    with open("/proc/net/unix") as sockets:
        listening = sockets.read()
    for n in range(500, 600):
        if not (os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n)
                or "/tmp/.X11-unix/X%d\n" % n in listening):
            return n
    raise RuntimeError("no free display number from 500 to 599")


def check_own_screens():
    for chosen, first in ((None, 100), ("95", 96), (":95", 96), ("", 100)):
        env = dict(os.environ)
        env.pop("ZINDLE_DISPLAY", None)
        if chosen is not None:
            env["ZINDLE_DISPLAY"] = chosen
        os.environ.clear()
        os.environ.update(env)
        check(own_screen.first_number() == first,
              "ZINDLE_DISPLAY=%r: own screens from %d, not %d" % (chosen, own_screen.first_number(), first))


def check_start_screen():
    n = free_number()
    result = subprocess.run(["unshare", "--mount", "--propagation", "private", "bash", "-c", CASES, "-", SOURCE,
                             str(n)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, timeout=90)
    said = dict(line.split(": ", 1) for line in result.stdout.splitlines() if ": " in line)
    check("FAIL" not in said, said.get("FAIL", ""))
    check(said.get("taken", "").startswith("display :%d (ZINDLE_DISPLAY) is taken: /tmp/.X%d-lock" % (n, n)),
          "a taken display: %r" % said.get("taken"))
    check(said.get("chosen") == "DISPLAY=:%d, 1" % n, "the chosen display: %r" % said.get("chosen"))
    check(said.get("held", "").startswith("exit code 1, could not start Xvfb on display :%d (ZINDLE_DISPLAY)" % n),
          "a display held by a server whose lock is not seen: %r" % said.get("held"))
    if failures:
        print(result.stdout)


def main():
    check_own_screens()
    root = os.geteuid() == 0
    if root:
        check_start_screen()
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    if not root:
        print("skipped: StartScreen's cases need root for a /tmp of their own")
        return SKIP
    print("ZINDLE_DISPLAY is used, and a taken display refused")
    return 0


if __name__ == "__main__":
    sys.exit(main())
