#!/usr/bin/env python3
"""Times the shipped program against the echo floor on fresh drives over /mnt,
in interleaved rounds (bench/README.md tells how), in the private mount
namespace bench/run.sh starts it in."""
import argparse
import fcntl
import os
import random
import statistics
import subprocess
import sys
import time

DRIVE = "/mnt/c"
TESTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests")
# Per drive: widths (making, full); mkfs words and size in MiB (making,
# full); the room a filler file leaves on the full one, in KiB (None: none).
DRIVES = {
    "tmpfs": ((10, 10), None, None),
    "ext4": ((6, 10), ((["-b", "1024", "-N", "70000"], 1024), (["-N", "64"], 64)), None),
    "xfs": ((6, 10), (([], 1024), ([], 300)), 512),
    "btrfs": ((6, 10), (([], 1024), (["--mixed"], 128)), 4096),
    "ntfs": ((5, 5), (([], 1024), ([], 16)), 256),
    "wine": ((5, 5), None, None),
}
# Drives whose ratios have targets; the others are reported only.
TARGET_DRIVES = ("tmpfs", "ext4", "xfs", "btrfs")
TARGET = 0.98


def folders(width):
    return sum(width ** level for level in range(7))


def run(command, **kwargs):
    """Runs command, stopping the benchmark with what it said if it fails."""
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)
    if done.returncode != 0:
        sys.exit("%s ended with status %d: %s" % (" ".join(command), done.returncode,
                                                  done.stdout.decode(errors="replace").strip()))


def mount(args, kind, full, width):
    """Mounts a fresh drive of the kind as /mnt/c, caches dropped and free memory
    compacted first, so that no trial runs on what the last one left behind."""
    for setting in ("drop_caches", "compact_memory"):
        with open("/proc/sys/vm/" + setting, "w") as f:
            f.write("3" if setting == "drop_caches" else "1")
    if DRIVES[kind][1] is None:
        inodes = 30 if full else folders(width) + 1
        run(["mount", "-t", "tmpfs", "-o", "size=8g,nr_inodes=%d" % inodes, "bench", DRIVE])
    else:
        mkfs, megabytes = DRIVES[kind][1][full]
        leave = [str(DRIVES[kind][2])] if full and DRIVES[kind][2] is not None else []
        run(["bash", os.path.join(TESTS, "drive.sh"), "make", args.image, kind, str(megabytes)] + mkfs)
        run(["bash", os.path.join(TESTS, "drive.sh"), "mount", args.image, kind, DRIVE] + leave)
    # What mkfs and the filler left to write goes now, not during the trial.
    os.sync()
    info = os.statvfs(DRIVE)
    if full and info.f_favail > 64 and info.f_bavail * info.f_frsize > 2 * (DRIVES[kind][2] or 0) * 1024 + (1 << 20):
        sys.exit("the %s drive is not full: %d inodes and %d KiB free" %
                 (kind, info.f_favail, info.f_bavail * info.f_frsize // 1024))


def unmount(args, kind):
    # The Wine server may still hold the handles of a program just ended.
    for _ in range(100):
        if subprocess.run(["umount", DRIVE], stderr=subprocess.DEVNULL).returncode == 0:
            break
        time.sleep(0.05)
    else:
        run(["umount", DRIVE])
    # ntfs-3g writes the volume out after the unmount; wait for it.
    while kind == "ntfs" and subprocess.run(["pgrep", "-f", "^ntfs-3g .*" + args.image],
                                            stdout=subprocess.DEVNULL).returncode == 0:
        time.sleep(0.05)


def used_inodes():
    info = os.statvfs(DRIVE)
    return info.f_files - info.f_ffree


def tree():
    """Every folder on the drive, relative to it, sorted."""
    return sorted(os.path.relpath(os.path.join(top, name), DRIVE)
                  for top, dirs, _ in os.walk(DRIVE) for name in dirs)


def command(args, wine, name, width):
    """The command of the program or its echo floor, natively or under Wine."""
    if wine:
        program = "bench_verrant_w%d.exe" % width if name == "verrant" else "bench_echo_floor.exe"
        return under_wine(args, args.wine, os.path.join(args.windows_build, "bench", program)) + \
            ([] if name == "verrant" else [str(width), "Q"])
    if name == "verrant":
        return [program_path(args, width)]
    return [os.path.join(args.build, "bench", "bench_echo_floor"), str(width), "C", DRIVE]


def program_path(args, width):
    return os.path.join(args.build, "bench", "bench_verrant_w%d" % width)


def answers(args, wine):
    return open(os.path.join(args.work, "answers-Q" if wine else "answers-C"), "rb")


def timed_run(args, wine, name, width):
    """Runs one, its output going to the file "output"; returns its seconds."""
    with answers(args, wine) as stdin, open(os.path.join(args.work, "output"), "wb") as stdout:
        start = time.perf_counter()
        status = subprocess.run(command(args, wine, name, width), stdin=stdin, stdout=stdout,
                                preexec_fn=pin).returncode
        seconds = time.perf_counter() - start
    if status != 0:
        sys.exit("%s failed with status %d" % (name, status))
    return seconds


def pin():
    """Keeps a timed run on the last processor, wherever the scheduler would move it."""
    os.sched_setaffinity(0, {max(os.sched_getaffinity(0))})


def walk_transcript(output, wine):
    """The program's transcript from its root folder's line to the end of the walk."""
    start = output.find(b"%s:\\1_100billion\\\r\n\r\n" % (b"Q" if wine else b"C"))
    end = output.find(b"       Congratulations", start)
    return output[start:end] if start >= 0 and end >= 0 else None


def check_floor(args, wine, kind):
    """Stops unless the echo floor writes the program's transcript of the walk
    and makes its tree, at width 2, on a drive with room and on a full one."""
    for full in (False, True):
        seen = {}
        for name in ("verrant", "echo-floor"):
            mount(args, kind, full, 2)
            timed_run(args, wine, name, 2)
            seen[name] = (open(os.path.join(args.work, "output"), "rb").read(), tree())
            unmount(args, kind)
        program, floor = seen["verrant"], seen["echo-floor"]
        if walk_transcript(program[0], wine) != floor[0] or program[1] != floor[1]:
            sys.exit("on %s (%s) the echo floor's transcript or tree differs from the program's" %
                     (kind, "full" if full else "making"))


def trials(args, wine, kind, width, full, rounds, shuffle):
    """Seconds of each contender's runs in rounds of four, A B B A in a
    shuffled order, so that the machine's speed drifting within a round
    weighs on both alike: a round's two runs of each stand side by side."""
    seconds = {"verrant": [], "echo-floor": []}
    for number in range(-1, rounds):
        order = shuffle.sample(sorted(seconds), 2)
        for name in order if number < 0 else order + order[::-1]:
            mount(args, kind, full, width)
            before = used_inodes()
            try:
                seconds[name].append(timed_run(args, wine, name, width))
                # Counted by the file system where it counts inodes (ntfs-3g's are estimates).
                made = len(tree()) if kind in ("btrfs", "ntfs") else used_inodes() - before
            finally:
                unmount(args, kind)
            if not full and made != folders(width):
                sys.exit("%s made %d folders on %s, not %d" % (name, made, kind, folders(width)))
    # The first run of each warmed the machine up for the row and is not counted.
    return seconds["verrant"][1:], seconds["echo-floor"][1:]


def ratios(program, floor):
    """(median of the rounds' ratios, their range), (fastest against fastest,
    its range leaving out one round), from rounds of two runs each."""
    rounds = range(len(program) // 2)
    pairs = [sum(floor[2 * i:2 * i + 2]) / sum(program[2 * i:2 * i + 2]) for i in rounds]
    left_out = [min(floor[:2 * i] + floor[2 * i + 2:]) / min(program[:2 * i] + program[2 * i + 2:])
                for i in rounds] if len(pairs) > 1 else [min(floor) / min(program)]
    return ((statistics.median(pairs), min(pairs), max(pairs)),
            (min(floor) / min(program), min(left_out), max(left_out)))


def count_calls(args, kind, width, full):
    """The program's system calls other than writes, per folder, in one run."""
    mount(args, kind, full, width)
    trace = os.path.join(args.work, "trace")
    try:
        with answers(args, False) as stdin:
            subprocess.run(["strace", "-f", "-c", "-o", trace, program_path(args, width)],
                           stdin=stdin, stdout=subprocess.DEVNULL, check=True)
    finally:
        unmount(args, kind)
    calls = [line.split() for line in open(trace)]
    return sum(int(f[3]) for f in calls if len(f) >= 5 and f[3].isdigit() and f[-1] not in ("total", "write")) / folders(width)


def peak_private_memory(args, width):
    """The program's peak private memory in KiB, read from /proc while it
    runs, its output going through a narrow pipe read slowly, so that it is
    still there, blocked in a write, at its high-water mark."""
    mount(args, "tmpfs", False, width)
    try:
        read_end, write_end = os.pipe()
        fcntl.fcntl(write_end, 1031, 4096)  # F_SETPIPE_SZ
        with answers(args, False) as stdin:
            child = subprocess.Popen([program_path(args, width)], stdin=stdin, stdout=write_end)
        os.close(write_end)
        private = 0
        while os.read(read_end, 65536):
            try:
                if program_path(args, width) in open("/proc/%d/cmdline" % child.pid).read():
                    rollup = open("/proc/%d/smaps_rollup" % child.pid).read().split()
                    private = max(private, sum(int(rollup[i + 1]) for i, word in enumerate(rollup)
                                               if word in ("Private_Clean:", "Private_Dirty:")))
            except (OSError, IndexError, ValueError):
                pass
        child.wait()
        os.close(read_end)
        return private
    finally:
        unmount(args, "tmpfs")


def under_wine(args, *words):
    """The command that runs words under the benchmark's Wine prefix."""
    return ["bash", os.path.join(TESTS, "wine.sh"), args.prefix] + list(words)


def prepare_wine(args):
    """The benchmark's Wine prefix, drive Q leading to /mnt/c, and a Wine
    server kept running for every trial."""
    run(under_wine(args, args.wine, "--version"))
    os.symlink(DRIVE, os.path.join(args.prefix, "dosdevices", "q:"))
    subprocess.Popen(under_wine(args, "wineserver", "-p")).wait()


def stop_wine(args):
    for how in ("-k", "-w"):
        subprocess.run(under_wine(args, "wineserver", how), stderr=subprocess.DEVNULL)


def measure(args, kind, shuffle):
    """Both scenarios on one kind of drive; prints and returns their rows."""
    wine = kind == "wine"
    if wine:
        prepare_wine(args)
    check_floor(args, wine, "tmpfs" if wine else kind)
    rows = []
    for full in (False, True):
        width = args.width or DRIVES[kind][0][full]
        rounds = args.rounds if kind == "tmpfs" else args.image_rounds
        program, floor = trials(args, wine, kind, width, full, rounds, shuffle)
        calls = None if wine else count_calls(args, kind, width, full)
        rows.append((kind, "full" if full else "making", width, folders(width) / statistics.median(program),
                     ratios(program, floor), calls))
        print("%-6s %-7s %5d %11.0f   %.3f (%.3f-%.3f)   %.3f (%.3f-%.3f)   %s" % (
            rows[-1][:4] + rows[-1][4][0] + rows[-1][4][1] + ("-" if calls is None else "%.5f" % calls,)), flush=True)
    if wine:
        stop_wine(args)
    return rows


def judge(rows, private):
    """Prints whether each target was met."""
    checks = [("%s, %s: at least %.2f of the echo floor, median and fastest" % (row[0], row[1], TARGET),
               min(row[4][0][0], row[4][1][0]) >= TARGET) for row in rows if row[0] in TARGET_DRIVES]
    checks += [("%s, %s: at most 1.02 system calls a folder, writes aside" % row[:2], row[5] <= 1.02)
               for row in rows if row[5] is not None]
    checks += [("private memory at most 256 KiB", max(private.values()) <= 256),
               ("private memory flat: within 64 KiB at both widths",
                max(private.values()) - min(private.values()) <= 64)]
    print()
    for text, met in checks:
        print("%-70s %s" % (text, "met" if met else "NOT met"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="build folder of the Linux programs")
    parser.add_argument("--windows-build", help="build folder of the Windows programs")
    parser.add_argument("--wine", default="wine64", help="Wine's loader for those programs, as tests/wine.sh names it")
    parser.add_argument("--width", type=int, help="one width for every run (default: each drive's own)")
    parser.add_argument("--rounds", type=int, default=9, help="rounds on tmpfs")
    parser.add_argument("--image-rounds", type=int, default=9, help="rounds on the other drives")
    parser.add_argument("--drives", default="tmpfs,ext4,xfs,btrfs,ntfs,wine")
    args = parser.parse_args()
    if os.readlink("/proc/self/ns/mnt") == os.readlink("/proc/%d/ns/mnt" % os.getppid()):
        sys.exit("run.py: refused: not in a mount namespace of its own (bench/run.sh gives it one); "
                 "nothing was mounted")
    args.build = os.path.abspath(args.build)
    args.windows_build = args.windows_build and os.path.abspath(args.windows_build)
    if args.width and not os.path.exists(program_path(args, args.width)):
        sys.exit("run.py: the benchmark builds no program of width %d: %s" % (args.width, " ".join(
            sorted(name for name in os.listdir(os.path.join(args.build, "bench")) if "_w" in name))))
    # The drives' folder, images, outputs and Wine prefix live in memory, so
    # that no trial waits on the machine's own disk writing out what an
    # earlier one left, and vanish with the namespace.
    run(["mount", "-t", "tmpfs", "-o", "size=4g", "bench", "/mnt"])
    args.work = "/mnt/work"
    args.image, args.prefix = os.path.join(args.work, "drive.img"), os.path.join(args.work, "wineprefix")
    os.makedirs(DRIVE)
    os.makedirs(args.work)
    try:
        for letter in "CQ":
            with open(os.path.join(args.work, "answers-" + letter), "w") as f:
                f.write("y\n%s\n" % letter.lower())
        print("%d rounds on tmpfs, %d on the others; ratios are the echo floor's seconds over the "
              "program's.\n%-6s %-7s %5s %11s   %-22s %-22s %s" %
              (args.rounds, args.image_rounds, "drive", "phase", "width", "folders/s",
               "median (range)", "fastest (range)", "calls/folder"))
        shuffle = random.Random(1)
        rows = [row for kind in args.drives.split(",") for row in measure(args, kind, shuffle)]
        private = {width: peak_private_memory(args, width) for width in (2, args.width or 10)}
        print("\nPeak private memory: %s" % ", ".join("%d KiB at width %d" % (kib, width)
                                                    for width, kib in sorted(private.items())))
        if args.width:
            print("\nTargets are judged only at each drive's own widths.")
        else:
            judge(rows, private)
    finally:
        # Nothing the namespace started outlives it: a Wine server, a FUSE driver.
        if os.path.isdir(args.prefix):
            stop_wine(args)
        subprocess.run(["umount", "-R", "/mnt"], stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
