#!/usr/bin/env python3
"""Measures how fast the program makes its folders, against floors of its own.

Run inside a private mount namespace (run.sh does that): every trial gets a
fresh tmpfs as drive C, so nothing outside sees the folders and unmounting
clears them at once. The contenders run interleaved, a few times each:

  verrant      the program, answering y and c, its output going to a file
  mkdir-full   one mkdir of the full path per folder, nothing printed
  mkdirat      mkdirat relative to its open parent per folder, each parent
               opened relative to its own, nothing printed
  xargs-mkdir  the same paths, generated up front, fed to xargs -0 mkdir
  python-loop  a Python loop of os.mkdir over the same paths
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
PYTHON_LOOP = "import os,sys\nfor p in open(sys.argv[1],'rb').read().split(b'\\0'):\n    p and os.mkdir(p)\n"


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


def mount_tmpfs(path):
    os.makedirs(path, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=8g,nr_inodes=4m", "bench", path], check=True)


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


def run_once(name, args, work, drive):
    """One trial of one contender on a fresh drive; returns its seconds."""
    mount_tmpfs(drive)
    try:
        if name == "verrant":
            result = timed([args.program], work, args.answers, args.output)
        elif name == "mkdir-full":
            result = timed([args.floor, "full", str(args.width), drive], work)
        elif name == "mkdirat":
            result = timed([args.floor, "at", str(args.width), drive], work)
        elif name == "xargs-mkdir":
            result = timed(["sh", "-c", "exec xargs -0 mkdir < " + args.paths_file], work)
        else:
            result = timed([sys.executable, "-c", PYTHON_LOOP, args.paths_file], work)
        made = used_inodes(drive)
        if made != args.folders:
            sys.exit("%s made %d folders, not %d" % (name, made, args.folders))
    finally:
        subprocess.run(["umount", drive], check=True)
    return result


def count_writes(program, work, drive, answers):
    """The write calls the program makes with its output going to a file."""
    if not shutil.which("strace"):
        return None
    mount_tmpfs(drive)
    try:
        trace = os.path.join(work, "trace.txt")
        with open(answers, "rb") as stdin, open(os.path.join(work, "traced.txt"), "wb") as stdout:
            subprocess.run(["strace", "-f", "-c", "-e", "trace=write", "-o", trace, program],
                           cwd=work, stdin=stdin, stdout=stdout, check=True)
        for line in open(trace):
            fields = line.split()
            if fields and fields[-1] == "write":
                return int(fields[3])
        return 0
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

    names = ["verrant", "mkdir-full", "mkdirat", "xargs-mkdir", "python-loop"]
    seconds = {name: [] for name in names}
    # Every round runs each contender once, in an order of its own: a trial
    # can be slowed by what the one before it left for the kernel to clean
    # up, so no contender may always follow the same other one.
    shuffle = random.Random(args.shuffle)
    for repeat in range(args.repeats):
        for name in shuffle.sample(names, len(names)):
            seconds[name].append(run_once(name, args, work, drive))
    output_bytes = os.path.getsize(args.output)
    # Each width is measured five times and the medians kept, so one run
    # that the kernel treated differently cannot decide the figure.
    peaks = {2: [], args.width: []}
    for _ in range(5):
        for width, program in ((2, small_program), (args.width, args.program)):
            peaks[width].append(peak_memory(program, work, drive, args.answers))
    rss = {width: statistics.median(p[0] for p in values) for width, values in peaks.items()}
    private = {width: statistics.median(p[1] for p in values) for width, values in peaks.items()}
    writes = count_writes(args.program, work, drive, args.answers)

    print("Folders per run: %d (width %d), %d runs each, interleaved, on tmpfs" %
          (args.folders, args.width, args.repeats))
    print("%-12s %14s %24s %16s %16s" %
          ("", "folders/s", "spread (min-max)", "verrant / this", "fastest runs"))
    rate = {name: [args.folders / s for s in seconds[name]] for name in names}
    median = {name: statistics.median(rate[name]) for name in names}
    for name in names:
        print("%-12s %14.0f %11.0f-%-12.0f %16.3f %16.3f" %
              (name, median[name], min(rate[name]), max(rate[name]), median["verrant"] / median[name],
               max(rate["verrant"]) / max(rate[name])))
    print("The ratios compare median rates; the last column compares each one's fastest run.")
    print("Output: %d bytes; write calls: %s (bytes / %d-byte block = %.1f)" %
          (output_bytes, "n/a" if writes is None else writes, OUTPUT_BLOCK, output_bytes / OUTPUT_BLOCK))
    for width in sorted(peaks):
        print("Peak resident memory, width %2d: median %d KiB (%d-%d), private %d KiB" %
              (width, rss[width], min(p[0] for p in peaks[width]), max(p[0] for p in peaks[width]),
               private[width]))
    checks = [
        ("at least as fast as mkdir-full", median["verrant"] / median["mkdir-full"] >= 1.0),
        ("at least 0.9 of mkdirat", median["verrant"] / median["mkdirat"] >= 0.9),
        ("peak memory at most 1.5 MiB", max(rss.values()) <= 1536),
        ("peak memory the same for widths 2 and %d (64 KiB)" % args.width, abs(rss[2] - rss[args.width]) <= 64),
        ("private memory the same for widths 2 and %d (64 KiB)" % args.width,
         abs(private[2] - private[args.width]) <= 64),
    ]
    if writes is not None:
        checks.append(("output in blocks", writes <= output_bytes // OUTPUT_BLOCK + 2))
    if args.width < 10:
        print("Targets are judged at width 10; at this size start-up time dominates.")
        checks = []
    for text, met in checks:
        print("%-55s %s" % (text, "met" if met else "NOT met"))
    subprocess.run(["umount", work], check=True)
    os.rmdir(work)


if __name__ == "__main__":
    main()
