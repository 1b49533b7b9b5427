#!/usr/bin/env python3
"""tavo-cli.exe backup and restore under Wine against the paced simulator,
beside the Linux tavo-cli on the same set and the same line.

Floor = every character that crossed the line, both directions, x 10 / baud,
counted from the simulator's transcript. Ratio = wall / floor (target 1.05).
CPU = the client's user + system time / its wall time (target 0.02); under
Wine the Wine server's share is printed beside it.

Usage: windows_mirror.py WINDOWS_BUILD LINUX_BUILD [--baud B] [--repeats N]
"""
import argparse
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

ESCAPE = re.compile(rb"\\x[0-9a-f]{2}")


def line_characters(transcript):
    """Characters both ways: the bytes of every '<' and '>' line."""
    count = 0
    with open(transcript, "rb") as lines:
        for line in lines:
            if line[:2] in (b"< ", b"> "):
                body = line[2:].rstrip(b"\n")
                count += len(ESCAPE.sub(b".", body))
    return count


def server_cpu(pid):
    """User + system seconds of a process, from /proc."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, IndexError):
        return 0.0


class Simulator:
    def __init__(self, sim, work, store, baud, transcript=None):
        self.link = os.path.join(work, "com23")
        for stale in (self.link,):
            if os.path.lexists(stale):
                os.remove(stale)
        args = [sim, "--store", store, "--link", self.link, "--baud", str(baud)]
        if transcript:
            args += ["--transcript", transcript]
        self.process = subprocess.Popen(args, stdout=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.islink(self.link):
                break
            time.sleep(0.05)
        dosdevice = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "com23")
        if os.path.lexists(dosdevice):
            os.remove(dosdevice)
        os.symlink(os.readlink(self.link), dosdevice)

    def stop(self):
        self.process.terminate()
        self.process.wait()


def run(command, cwd):
    """Wall and CPU seconds of one command, which must succeed."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    done = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        sys.exit(f"FAILED: {' '.join(command)}: {done.stderr.decode(errors='replace')}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def make_set(sim, linux_cli, work):
    """60 notes of 200 to 1800 bytes in two directories, 10 plain memos."""
    store = os.path.join(work, "set")
    source = os.path.join(work, "source")
    for d in ("Notes A", "Notes B"):
        os.makedirs(os.path.join(source, d))
    for i in range(60):
        size = 200 + (i * 677) % 1601
        data = bytes((i * 41 + k * 7) % 256 for k in range(size))
        path = os.path.join(source, "Notes A" if i % 2 else "Notes B", f"note {i:02}.txt")
        with open(path, "wb") as out:
            out.write(data)
    memos = []
    for i in range(10):
        name = os.path.join(source, f"memo {i}")
        with open(name, "wb") as out:
            out.write(bytes((i + k) % 255 + 1 for k in range(100 + i * 150)))
        memos.append(name)
    simulator = Simulator(sim, work, store, 0)
    port = ["--port", simulator.link, "--quiet"]
    run([linux_cli, *port, "put", "Notes A", "Notes B", "/"], source)
    run([linux_cli, *port, "memos", "put", *memos], source)
    simulator.stop()
    return store


def measure(label, command, sim, work, store, baud, wineserver):
    transcript = os.path.join(work, "transcript")
    simulator = Simulator(sim, work, store, baud, transcript)
    server_before = server_cpu(wineserver) if wineserver else 0.0
    wall, cpu = run(command(simulator.link), work)
    server = (server_cpu(wineserver) - server_before) if wineserver else 0.0
    simulator.stop()
    floor = line_characters(transcript) * 10 / baud
    return wall, floor, cpu, server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("windows_build")
    parser.add_argument("linux_build")
    parser.add_argument("--baud", type=int, default=38400)
    parser.add_argument("--repeats", type=int, default=2)
    options = parser.parse_args()
    wine = shutil.which("wine") or shutil.which("wine64") or "/usr/lib/wine/wine64"
    exe = os.path.join(os.path.abspath(options.windows_build), "cli", "tavo-cli.exe")
    linux_cli = os.path.join(os.path.abspath(options.linux_build), "cli", "tavo-cli")
    sim = os.path.join(os.path.abspath(options.linux_build), "tools", "organizer-sim",
                       "tavo-organizer-sim")
    work = tempfile.mkdtemp()
    os.environ.setdefault("WINEPREFIX", os.path.join(work, "wineprefix"))
    os.environ["WINEDEBUG"] = "-all"
    subprocess.run([wine, "wineboot", "--init"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # A new prefix goes on setting itself up for a while after wineboot: wait
    # for that, or the first runs pay for it.
    subprocess.run([os.path.join(os.path.dirname(os.path.realpath(wine)), "wineserver"), "-w"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    server_path = os.path.join(os.path.dirname(os.path.realpath(wine)), "wineserver")
    # Kept running, its output unread: it would hold a pipe open.
    subprocess.run([server_path, "-p60"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wineserver = subprocess.run(["pgrep", "-n", "wineserver"], capture_output=True,
                                text=True).stdout.strip()
    try:
        store = make_set(sim, linux_cli, work)
        systems = {
            "linux": (lambda link, *a: [linux_cli, "--port", link, "--quiet", *a], None),
            "windows": (lambda link, *a: [wine, exe, "--port", "COM23", "--quiet", *a],
                        wineserver),
        }
        for step in ("backup", "restore"):
            for system, (cli, server) in systems.items():
                best = None
                for repeat in range(options.repeats):
                    backup = os.path.join(work, f"{system}-{repeat}")
                    if step == "backup":
                        shutil.rmtree(backup, ignore_errors=True)
                        target, command = store, lambda link: cli(link, "backup", backup)
                    else:
                        target = os.path.join(work, "empty")
                        shutil.rmtree(target, ignore_errors=True)
                        os.makedirs(target)
                        command = lambda link: cli(link, "restore", backup)
                    figures = measure(system, command, sim, work, target, options.baud, server)
                    if best is None or figures[0] / figures[1] > best[0] / best[1]:
                        best = figures  # the worst repeat
                wall, floor, cpu, server_time = best
                extra = f", wine server {server_time / wall:.3f}" if server else ""
                print(f"mirror {step:7} {system:7} {options.baud} baud: wall {wall:.2f} s, "
                      f"floor {floor:.2f} s, cpu {cpu / wall:.3f}{extra}  "
                      f"[target 1.05, {'met' if wall / floor <= 1.05 else 'MISSED'}] "
                      f"{wall / floor:.3f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
