#!/usr/bin/python
# -*- coding: utf-8 -*-
# One run of logdump on a host, so that its archive holds that run alone.
# Written for every Python that Ansible still drives on a server (2.7 of
# RHEL 7 included): no f-strings, no subprocess timeouts.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: logdump_run
short_description: Run logdump once into an emptied log directory and archive that run
description:
  - Moves whatever the log directory holds into C(<log_dir>.previous-<time>) beside it, after removing
    the one kept from the run before, so that the log directory holds this run's files alone.
  - Runs the program from the vendor directory under a time limit (SIGTERM, SIGKILL 30 s later), with
    its standard output and error into C(console.txt) (colours stripped) and the run's facts into
    C(run.json), both in the log directory; then archives the log directory.
  - Removes the program from the vendor directory afterwards unless told to keep it.
options:
  program: {type: str, required: true, description: The program's file name in I(vendor_dir).}
  vendor_dir:
    {type: path, required: true, description: Where the program and the vendor files are; the run's working directory.}
  args: {type: list, elements: str, default: [], description: The program's arguments.}
  log_dir: {type: path, required: true, description: The log directory the run writes.}
  time_limit: {type: int, required: true, description: Seconds before the program is ended.}
  archive: {type: path, required: true, description: The .tar.gz to make of the log directory.}
  keep_program: {type: bool, default: false, description: Leave the program in I(vendor_dir).}
"""

RETURN = r"""
exit_status:
  {description: exit status as a shell shows it (124 at the time limit, 137 when killed 30 s later), type: int}
time_limit_exceeded: {description: the program was ended at the time limit, type: bool}
start: {description: run.json's start, type: str}
end: {description: run.json's end, type: str}
seconds: {description: how long the program ran, type: float}
version: {description: the program's version, or null when it does not answer, type: str}
controller_logs: {description: controller log files written, type: int}
drive_logs: {description: drive log files written, type: int}
no_controller: {description: the program reported that it found no controller, type: bool}
previous: {description: the directory that took the earlier run's files, or null, type: str}
"""

import errno
import json
import math
import os
import re
import shutil
import subprocess
import tempfile
import time

from ansible.module_utils.basic import AnsibleModule

GRACE_SECONDS = 30
# CSI sequences; the program's colours are "ESC [ 31 m" (red), "ESC [ 34 m"
# (blue) and "ESC [ 0 m" (reset).
CSI = re.compile(b"\x1b\\[([0-9;]*)([@-~])")
CONTROLLER_LOG = re.compile(r"^[Cc]ontroller_[0-9]+_[A-Za-z]+\.log$")
DRIVE_LOG = re.compile(r"^MA[0-9a-f]{4,}\.log$")
NO_CONTROLLER = b"RAID Contoroller is not Found"


def utc_text(seconds):
    return time.strftime("%Y-%m-%dT%H:%M:%S+00:00", time.gmtime(seconds))


def remove_path(path):
    if os.path.islink(path) or not os.path.isdir(path):
        os.unlink(path)
    else:
        shutil.rmtree(path)


def set_aside(log_dir, now):
    """Empties the log directory into a dated directory beside it.

    The entries move rather than the directory itself, so that a log
    directory that is a mount point, or that belongs to someone else,
    keeps its place, owner and mode.
    """
    parent, base = os.path.split(log_dir)
    if os.path.isdir(parent):
        for name in os.listdir(parent):
            if name.startswith(base + ".previous-"):
                remove_path(os.path.join(parent, name))
    if not os.path.isdir(log_dir):
        os.makedirs(log_dir, 0o755)
        return None
    entries = os.listdir(log_dir)
    if not entries:
        return None
    # No colon in the name: tar and scp take "a:b" for a remote path.
    previous = "%s.previous-%s" % (log_dir, time.strftime("%Y%m%dT%H%M%SZ", time.gmtime(now)))
    os.mkdir(previous, 0o700)
    for name in entries:
        os.rename(os.path.join(log_dir, name), os.path.join(previous, name))
    os.chmod(previous, os.stat(log_dir).st_mode & 0o7777)
    return previous


def plain_console(raw):
    """The console without its colour sequences, and the numbers (from 1)
    of the lines that showed text in red: the program's failures."""
    lines, red_lines, red = [], [], False
    for number, line in enumerate(raw.split(b"\n"), 1):
        text, shown_red, pos = [], False, 0
        for match in CSI.finditer(line):
            piece = line[pos : match.start()]
            text.append(piece)
            shown_red = shown_red or (red and piece.strip() != b"")
            if match.group(2) == b"m":
                for code in match.group(1).split(b";"):
                    n = int(code or b"0")
                    if n in (31, 91):
                        red = True
                    elif n in (0, 39) or 30 <= n <= 37 or 90 <= n <= 97:
                        red = False
            pos = match.end()
        piece = line[pos:]
        text.append(piece)
        if shown_red or (red and piece.strip() != b""):
            red_lines.append(number)
        lines.append(b"".join(text))
    return b"\n".join(lines), red_lines


def write_new(path, data):
    """Writes a file that the run did not write, never through a link
    planted in its place."""
    try:
        os.unlink(path)
    except OSError as e:
        if e.errno != errno.ENOENT:
            raise
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | getattr(os, "O_NOFOLLOW", 0), 0o644)
    with os.fdopen(fd, "wb") as f:
        f.write(data)


def shell_status(returncode):
    return 128 - returncode if returncode < 0 else returncode


def program_version(vendor_dir, program):
    """(version, width) from --version, or (None, None)."""
    with open(os.devnull, "rb") as null:
        try:
            out = subprocess.Popen(
                ["timeout", "--kill-after=5", "60", "./" + program, "--version"],
                cwd=vendor_dir,
                stdin=null,
                stdout=subprocess.PIPE,
                stderr=null,
                close_fds=True,
            ).communicate()[0]
        except OSError:
            return None, None
    match = re.match(br"\S+ (\S+) \(([0-9]+)-bit build\)", out)
    if not match:
        return None, None
    return match.group(1).decode("ascii", "replace"), int(match.group(2))


def run(p):
    """Runs the program; returns its facts for run.json and its raw console."""
    vendor_dir, program = p["vendor_dir"], p["program"]
    version, width = program_version(vendor_dir, program)
    with tempfile.TemporaryFile() as console, open(os.devnull, "rb") as null:
        # Whole seconds, taken a little early: the kernel stamps files with
        # a clock that may lag time() by a tick, and tar keeps whole
        # seconds; so every file of the run is at or after the start.
        began = time.time()
        start = int(began - 0.05)
        proc = subprocess.Popen(
            ["timeout", "--kill-after=%d" % GRACE_SECONDS, str(p["time_limit"]), "./" + program] + p["args"],
            cwd=vendor_dir,
            stdin=null,
            stdout=console,
            stderr=subprocess.STDOUT,
            close_fds=True,
        )
        rc = shell_status(proc.wait())
        ended = time.time()
        console.seek(0)
        raw = console.read()
    facts = {
        "program": program,
        "version": version,
        "width": width,
        "arguments": p["args"],
        "exit_status": rc,
        "time_limit_exceeded": rc in (124, 137) and ended - began >= p["time_limit"],
        "start": utc_text(start),
        "end": utc_text(int(math.ceil(ended))),
    }
    return facts, raw, round(ended - began, 2)


def record(log_dir, facts, raw):
    """console.txt and run.json beside the run's files; what the run wrote."""
    console, facts["red_lines"] = plain_console(raw)
    write_new(os.path.join(log_dir, "console.txt"), console)
    run_json = json.dumps(facts, indent=2, sort_keys=True, separators=(",", ": ")) + "\n"
    write_new(os.path.join(log_dir, "run.json"), run_json.encode("ascii"))
    names = os.listdir(log_dir)
    return dict(
        controller_logs=len([n for n in names if CONTROLLER_LOG.match(n)]),
        drive_logs=len([n for n in names if DRIVE_LOG.match(n)]),
        no_controller=NO_CONTROLLER in raw,
    )


def archive(module, log_dir, path, result):
    if os.path.lexists(path):
        os.unlink(path)
    parent, base = os.path.split(log_dir)
    cmd = ["tar", "-czf", path, "-C", parent, base]
    status, out, err = module.run_command(cmd)
    if status != 0:
        module.fail_json(msg="cannot archive %s into %s: %s" % (log_dir, path, err.strip()), **result)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            program=dict(type="str", required=True),
            vendor_dir=dict(type="path", required=True),
            args=dict(type="list", elements="str", default=[]),
            log_dir=dict(type="path", required=True),
            time_limit=dict(type="int", required=True),
            archive=dict(type="path", required=True),
            keep_program=dict(type="bool", default=False),
        ),
    )
    p = module.params
    log_dir = p["log_dir"] = os.path.normpath(p["log_dir"])
    program_path = os.path.join(p["vendor_dir"], p["program"])
    try:
        try:
            previous = set_aside(log_dir, time.time())
        except (IOError, OSError) as e:
            module.fail_json(msg="cannot empty the log directory %s: %s" % (log_dir, e))
        try:
            facts, raw, seconds = run(p)
        except (IOError, OSError) as e:
            module.fail_json(msg="cannot run %s in %s: %s" % (p["program"], p["vendor_dir"], e))
        # No "rc": Ansible would take a non-zero one for the task's failure,
        # and the program's own failures are not the host's.
        result = dict(facts, seconds=seconds, previous=previous, changed=True)
        try:
            result.update(record(log_dir, facts, raw))
        except (IOError, OSError) as e:
            module.fail_json(msg="cannot write the run's console and facts into %s: %s" % (log_dir, e), **result)
        archive(module, log_dir, p["archive"], result)
        module.exit_json(**result)
    finally:
        if not p["keep_program"] and os.path.lexists(program_path):
            os.unlink(program_path)


if __name__ == "__main__":
    main()
