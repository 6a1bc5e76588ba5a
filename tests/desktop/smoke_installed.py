"""Checks the installed program from outside, as smoke_installed.sh starts it.

Usage: smoke_installed.py PROGRAM WINDOW_MAPPED
- the main window is mapped on the display;
- start-up left exactly one empty file in the temporary folder it was given, and nothing else;
- the new-version window opens with the installed web-browser library and the web engine's
  helper process;
- every file the program and its helper have mapped comes from the package or from a package
  it depends on, directly or not: on a fresh machine apt installs all of them;
- Exit ends the program with code 0.
"""

import os
import re
import subprocess
import sys
import time

from atspi_tools import MAIN_TITLE, atspi_bus_starts, fail, find_window, press, wait_for

PACKAGE = "sweepwise"


def children(pid):
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            if entry.isdigit() and int(fields[1]) == pid:
                found.append(int(entry))
        except (OSError, IndexError, ValueError):
            pass
    return found


def descendants(pid):
    found = []
    for child in children(pid):
        found += [child] + descendants(child)
    return found


def mapped_files(pids):
    files = set()
    for pid in pids:
        try:
            with open(f"/proc/{pid}/maps") as maps:
                for line in maps:
                    parts = line.split(maxsplit=5)
                    if len(parts) == 6 and parts[5].startswith("/"):
                        files.add(parts[5].strip())
        except OSError:
            pass
    return {f for f in files if not f.endswith(" (deleted)") and os.path.isfile(f)}


def owners(files):
    """Packages of each file that a package holds; /usr/lib and /lib are one folder here."""
    names = {file: [file, re.sub(r"^/usr(?=/lib)", "", file)] for file in files}
    listing = subprocess.run(["dpkg-query", "-S"] + sorted({n for v in names.values() for n in v}),
                             capture_output=True, text=True).stdout
    holders = {}
    for line in listing.splitlines():
        packages, _, path = line.partition(": ")
        if path and not line.startswith("diversion "):
            holders[path] = {p.strip().split(":")[0] for p in packages.split(",")}
    owned = {}
    for file, candidates in names.items():
        for candidate in candidates:
            if candidate in holders:
                owned[file] = holders[candidate]
                break
    return owned


def dependency_closure():
    listing = subprocess.run(
        ["apt-cache", "depends", "--recurse", "--installed", "--no-recommends", "--no-suggests",
         "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances", PACKAGE],
        capture_output=True, text=True, check=True).stdout
    # Essential packages are on every Debian system.
    essential = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Essential}\\n"],
                               capture_output=True, text=True, check=True).stdout
    names = {line.split()[0] for line in essential.splitlines() if line.endswith(" yes")}
    for line in listing.splitlines():
        name = line.split(":", 1)[-1].strip().lstrip("|")
        if name and not name.startswith("<"):
            names.add(name.split(":")[0])
    return names


def main(program, window_mapped):
    if not atspi_bus_starts():
        fail("the AT-SPI bus must start here")
    temp = os.environ["TMPDIR"]
    waiter = subprocess.Popen([window_mapped, MAIN_TITLE, "30"])
    started = time.monotonic()
    host = subprocess.Popen([program])
    try:
        if waiter.wait(timeout=60) != 0:
            fail("the main window was not mapped")
        print(f"main window mapped {1000 * (time.monotonic() - started):.0f} ms after launch")
        left = os.listdir(temp)
        if (len(left) != 1 or not re.fullmatch(r"TMP[0-9A-F]+\.tmp", left[0])
                or os.path.getsize(os.path.join(temp, left[0])) != 0):
            fail(f"start-up left {left} in the temporary folder")
        print("start-up left one empty file in the temporary folder given:", left[0])

        window = wait_for("the main window over AT-SPI", lambda: find_window(host.pid, MAIN_TITLE))
        press(window, "查看新版本(N)")
        wait_for("the new-version window", lambda: find_window(host.pid, "查看新版本"))
        helpers = wait_for("the web engine's helper process", lambda: [
            pid for pid in descendants(host.pid)
            if open(f"/proc/{pid}/comm").read().startswith("QtWebEngine")], seconds=60)
        print("the new-version window opened and started", len(helpers), "web engine helpers")

        files = mapped_files([host.pid] + descendants(host.pid))
        owned = owners(files)
        closure = dependency_closure() | {PACKAGE}
        missing = {file: packages for file, packages in owned.items() if not packages & closure}
        if missing:
            fail("mapped from packages the package does not depend on: " + repr(missing))
        print(f"{len(files)} files mapped, {len(owned)} of them from",
              len(set().union(*owned.values())), "packages, all within the dependencies")

        press(window, "退出(Q)")
        code = host.wait(timeout=30)
        if code != 0:
            fail(f"Exit ended the program with code {code}")
        print("Exit ended the program with code 0")
    finally:
        for process in (host, waiter):
            if process.poll() is None:
                process.kill()
                process.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
