#!/usr/bin/env python3
"""Runs pelorin-cli.exe under Wine with its streams where a person or a script puts them. On a
console, names in Greek and in CJK show as they are (written as UTF-16 with WriteConsoleW; had
their UTF-8 bytes been written instead, the console would read them in its code page, 437, and
show other characters), and the progress line is drawn and cleared around the reports. A full
disk ends the run with status 3 and the system's reason; a closed pipe ends it quietly; a file
list on standard input may have CR LF lines. Wine gives a program started on a terminal a
console of its own and draws that console on the terminal.

Usage: cli_exe_test.py PELORIN_CLI_EXE"""
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import time

TIME_LIMIT = 60  # seconds for each run
CLI = sys.argv[1]
failures = []


def check(what, expected, actual):
    if expected != actual:
        failures.append(f"{what}: expected {expected!r}, got {actual!r}")


def on_console(args, cwd):
    """Runs pelorin-cli.exe on a terminal; returns its exit status and what the terminal got."""
    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execvp("wine", ["wine", CLI] + args)
    shown = b""
    deadline = time.monotonic() + TIME_LIMIT
    while time.monotonic() < deadline:
        ready, _, _ = select.select([terminal], [], [], 1)
        if not ready:
            continue
        try:
            data = os.read(terminal, 4096)
        except OSError:  # the terminal's other side is closed: the program ended
            break
        if not data:
            break
        shown += data
    else:
        os.kill(pid, signal.SIGKILL)
    _, status = os.waitpid(pid, 0)
    os.close(terminal)
    return os.waitstatus_to_exitcode(status), shown.decode("utf-8", "replace")


def run(args, cwd, **streams):
    """Runs pelorin-cli.exe with its streams as given; returns the finished process."""
    return subprocess.run(["wine", CLI] + args, cwd=cwd, timeout=TIME_LIMIT, **streams)


def console_rows(folder):
    rows = [
        ("a Greek name in a text report", ["Ωμέγα.wav"], ["Error opening file Ωμέγα.wav"]),
        ("a CJK name in JSON", ["--json", "漢字.wav"],
         ['{"path":"漢字.wav","report":"open-failure"']),
        ("the progress line, cleared for each report", ["--progress", "a.wav", "漢字.wav"],
         [" files/s, 0:00", "Error opening file a.wav\r", "Error opening file 漢字.wav\r"]),
    ]
    for name, args, expected in rows:
        status, shown = on_console(args, folder)
        check(f"{name}: exit status", 1, status)
        for text in expected:
            if text not in shown:
                failures.append(f"{name}: {text!r} not on the console, which shows {shown!r}")


def stream_rows(folder):
    with open("/dev/full", "wb") as full:
        done = run(["--version"], folder, stdout=full, stderr=subprocess.PIPE)
    check("a full disk: exit status", 3, done.returncode)
    check("a full disk: the message", True,
          done.stderr.decode().startswith("pelorin-cli: error: cannot write output: "))

    # Thousands of reports into a pipe that is closed after the first bytes.
    many = ["missing.wav"] * 5000
    reader = subprocess.Popen(["head", "-c", "1"], stdin=subprocess.PIPE,
                              stdout=subprocess.DEVNULL)
    done = run(many, folder, stdout=reader.stdin, stderr=subprocess.PIPE)
    reader.stdin.close()
    reader.wait(timeout=TIME_LIMIT)
    check("a closed pipe: exit status", 1, done.returncode)
    check("a closed pipe: stderr", b"", done.stderr)

    done = run(["--tsv", "--files-from", "-"], folder, input=b"a.wav\r\n\r\nb.wav\r\n",
               stdout=subprocess.PIPE)
    check("a list with CR LF lines on standard input", ["a.wav", "b.wav"],
          [line.split(b"\t")[0].decode() for line in done.stdout.splitlines()[1:]])


def main():
    with tempfile.TemporaryDirectory(prefix="pelorin-cli-exe-") as folder:
        console_rows(folder)
        stream_rows(folder)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
