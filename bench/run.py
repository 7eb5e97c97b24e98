#!/usr/bin/env python3
"""Measures how fast the program makes its folders, and how fast it gets
through them once the drive is full, against floors of its own.

Run inside a private mount namespace (run.sh does that): every trial gets a
fresh tmpfs as drive C, so nothing outside sees the folders and unmounting
clears them at once. Two scenarios:

  making       a drive with room for every folder
  full drive   a drive with room for a handful of folders, so that nearly
               every folder fails, as in all but the start of a complete run

In each the contenders run interleaved, a few times each:

  verrant      the program, answering y and c, its output going to a file
  mkdir-full   one mkdir of the full path per folder, nothing printed
  mkdirat      mkdirat relative to its open parent per folder, each parent
               opened relative to its own, nothing printed: a reference for
               relative calls, which do not keep a path's meaning
  xargs-mkdir  the same paths, generated up front, fed to xargs -0 mkdir
  python-loop  a Python loop of os.mkdir over the same paths

Failures are ignored by all of them, their error text thrown away.
"""
import argparse
import fcntl
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

F_SETPIPE_SZ = 1031
OUTPUT_BLOCK = 16384  # the program's output block to a file or pipe
SUFFIXES = ["_billion", "_10000_million", "_100_million", "_million", "_10_thousand", "_hundred"]
PYTHON_LOOP = ("import os,sys\nfor p in open(sys.argv[1],'rb').read().split(b'\\0'):\n"
               "    try:\n        p and os.mkdir(p)\n    except OSError:\n        pass\n")
XARGS = "xargs -0 mkdir < %s 2>/dev/null; exit 0"
NAMES = ["verrant", "mkdir-full", "mkdirat", "xargs-mkdir", "python-loop"]
# Inodes of the full drive: its own root and 29 folders.
FULL_DRIVE_INODES = 30
# Folders of a complete run at one hundred a level, the root included.
COMPLETE_RUN = sum(100 ** level for level in range(7))


def tree_paths(width, root):
    """Every folder the program makes under root, in the order it makes them."""
    out = [root + "/1_100billion"]

    def walk(level, parent):
        for index in range(1, width + 1):
            path = "%s/%03d%s" % (parent, index, SUFFIXES[level - 1])
            out.append(path)
            if level < 6:
                walk(level + 1, path)

    walk(1, out[0])
    return out


def mount_tmpfs(path, inodes=4 << 20):
    os.makedirs(path, exist_ok=True)
    options = "size=8g,nr_inodes=%d" % inodes
    subprocess.run(["mount", "-t", "tmpfs", "-o", options, "bench", path], check=True)


def used_inodes(path):
    info = os.statvfs(path)
    return info.f_files - info.f_ffree - 1  # less the file system's own root


def timed(command, cwd, stdin_path=None, stdout_path=None):
    """Runs command; returns its seconds."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    stdout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    start = time.perf_counter()
    status = subprocess.run(command, cwd=cwd, stdin=stdin, stdout=stdout).returncode
    seconds = time.perf_counter() - start
    if status != 0:
        sys.exit("%s failed with status %d" % (command[0], status))
    return seconds


def run_once(name, args, work, drive, inodes):
    """One trial of one contender on a fresh drive; returns its seconds."""
    mount_tmpfs(drive, inodes)
    try:
        if name == "verrant":
            result = timed([args.program], work, args.answers, args.output)
        elif name == "mkdir-full":
            result = timed([args.floor, "full", str(args.width), drive], work)
        elif name == "mkdirat":
            result = timed([args.floor, "at", str(args.width), drive], work)
        elif name == "xargs-mkdir":
            result = timed(["sh", "-c", XARGS % args.paths_file], work)
        else:
            result = timed([sys.executable, "-c", PYTHON_LOOP, args.paths_file], work)
        made = used_inodes(drive)
        expected = min(args.folders, inodes - 1)
        if made != expected:
            sys.exit("%s made %d folders, not %d" % (name, made, expected))
    finally:
        subprocess.run(["umount", drive], check=True)
    return result


def count_calls(args, work, drive, inodes):
    """The program's system calls in one run with its output going to a file:
    (write calls, all other calls), or None without strace."""
    if not shutil.which("strace"):
        return None
    mount_tmpfs(drive, inodes)
    try:
        trace = os.path.join(work, "trace.txt")
        with open(args.answers, "rb") as stdin, open(os.path.join(work, "traced.txt"), "wb") as stdout:
            subprocess.run(["strace", "-f", "-c", "-o", trace, args.program],
                           cwd=work, stdin=stdin, stdout=stdout, check=True)
        calls = {}
        for line in open(trace):
            fields = line.split()
            if len(fields) >= 5 and fields[3].isdigit() and fields[-1] != "total":
                calls[fields[-1]] = int(fields[3])
        writes = calls.pop("write", 0)
        return writes, sum(calls.values())
    finally:
        subprocess.run(["umount", drive], check=True)


def peak_memory(program, work, drive, answers):
    """The program's peak resident memory in KiB, read from /proc while it runs:
    (all of it, its private part). The program is linked statically, so the
    two differ only by what the kernel shares of its own file; a dynamically
    linked one would count shared C library pages as well, as many as the
    kernel's fault-around happened to bring in.

    Its output goes through a narrow pipe that is read slowly, so the program is
    still there, blocked in its last write, when its high-water mark is read.
    (The rusage figure would count the launcher's memory from before exec.)
    """
    mount_tmpfs(drive)
    try:
        read_end, write_end = os.pipe()
        fcntl.fcntl(write_end, F_SETPIPE_SZ, 4096)
        with open(answers, "rb") as stdin:
            child = subprocess.Popen([program], cwd=work, stdin=stdin, stdout=write_end)
        os.close(write_end)
        peak = private = 0
        while True:
            try:
                for line in open("/proc/%d/status" % child.pid):
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]))
                rollup = open("/proc/%d/smaps_rollup" % child.pid).read().split()
                if program in open("/proc/%d/cmdline" % child.pid).read():
                    private = max(private, sum(int(rollup[i + 1]) for i, word in enumerate(rollup)
                                               if word in ("Private_Clean:", "Private_Dirty:")))
            except (FileNotFoundError, ProcessLookupError, IndexError, ValueError):
                pass
            if not os.read(read_end, 65536):
                break
        child.wait()
        os.close(read_end)
        return peak, private
    finally:
        subprocess.run(["umount", drive], check=True)


def run_scenario(args, work, drive, inodes, shuffle):
    """Runs every contender args.repeats times, interleaved; returns their rates.

    Every round runs each contender once, in an order of its own: a trial can
    be slowed by what the one before it left for the kernel to clean up, so
    no contender may always follow the same other one."""
    seconds = {name: [] for name in NAMES}
    for repeat in range(args.repeats):
        for name in shuffle.sample(NAMES, len(NAMES)):
            seconds[name].append(run_once(name, args, work, drive, inodes))
    return {name: [args.folders / s for s in seconds[name]] for name in NAMES}


def report_scenario(title, rate, calls, output_bytes, folders):
    """Prints one scenario's rates, calls and output; returns the median rates
    and the program's system calls per folder besides its writes (or None)."""
    median = {name: statistics.median(rate[name]) for name in NAMES}
    print("\n%s" % title)
    print("%-12s %14s %24s %16s %16s" %
          ("", "folders/s", "spread (min-max)", "verrant / this", "fastest runs"))
    for name in NAMES:
        print("%-12s %14.0f %11.0f-%-12.0f %16.3f %16.3f" %
              (name, median[name], min(rate[name]), max(rate[name]), median["verrant"] / median[name],
               max(rate["verrant"]) / max(rate[name])))
    if calls is None:
        print("Output: %d bytes; no strace here, so no count of calls" % output_bytes)
        return median, None
    writes, others = calls
    print("Output: %d bytes in %d write calls (bytes / %d-byte block = %.1f)" %
          (output_bytes, writes, OUTPUT_BLOCK, output_bytes / OUTPUT_BLOCK))
    print("System calls besides the writes: %d, %.5f per folder" % (others, others / folders))
    return median, others / folders


def print_complete_run(making_rate, failing_rate):
    """Prints the time per million folders in each phase, and what it means
    for a complete run on a drive that holds a hundred million folders."""
    making_seconds = 1e6 / making_rate
    failing_seconds = 1e6 / failing_rate
    held = 100 * 10 ** 6
    total = held / 1e6 * making_seconds + (COMPLETE_RUN - held) / 1e6 * failing_seconds
    print("Per million folders: %.1f s making them, %.1f s failing them" % (making_seconds, failing_seconds))
    print("A complete run (%d folders) on a drive that holds %d million: %.1f hours making, "
          "about %.0f days in all" % (COMPLETE_RUN, held // 10 ** 6, held / 1e6 * making_seconds / 3600,
                                      total / 86400))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="build folder of the bench preset")
    parser.add_argument("--width", type=int, default=10)
    # Identical runs here differ by up to a fifth; eleven of each keep the
    # medians, and so the ratios, within a few hundredths.
    parser.add_argument("--repeats", type=int, default=11)
    parser.add_argument("--shuffle", type=int, default=1, help="which shuffle of the runs to use")
    args = parser.parse_args()
    bench = os.path.join(os.path.abspath(args.build), "bench")
    args.floor = os.path.join(bench, "bench_floor")
    args.program = os.path.join(bench, "bench_verrant_w%d" % args.width)
    small_program = os.path.join(bench, "bench_verrant_w2")

    work = tempfile.mkdtemp(prefix="verrant-bench-")
    mount_tmpfs(work)
    drive = os.path.join(work, "drives", "c")
    args.answers = os.path.join(work, "answers")
    args.output = os.path.join(work, "output.txt")
    args.paths_file = os.path.join(work, "paths")
    with open(args.answers, "w") as f:
        f.write("y\nc\n")
    paths = tree_paths(args.width, drive)
    args.folders = len(paths)
    with open(args.paths_file, "wb") as f:
        f.write(b"\0".join(p.encode() for p in paths))
    room = args.folders + 1

    shuffle = random.Random(args.shuffle)
    making = run_scenario(args, work, drive, room, shuffle)
    making_bytes = os.path.getsize(args.output)
    full = run_scenario(args, work, drive, FULL_DRIVE_INODES, shuffle)
    full_bytes = os.path.getsize(args.output)
    # Each width is measured five times and the medians kept, so one run
    # that the kernel treated differently cannot decide the figure.
    peaks = {2: [], args.width: []}
    for _ in range(5):
        for width, program in ((2, small_program), (args.width, args.program)):
            peaks[width].append(peak_memory(program, work, drive, args.answers))
    rss = {width: statistics.median(p[0] for p in values) for width, values in peaks.items()}
    private = {width: statistics.median(p[1] for p in values) for width, values in peaks.items()}
    making_calls = count_calls(args, work, drive, room)
    full_calls = count_calls(args, work, drive, FULL_DRIVE_INODES)

    print("Folders per run: %d (width %d), %d runs each, interleaved, on tmpfs" %
          (args.folders, args.width, args.repeats))
    print("The ratios compare median rates; the last column compares each one's fastest run.")
    making_median, making_per_folder = report_scenario(
        "Making: room for every folder", making, making_calls, making_bytes, args.folders)
    full_median, full_per_folder = report_scenario(
        "Full drive: room for %d folders, all the others fail" % (FULL_DRIVE_INODES - 1),
        full, full_calls, full_bytes, args.folders)
    print()
    for width in sorted(peaks):
        print("Peak resident memory, width %2d: median %d KiB (%d-%d), private %d KiB" %
              (width, rss[width], min(p[0] for p in peaks[width]), max(p[0] for p in peaks[width]),
               private[width]))

    checks = [
        ("making: at least 0.95 of mkdir-full", making_median["verrant"] / making_median["mkdir-full"] >= 0.95),
        ("full drive: at least 0.95 of mkdir-full", full_median["verrant"] / full_median["mkdir-full"] >= 0.95),
        ("peak memory at most 1.5 MiB", max(rss.values()) <= 1536),
        ("peak memory the same for widths 2 and %d (64 KiB)" % args.width, abs(rss[2] - rss[args.width]) <= 64),
        ("private memory the same for widths 2 and %d (64 KiB)" % args.width,
         abs(private[2] - private[args.width]) <= 64),
    ]
    if making_calls is not None:
        checks += [
            ("making: output in blocks", making_calls[0] <= making_bytes // OUTPUT_BLOCK + 2),
            ("making: at most 1.02 system calls a folder, writes aside", making_per_folder <= 1.02),
            ("full drive: at most 1.02 system calls a folder, writes aside", full_per_folder <= 1.02),
        ]
    if args.width < 10:
        print("Targets and the time of a complete run are judged at width 10; at this size "
              "start-up time dominates.")
    else:
        print_complete_run(making_median["verrant"], full_median["verrant"])
        for text, met in checks:
            print("%-62s %s" % (text, "met" if met else "NOT met"))
    subprocess.run(["umount", work], check=True)
    os.rmdir(work)


if __name__ == "__main__":
    main()
