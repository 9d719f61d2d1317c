#!/usr/bin/env python3
"""skinpack.exe's file, read without running it (so the shipped 32-bit one is checked too): a
stripped console program that imports only system DLLs, and no kernel32 function that Windows XP
SP3, where WIC comes as a redistributable, does not have.

    skinpack_imports_test.py OBJDUMP SKINPACK_EXE
"""
import re
import subprocess
import sys

OBJDUMP, EXE = sys.argv[1:3]
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll",
               "user32.dll", "windowscodecs.dll"}
# kernel32 functions of Vista and later that MinGW's runtimes are known to import.
NOT_ON_XP = {"GetTickCount64", "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
             "InitializeConditionVariable", "SleepConditionVariableCS", "SleepConditionVariableSRW",
             "WakeConditionVariable", "WakeAllConditionVariable", "InitOnceExecuteOnce",
             "InitializeCriticalSectionEx", "FlsAlloc", "FlsGetValue", "FlsSetValue", "FlsFree",
             "GetSystemTimePreciseAsFileTime", "CreateSymbolicLinkW", "GetFinalPathNameByHandleW"}

dump = subprocess.run([OBJDUMP, "-p", EXE], capture_output=True, text=True, check=True).stdout
failures = []
imports = {}
dll = None
for line in dump.splitlines():
    m = re.match(r"\tDLL Name: (\S+)", line)
    if m:
        dll = m.group(1).lower()
        imports[dll] = []
    elif dll and re.match(r"\t[0-9a-f]+\s+\d+\s+\w+$", line):
        imports[dll].append(line.split()[-1])
    elif not line.strip():
        dll = None

if not imports:
    failures.append("no imports found")
foreign = sorted(set(imports) - SYSTEM_DLLS)
if foreign:
    failures.append("imports DLLs that are not the system's: " + ", ".join(foreign))
missing_on_xp = sorted(set(imports.get("kernel32.dll", [])) & NOT_ON_XP)
if missing_on_xp:
    failures.append("imports from kernel32 what XP lacks: " + ", ".join(missing_on_xp))
if not re.search(r"^Subsystem\s+00000003", dump, re.M):
    failures.append("not a console program")
if "symbols stripped" not in dump:
    failures.append("not stripped")

for f in failures:
    print("skinpack.exe: " + f)
if not failures:
    print("skinpack.exe: imports %s" % ", ".join(sorted(imports)))
sys.exit(1 if failures else 0)
