#!/usr/bin/env python3
"""clang-tidy over the given sources, each file skipped when what the compiler sees of it (the
preprocessed text, without line markers, so the checkout's path does not count), the checks and
clang-tidy's version are those of a run that passed before. Passing runs are kept in
~/.cache/quorvex-tidy. Exit status 1 when any file has findings, which are printed.

    tools/tidy/tidy_cached.py BUILD_DIRECTORY SOURCE...
"""
import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys


def preprocessed(entry):
    words = shlex.split(entry["command"])
    kept, skip = [], False
    for word in words:
        if skip:
            skip = False
        elif word == "-o":
            skip = True
        elif word != "-c":
            kept.append(word)
    return subprocess.run(kept + ["-E", "-P"], cwd=entry["directory"], capture_output=True, check=True).stdout


def main():
    build, sources = sys.argv[1], sys.argv[2:]
    entries = {os.path.realpath(e["file"]): e for e in json.load(open(os.path.join(build, "compile_commands.json")))}
    cache = os.path.expanduser("~/.cache/quorvex-tidy")
    os.makedirs(cache, exist_ok=True)
    settings = open(".clang-tidy", "rb").read() + subprocess.run(["clang-tidy", "--version"], capture_output=True).stdout

    def tidy(source):
        key = hashlib.sha256(settings + preprocessed(entries[os.path.realpath(source)])).hexdigest()
        stamp = os.path.join(cache, key)
        if os.path.exists(stamp):
            return ""
        run = subprocess.run(["clang-tidy", "-p", build, "--quiet", source], capture_output=True, text=True)
        if run.returncode == 0:
            open(stamp, "w").close()
            return ""
        return run.stdout or f"{source}: clang-tidy failed\n"

    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        findings = "".join(pool.map(tidy, sources))
    sys.stdout.write(findings)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
