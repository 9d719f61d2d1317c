#!/usr/bin/env python3
"""cmake/wine-emulated leaves no emulator entry and no binfmt_misc mount of its own behind.

Real runs of the script, with real binfmt_misc entries and qemu-i386-static; only Wine and the
Windows program are replaced (ZINDLE_EMULATED_LOADER) by a stand-in that runs a tiny i386
program, says it started, waits to be released and runs the i386 program again. The runs are
ended normally, by signals the script catches and by KILL, right after the entry is registered
and while the program runs; two runs overlap in one build folder and in two; a run ends in a
mount namespace of its own where binfmt_misc was not mounted.

Every case runs three times: on the machine's own mount of binfmt_misc as it is (mounted or not),
then in a mount namespace of its own where binfmt_misc is not mounted, as on a new machine, and in
one where it is. Each case mounts what it needs itself and leaves the mount and the entries as it
found them.

    wine_emulated_cleanup.py SOURCE_DIR WORK_DIR

Needs root and a writable binfmt_misc: exits with code 77 (skipped) and the reason without them.
"""
import os
import shutil
import signal
import subprocess
import sys
import time

SOURCE, WORK = sys.argv[1:3]
SCRIPT = os.path.join(SOURCE, "cmake", "wine-emulated")
BINFMT = "/proc/sys/fs/binfmt_misc"
EMULATOR = "/usr/bin/qemu-i386-static"
SKIP = 77

STANDIN = r"""#!/bin/sh
# Stand-in for Wine and a program: standin.sh NAME
"$I386" || exit 98
echo $$ >"$1.started"
while [ ! -e "$1.release" ]; do sleep 0.02; done
"$I386" || exit 99
exit "$(cat "$1.release")"
"""


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def entries():
    return set(os.listdir(BINFMT)) - {"register", "status"} if os.path.exists(os.path.join(BINFMT, "register")) else set()


def remove_entry(name):
    try:
        with open(os.path.join(BINFMT, name), "w") as entry:
            entry.write("-1\n")
    except OSError:
        pass


def register(name, magic="5a494e444c4554455354"):
    """A harmless entry (its magic matches no program) that only stands for an entry of that name."""
    with open(os.path.join(BINFMT, "register"), "w") as register_file:
        register_file.write(":%s:M::\\x%s::/bin/false:\n" % (name, "\\x".join(magic[i:i + 2] for i in range(0, len(magic), 2))))


def start_time(pid):
    with open("/proc/%d/stat" % pid) as stat:
        return stat.read().rsplit(")", 1)[1].split()[19]


def lives(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def wait_for(predicate, seconds=15, step=0.01):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def binfmt_mounted():
    with open("/proc/self/mountinfo") as mountinfo:
        return any(line.split()[4] == BINFMT and " - binfmt_misc " in line for line in mountinfo)


def mount_binfmt():
    subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", BINFMT], check=True)


def unmount_binfmt():
    while binfmt_mounted():
        subprocess.run(["umount", BINFMT], check=True)


class BinfmtMounted:
    """binfmt_misc mounted for a case that registers entries itself; a mount made here is undone."""

    def __enter__(self):
        self.made = not os.path.exists(os.path.join(BINFMT, "register"))
        if self.made:
            mount_binfmt()

    def __exit__(self, *error):
        if self.made and binfmt_mounted():
            subprocess.run(["umount", BINFMT], check=True)


class Run:
    """One run of the script in build folder FOLDER; the stand-in's files are named NAME.*."""
    started = []

    def __init__(self, folder, name):
        self.base = os.path.join(WORK, name)
        for suffix in (".started", ".release"):
            if os.path.exists(self.base + suffix):
                os.remove(self.base + suffix)
        environment = dict(os.environ, ZINDLE_BUILD_DIR=os.path.join(WORK, folder), I386=os.path.join(WORK, "i386-true"),
                           ZINDLE_EMULATED_LOADER=os.path.join(WORK, "standin.sh"))
        self.log = open(self.base + ".log", "w")
        self.process = subprocess.Popen([SCRIPT, self.base], env=environment, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        self.pid = self.process.pid
        Run.started.append(self)

    def mine(self, names):
        """The entries of NAMES that this run registered (an older script names its entry zindle-i386)."""
        return {name for name in names if name.startswith("zindle-i386-%d-" % self.pid) or name == "zindle-i386"}

    def has_started(self):
        return os.path.exists(self.base + ".started") and open(self.base + ".started").read().strip() != ""

    def wait_started(self):
        check(wait_for(self.has_started), "%s: the program did not start: %s" % (self.name(), self.output()))
        return int(open(self.base + ".started").read())

    def release(self, code=0):
        with open(self.base + ".release.tmp", "w") as release:
            release.write("%d\n" % code)
        os.rename(self.base + ".release.tmp", self.base + ".release")

    def wait(self, seconds=30):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            raise Failure("%s still runs after %d s: %s" % (self.name(), seconds, self.output()))

    def name(self):
        return os.path.basename(self.base)

    def output(self):
        self.log.flush()
        return repr(open(self.base + ".log").read()[-600:])

    def end(self):
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except OSError:
            pass
        self.process.wait()
        self.log.close()


def leaked(before):
    """Entries of this test's runs that are still registered."""
    now = entries() - before
    return set().union(*(run.mine(now) for run in Run.started)) if Run.started else set()


def normal_run(before):
    run = Run("build-a", "normal")
    run.wait_started()
    check(run.mine(entries()), "no entry of the run while its program runs: %s" % sorted(entries()))
    run.release(7)
    check(run.wait() == 7, "exit code %s, expected the program's 7" % run.process.returncode)
    check(not leaked(before), "entry left after a normal run: %s" % sorted(leaked(before)))


# (signal, moment, whom): "registered" is as soon as the run's entry appears, "running" once the
# program has started; "script" signals the script alone, "group" all of it, as the smoke test does.
SIGNAL_CASES = [
    ("HUP", "registered", "script"),
    ("HUP", "running", "script"),
    ("HUP", "running", "group"),
    ("INT", "running", "script"),
    ("TERM", "running", "group"),
    ("PIPE", "running", "script"),
    ("KILL", "registered", "script"),
    ("KILL", "running", "group"),
]


def signalled_run(before, name, moment, whom):
    number = getattr(signal, "SIG" + name)
    run = Run("build-a", "signal-%s-%s-%s" % (name, moment, whom))
    if moment == "registered":
        check(wait_for(lambda: run.mine(entries()), 15, 0.0005), "no entry registered: %s" % run.output())
    else:
        program = run.wait_started()
    (os.killpg if whom == "group" else os.kill)(run.pid, number)
    code = run.wait()
    if name != "KILL":
        check(not leaked(before), "entry left after %s: %s" % (name, sorted(leaked(before))))
        check(code == 128 + number, "exit code %s after %s, expected %d" % (code, name, 128 + number))
        if moment == "running":
            check(wait_for(lambda: not lives(program), 5), "the program still runs after the script ended on %s" % name)
        return
    left = leaked(before)
    check(left, "KILL left no entry behind: the case tests nothing")
    run.end()
    # The next run removes the dead run's entry as it starts, and its own at its end.
    following = Run("build-a", "after-%s-%s" % (moment, whom))
    following.wait_started()
    check(not (left & entries()), "the next run still sees the dead run's entry %s" % sorted(left & entries()))
    following.release(0)
    check(following.wait() == 0, "the next run ended with %s" % following.process.returncode)
    check(not leaked(before), "entry left after the next run: %s" % sorted(leaked(before)))


def probe():
    return subprocess.run([os.path.join(SOURCE, "scripts", "probe-i386")], env=dict(os.environ, ZINDLE_BUILD_DIR=WORK),
                          stdout=subprocess.PIPE, text=True, timeout=60).stdout.strip()


def others_entries(before):
    """Entries of dead runs are removed, whether the pid is gone or now names another process;
    the entries of a live run and of others stay. The probe names this project's entries."""
    gone = subprocess.Popen(["true"])
    gone.wait()
    sleeper = subprocess.Popen(["sleep", "120"])
    dead = ["zindle-i386-%d-1" % gone.pid, "zindle-i386-1-%d" % (int(start_time(1)) + 1)]
    live = "zindle-i386-%d-%s" % (sleeper.pid, start_time(sleeper.pid))
    foreign = ["zindle-test-foreign", "zindle-i386-not-a-run"]
    try:
        with BinfmtMounted():
            entries_of_others(before, dead, live, foreign, sleeper)
    finally:
        sleeper.kill()
        sleeper.wait()


def entries_of_others(before, dead, live, foreign, sleeper):
    try:
        for name in dead + [live] + foreign:
            register(name)
        said = probe()
        check(said.split()[0] in ("native", "emulated", "none") and dead[0] in said and "ended" in said
              and live in said and "in progress (process %d)" % sleeper.pid in said,
              "probe-i386 does not name the entries and their runs: %s" % said)
        run = Run("build-a", "with-others")
        run.wait_started()
        run.release(0)
        check(run.wait() == 0, "exit code %s" % run.process.returncode)
        now = entries()
        check(not (set(dead) & now), "entries of dead runs left: %s" % sorted(set(dead) & now))
        check({live, *foreign} <= now, "entries of a live run or of others removed: %s" % sorted({live, *foreign} - now))
        check(not leaked(before), "entry left: %s" % sorted(leaked(before)))
    finally:
        for name in dead + [live] + foreign:
            remove_entry(name)


def same_prefix(before):
    """A second run in the same build folder waits for the first to end."""
    first, second = Run("build-a", "first"), None
    first.wait_started()
    second = Run("build-a", "second")
    check(not wait_for(second.has_started, 1.5), "a second run in the same prefix ran while the first still did")
    first.release(0)
    check(first.wait() == 0, "first run: exit code %s" % first.process.returncode)
    second.wait_started()
    second.release(3)
    check(second.wait() == 3, "second run: exit code %s" % second.process.returncode)
    check(not leaked(before), "entry left: %s" % sorted(leaked(before)))


def two_prefixes(before):
    """Runs in two build folders overlap; the first to end leaves the other's emulator in place."""
    first, second = Run("build-a", "overlap-a"), Run("build-b", "overlap-b")
    first.wait_started()
    second.wait_started()
    first.release(0)
    check(first.wait() == 0, "first run: exit code %s" % first.process.returncode)
    check(second.mine(entries()), "the first run's end removed the second run's entry: %s" % sorted(entries()))
    second.release(0)
    code = second.wait()
    check(code == 0, "second run: exit code %s%s" % (code, " (its i386 program no longer ran)" if code == 99 else ""))
    check(not leaked(before), "entry left: %s" % sorted(leaked(before)))


def own_mount(before):
    """In a mount namespace where binfmt_misc is not mounted, the runs mount it and the last one
    to end undoes the mount, also after a run killed with KILL."""
    result = subprocess.run(["unshare", "--mount", "--propagation", "private", sys.executable, __file__, SOURCE, WORK,
                             "--mount-namespace"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=240)
    check(result.returncode in (0, SKIP), result.stdout.strip())
    return result.stdout.strip() if result.returncode == SKIP else None


def unmounted_here():
    """Unmounts binfmt_misc in this mount namespace; False, said, where it comes back."""
    unmount_binfmt()
    if os.path.exists(os.path.join(BINFMT, "register")):
        print("not tested: binfmt_misc comes back when unmounted (an automount?)")
        return False
    return True


def in_mount_namespace():
    if not unmounted_here():
        return SKIP
    try:
        first, second = Run("build-a", "mount-a"), Run("build-b", "mount-b")
        first.wait_started()
        second.wait_started()
        first.release(0)
        check(first.wait() == 0, "first run: exit code %s" % first.process.returncode)
        check(binfmt_mounted(), "the first run to end undid the mount while another run used it")
        os.kill(second.pid, signal.SIGKILL)
        second.wait()
        second.end()
        last = Run("build-a", "mount-last")
        last.wait_started()
        last.release(0)
        check(last.wait() == 0, "last run: exit code %s" % last.process.returncode)
        # Entries of others, seen through the same binfmt_misc, keep it mounted.
        others = entries()
        check(binfmt_mounted() == bool(others), "binfmt_misc is %s after the last run, with entries %s"
              % ("mounted" if binfmt_mounted() else "unmounted", sorted(others)))
    except Failure as failure:
        print(failure)
        return 1
    finally:
        for run in Run.started:
            run.end()
            for name in run.mine(entries()):
                remove_entry(name)
    return 0


def skip_reason():
    if os.geteuid() != 0:
        return "needs root: cmake/wine-emulated registers an emulator with binfmt_misc"
    if not os.access(EMULATOR, os.X_OK):
        return "%s is missing (package qemu-user-static)" % EMULATOR
    for tool in ("as", "ld", "flock", "unshare"):
        if not shutil.which(tool):
            return "%s is missing" % tool
    if os.path.exists(os.path.join(BINFMT, "register")):
        if not os.access(os.path.join(BINFMT, "register"), os.W_OK):
            return "binfmt_misc is read-only here"
    elif subprocess.run(["unshare", "--mount", "--propagation", "private", "mount", "-t", "binfmt_misc", "binfmt_misc", BINFMT],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode:
        return "binfmt_misc cannot be mounted here"
    return None


def prepare():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    source = os.path.join(WORK, "i386-true.s")
    with open(source, "w") as assembly:
        assembly.write(".globl _start\n_start:\n movl $1, %eax\n xorl %ebx, %ebx\n int $0x80\n")
    subprocess.run(["as", "--32", "-o", source + ".o", source], check=True)
    subprocess.run(["ld", "-m", "elf_i386", "-o", os.path.join(WORK, "i386-true"), source + ".o"], check=True)
    with open(os.path.join(WORK, "standin.sh"), "w") as standin:
        standin.write(STANDIN)
    os.chmod(os.path.join(WORK, "standin.sh"), 0o755)


CASES = [("normal run", normal_run, ())]
CASES += [("%s %s, to the %s" % case, signalled_run, case) for case in SIGNAL_CASES]
CASES += [("entries of others and of dead runs", others_entries, ()), ("two runs in one prefix", same_prefix, ()),
          ("runs in two prefixes", two_prefixes, ()), ("a mount of its own", own_mount, ())]


def run_cases(where):
    """Runs every case with binfmt_misc as it is here; the number of failures."""
    mounted, found = binfmt_mounted(), entries()
    failed = 0
    for title, case, arguments in CASES:
        before = entries()
        try:
            note = case(before, *arguments)
            print("ok:   %s: %s%s" % (where, title, " (%s)" % note if note else ""))
        except Failure as failure:
            failed += 1
            print("FAIL: %s: %s: %s" % (where, title, failure))
        finally:
            for run in Run.started:
                run.end()
            for name in leaked(before):
                remove_entry(name)
            Run.started = []
        # Each case leaves the mount as it found it.
        if binfmt_mounted() != mounted:
            failed += 1
            print("FAIL: %s: %s: binfmt_misc was %s before the case and is %s after it"
                  % (where, title, *(("mounted", "unmounted") if mounted else ("unmounted", "mounted"))))
            (mount_binfmt if mounted else unmount_binfmt)()
    if entries() != found:
        failed += 1
        print("FAIL: %s: the entries were %s before the cases and are %s after them" % (where, sorted(found), sorted(entries())))
    return failed


def in_namespace_with(state):
    """Runs the cases in this (private) mount namespace with binfmt_misc mounted or not."""
    if state == "mounted":
        if not binfmt_mounted():
            mount_binfmt()
    elif not unmounted_here():
        return SKIP
    return 1 if run_cases("binfmt_misc %s in a mount namespace of its own" % state) else 0


def main():
    if sys.argv[3:] == ["--mount-namespace"]:
        return in_mount_namespace()
    if sys.argv[3:4] == ["--cases-with"]:
        return in_namespace_with(sys.argv[4])
    reason = skip_reason()
    if reason:
        print("SKIP: " + reason)
        return SKIP
    prepare()
    failed = run_cases("the machine's binfmt_misc, %s" % ("mounted" if binfmt_mounted() else "not mounted"))
    # The same cases as a new machine has binfmt_misc (not mounted), and as one that mounted it.
    for state in ("unmounted", "mounted"):
        result = subprocess.run(["unshare", "--mount", "--propagation", "private", sys.executable, __file__, SOURCE, WORK,
                                 "--cases-with", state], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                timeout=600)
        print(result.stdout.rstrip())
        if result.returncode not in (0, SKIP):
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
