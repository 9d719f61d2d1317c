#!/usr/bin/env python3
"""The scripts explain themselves and touch nothing while doing so.

Every script in scripts/ (the release ones aside) answers --help and -h with its usage on standard
output and exit code 0; a usage error (an unknown option, a missing or bad value) gives the
problem in one line, then the usage, on standard error, and exit code 2. Either way nothing is
installed, built or written. The scripts run from a copy of scripts/, cmake/ and .ci/ with the
commands that install, build or start anything replaced by stand-ins that note each call; the
copy must be as it was afterwards, and no stand-in called.

The shared build step (BuildAll in lib.sh, with ninja replaced, over trees that look configured)
leaves a top-level CTest file, so that `ctest --test-dir BUILD` finds the trees' tests after any
script that builds, and keeps one that scripts/test wrote.

    scripts_usage.py SOURCE_DIR WORK_DIR
"""
import os
import shutil
import subprocess
import sys

SOURCE, WORK = sys.argv[1:3]
# Commands a script runs to install, build, clone or start something.
STANDINS = ["apt-get", "dpkg", "dpkg-query", "sudo", "cmake", "ninja", "clang", "clang++", "as", "ld",
            "Xvfb", "xdpyinfo", "xdotool", "import", "wine", "wineserver", "git", "unshare", "mktemp"]
# Usage errors: script, arguments, extra environment, what the problem line says.
USAGE_ERRORS = [
    ("run", ["--bogus"], {}, "unknown option '--bogus'"),
    ("run", ["extra"], {}, "unexpected argument 'extra'"),
    ("run", [], {"ZINDLE_DISPLAY": "abc"}, "ZINDLE_DISPLAY must be a display number"),
    ("screenshot", ["--dpi"], {}, "--dpi wants a number"),
    ("screenshot", ["--dpi", "0"], {}, "--dpi wants a number of dots per inch, not '0'"),
    ("screenshot", ["--help-me"], {}, "unknown option '--help-me'"),
    ("screenshot", ["a.png", "b.png"], {}, "one output file only"),
    ("screenshot", [], {"ZINDLE_DISPLAY": ":"}, "ZINDLE_DISPLAY must be a display number"),
    ("test", ["window"], {}, "'window' is not a ctest option"),
    ("test", ["-L", "window", "--lable", "x"], {}, "unknown ctest option '--lable'"),
    ("test", [], {"ZINDLE_WINE": "win16"}, "ZINDLE_WINE must be win32, win64 or both"),
    ("test", [], {"ZINDLE_DISPLAY": "9x"}, "ZINDLE_DISPLAY must be a display number"),
    ("fuzz", ["0"], {}, "SECONDS must be"),
    ("fuzz", ["10", "x"], {}, "RUNS must be"),
    ("fuzz", ["1", "2", "3"], {}, "too many arguments"),
    ("fuzz", ["-5"], {}, "unknown option '-5'"),
    ("bench-startup", ["--dpi", "x"], {}, "--dpi wants a number"),
    ("bench-startup", ["abc"], {}, "ROUNDS must be"),
    ("bench-startup", ["5", "x"], {}, "CORE must be"),
    ("bench-startup", ["--verbose"], {}, "unknown option '--verbose'"),
    ("bench-startup", [], {"ZINDLE_DISPLAY": "abc"}, "ZINDLE_DISPLAY must be a display number"),
    ("fresh-check", ["--keep", "--bogus"], {}, "unknown ctest option '--bogus'"),
    ("fresh-check", ["window"], {}, "'window' is not a ctest option"),
    ("probe-i386", ["now"], {}, "unexpected argument 'now'"),
]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def make_copy():
    copy = os.path.join(WORK, "copy")
    shutil.rmtree(copy, ignore_errors=True)
    for part in ("scripts", "cmake", ".ci"):
        shutil.copytree(os.path.join(SOURCE, part), os.path.join(copy, part))
    return copy


def make_standins(exit_code):
    """A folder of stand-ins that note their call in calls.log and end with EXIT_CODE."""
    folder = os.path.join(WORK, "standins-%d" % exit_code)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    log = os.path.join(WORK, "calls.log")
    for name in STANDINS:
        path = os.path.join(folder, name)
        with open(path, "w") as standin:
            standin.write('#!/bin/sh\necho "%s $*" >>"%s"\nexit %d\n' % (name, log, exit_code))
        os.chmod(path, 0o755)
    return folder, log


def snapshot(folder):
    return {os.path.join(d, f): os.stat(os.path.join(d, f)).st_mtime_ns
            for d, dirs, files in os.walk(folder) for f in files + dirs}


def environment(standins, extra=None):
    env = {k: v for k, v in os.environ.items()
           if k not in ("BUILD_DIR", "ZINDLE_BUILD_DIR", "DISPLAY", "ZINDLE_DISPLAY", "ZINDLE_WINE")}
    env["PATH"] = standins + os.pathsep + env["PATH"]
    env.update(extra or {})
    return env


def run_script(copy, standins, log, script, args, extra=None):
    """Runs the copy's script from the copy's root; returns the result and what it touched."""
    if os.path.exists(log):
        os.remove(log)
    before = snapshot(copy)
    result = subprocess.run([os.path.join(copy, script)] + args, cwd=copy, env=environment(standins, extra),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, timeout=60)
    after = snapshot(copy)
    touched = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
    calls = open(log).read().splitlines() if os.path.exists(log) else []
    return result, touched, calls


def scripts_to_explain():
    folder = os.path.join(SOURCE, "scripts")
    return sorted(name for name in os.listdir(folder)
                  if os.path.isfile(os.path.join(folder, name)) and os.access(os.path.join(folder, name), os.X_OK)
                  and not name.startswith("release"))


def check_usage(copy, standins, log):
    helps = {}
    names = scripts_to_explain()
    check({"run", "test", "screenshot", "fuzz", "probe-i386"} <= set(names), "scripts found: %s" % names)
    for name in names:
        script = os.path.join("scripts", name)
        for flag in ("--help", "-h"):
            result, touched, calls = run_script(copy, standins, log, script, [flag])
            what = "%s %s" % (script, flag)
            check(result.returncode == 0, "%s: exit code %d, stderr %r" % (what, result.returncode, result.stderr))
            check(result.stdout.startswith("Usage: scripts/%s" % name), "%s: stdout %r" % (what, result.stdout[:200]))
            check(result.stderr == "", "%s: stderr %r" % (what, result.stderr))
            check(not touched, "%s touched %s" % (what, touched))
            check(not calls, "%s ran %s" % (what, calls))
            helps.setdefault(name, result.stdout)
            check(result.stdout == helps[name], "%s: not the usage --help gives" % what)
    # CI's entry passes its arguments on to scripts/test.
    result, touched, calls = run_script(copy, standins, log, ".ci/run", ["--help"])
    check(result.returncode == 0 and result.stdout == helps.get("test") and not touched and not calls,
          ".ci/run --help: exit code %d, stdout %r, touched %s, ran %s"
          % (result.returncode, result.stdout[:200], touched, calls))

    for name, args, extra, problem in USAGE_ERRORS:
        result, touched, calls = run_script(copy, standins, log, os.path.join("scripts", name), args, extra)
        what = "%s %s %s" % (" ".join("%s=%s" % item for item in extra.items()), name, " ".join(args))
        first, _, rest = result.stderr.partition("\n")
        check(result.returncode == 2, "%s: exit code %d, stderr %r" % (what, result.returncode, result.stderr))
        check(first.startswith("scripts/%s: " % name) and problem in first, "%s: first line %r" % (what, first))
        check(rest == helps.get(name), "%s: the usage does not follow the problem: %r" % (what, rest[:200]))
        check(result.stdout == "", "%s: stdout %r" % (what, result.stdout))
        check(not touched, "%s touched %s" % (what, touched))
        check(not calls, "%s ran %s" % (what, calls))


def fake_build(build):
    """Trees that look configured, each with a CTest file of one test."""
    shutil.rmtree(build, ignore_errors=True)
    for tree, test in (("host", "host.sample"), ("win32", "win32.sample"), ("win64", "win64.sample"),
                       ("win32/tests/shipped", "win32.shipped_sample")):
        os.makedirs(os.path.join(build, tree))
        if "/" not in tree:
            open(os.path.join(build, tree, "build.ninja"), "w").close()
        with open(os.path.join(build, tree, "CTestTestfile.cmake"), "w") as testfile:
            testfile.write('add_test(%s "true")\n' % test)


def build_all(build, standins):
    env = environment(standins, {"BUILD_DIR": build})
    # Only ninja is to be run: the trees are configured.
    return subprocess.run(["bash", "-c", 'set -e; source "$1/scripts/lib.sh"; BuildAll', "-", SOURCE], env=env,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          timeout=60)


def ctest_lists(build):
    return subprocess.run(["ctest", "--test-dir", build, "-N"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, timeout=60).stdout


def check_test_file_after_build(standins, log):
    build = os.path.join(WORK, "build")
    testfile = os.path.join(build, "CTestTestfile.cmake")
    fake_build(build)
    result = build_all(build, standins)
    calls = open(log).read().splitlines() if os.path.exists(log) else []
    check(result.returncode == 0, "BuildAll failed: %s" % result.stdout)
    check(any(call.startswith("ninja ") for call in calls) and not any(call.startswith("cmake ") for call in calls),
          "BuildAll ran %s" % calls)
    if check(os.path.exists(testfile), "BuildAll wrote no top-level CTest file"):
        listed = ctest_lists(build)
        check("host.sample" in listed and "win64.sample" in listed, "ctest --test-dir BUILD -N lists: %s" % listed)
        check(("win32.sample" in listed) != ("win32.shipped_sample" in listed),
              "the win32 tree's tests or its shipped program's checks, one of them: %s" % listed)

    # What scripts/test chose stays.
    fake_build(build)
    with open(testfile, "w") as chosen:
        chosen.write('subdirs("host")\n')
    build_all(build, standins)
    check(open(testfile).read() == 'subdirs("host")\n', "BuildAll replaced the trees scripts/test chose")


def main():
    os.makedirs(WORK, exist_ok=True)
    copy = make_copy()
    refusing, log = make_standins(1)
    check_usage(copy, refusing, log)
    passing, log = make_standins(0)
    check_test_file_after_build(passing, log)
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    print("%d scripts explain themselves; BuildAll leaves a top-level CTest file" % len(scripts_to_explain()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
