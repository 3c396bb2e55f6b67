#!/usr/bin/env python3
"""pelorin-cli.exe under Wine and the Linux build's pelorin-cli give the same JSON records for
the test builder's cases: the layouts the fuzzer is seeded with, written by the cross-built
pelorin-fuzz-seeds.exe, walked with --details and --summary, with a subfolder, a name in
Greek, a link to a file (probed) and a link to a folder (not followed), then a missing file and
a folder named alone. Only the paths differ: Z:\\...\\cases\\x against /.../cases/x, in `path`
and inside the prompts, which are compared with the folder's part taken out.

Usage: cli_json_test.py LINUX_PELORIN_CLI PELORIN_CLI_EXE PELORIN_FUZZ_SEEDS_EXE"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

TIME_LIMIT = 120  # seconds for each run
LINUX_CLI, WINDOWS_CLI, SEEDS = sys.argv[1:4]


def windows_path(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True, check=True,
                          timeout=TIME_LIMIT).stdout.strip()


def make_cases(cases):
    os.mkdir(cases)
    subprocess.run(["wine", SEEDS, windows_path(cases)], check=True, timeout=TIME_LIMIT)
    os.mkdir(os.path.join(cases, "sub"))
    shutil.copy(os.path.join(cases, "canonical"), os.path.join(cases, "sub", "deeper.wav"))
    shutil.copy(os.path.join(cases, "tags"), os.path.join(cases, "Ωμέγα.wav"))
    os.symlink("canonical", os.path.join(cases, "link-to-file"))
    os.symlink("sub", os.path.join(cases, "link-to-folder"))


def records(command, folder, runs):
    """The records of each run of `command` with the arguments of `runs`, the folder's part of
    every path taken out; and the exit statuses."""
    found, statuses = [], []
    for args in runs:
        done = subprocess.run(command + [arg.replace("CASES", folder) for arg in args],
                              capture_output=True, timeout=TIME_LIMIT)
        statuses.append(done.returncode)
        for line in done.stdout.decode("utf-8", "surrogateescape").splitlines():
            record = json.loads(line)
            if "path" in record:
                path = record["path"]
                shown = "CASES" + path[len(folder):].replace("\\", "/")
                record["path"] = shown
                record["prompt"] = record["prompt"].replace(path, shown)
            found.append(record)
    return found, statuses


def main():
    runs = [["--json", "--details", "--verify-md5", "--summary", "-r", "--all-files", "CASES"],
            ["--json", "CASES/missing.wav", "CASES/sub"]]
    with tempfile.TemporaryDirectory(prefix="pelorin-cli-json-") as folder:
        cases = os.path.join(folder, "cases")
        make_cases(cases)
        linux = records([LINUX_CLI], cases, runs)
        windows = records(["wine", WINDOWS_CLI], windows_path(cases),
                          [[arg.replace("/", "\\") for arg in args] for args in runs])
    if linux == windows and linux[0]:
        return 0
    print("FAIL: the records differ; exit statuses", linux[1], "and", windows[1])
    for mine, theirs in zip(linux[0], windows[0]):
        if mine != theirs:
            print("  Linux:  ", json.dumps(mine, ensure_ascii=False))
            print("  Windows:", json.dumps(theirs, ensure_ascii=False))
    print(f"  {len(linux[0])} records against {len(windows[0])}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
