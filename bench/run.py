#!/usr/bin/env python3
"""Measures the shipped program against the echo floor, the least work its
job allows: one directory call of the full path a folder and the program's
transcript of the walk written byte for byte in its output blocks. Before
timing, it checks at width 2 that each echo floor writes the program's
transcript and makes the program's tree.

Run inside a private mount namespace (run.sh makes one); it refuses to run
in one it shares with the system's first process or whose mounts reach
others. /mnt is a tmpfs of the namespace's own, and every trial gets a fresh
drive mounted as /mnt/c, the drive root the programs are built with.

On each drive, two scenarios: making (room for every folder) and full (room
for a few only, so nearly every folder fails, as in all but the start of a
complete run). The program and its floor run in rounds, each round both in
a shuffled order; the ratio of a round is the floor's seconds over the
program's. Reported: the median of those ratios with their range, and the
fastest program run against the fastest floor run with the range that
leaving out any one round gives.
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

DRIVE = "/mnt/c"
# Folders of a complete run, and how many of them a drive is taken to hold.
COMPLETE_RUN = sum(100 ** level for level in range(7))
HELD = 100 * 10 ** 6
# Per drive: widths (making, full); mkfs words and size in MiB (making,
# full); the room a filler file leaves on the full one, in KiB (None: none).
DRIVES = {
    "tmpfs": ((10, 10), None, None),
    "ext4": ((6, 8), ((["mkfs.ext4", "-F", "-q", "-b", "1024", "-N", "70000"], 1024),
                      (["mkfs.ext4", "-F", "-q", "-N", "64"], 64)), None),
    "xfs": ((6, 8), ((["mkfs.xfs", "-f", "-q"], 1024), (["mkfs.xfs", "-f", "-q"], 300)), 512),
    "btrfs": ((6, 8), ((["mkfs.btrfs", "-f", "-q"], 1024),
                       (["mkfs.btrfs", "-f", "-q", "--mixed"], 128)), 4096),
    "ntfs": ((5, 5), ((["mkfs.ntfs", "-F", "-f", "-q"], 1024), (["mkfs.ntfs", "-F", "-f", "-q"], 16)), 256),
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


def mount(kind, full, width, work):
    """Mounts a fresh drive of the kind as /mnt/c."""
    if DRIVES[kind][1] is None:
        inodes = 30 if full else folders(width) + 1
        run(["mount", "-t", "tmpfs", "-o", "size=8g,nr_inodes=%d" % inodes, "bench", DRIVE])
    else:
        mkfs, megabytes = DRIVES[kind][1][full]
        image = os.path.join(work, "drive.img")
        run(["truncate", "-s", "0", image])
        run(["truncate", "-s", "%dM" % megabytes, image])
        run(mkfs + [image])
        run(["ntfs-3g", image, DRIVE] if kind == "ntfs" else ["mount", "-o", "loop", image, DRIVE])
        if full and DRIVES[kind][2] is not None:
            fill(DRIVES[kind][2])
    # What mkfs and the filler left to write goes now, not during the trial.
    os.sync()
    info = os.statvfs(DRIVE)
    if full and info.f_favail > 64 and info.f_bavail * info.f_frsize > 2 * (DRIVES[kind][2] or 0) * 1024 + (1 << 20):
        sys.exit("the %s drive is not full: %d inodes and %d KiB free" %
                 (kind, info.f_favail, info.f_bavail * info.f_frsize // 1024))


def fill(leave_kib):
    """Takes all the room on the drive but leave_kib with one file."""
    info = os.statvfs(DRIVE)
    size = info.f_bavail * info.f_frsize - leave_kib * 1024
    with open(os.path.join(DRIVE, "filler"), "wb") as f:
        try:
            os.posix_fallocate(f.fileno(), 0, size)
        except OSError:  # ntfs-3g allocates only by writing
            block = bytes(1 << 20)
            while size > 0:
                size -= f.write(block[:min(size, len(block))])


def unmount(kind, work):
    # The Wine server may still hold the handles of a program just ended.
    for _ in range(100):
        if subprocess.run(["umount", DRIVE], stderr=subprocess.DEVNULL).returncode == 0:
            break
        time.sleep(0.05)
    else:
        run(["umount", DRIVE])
    # ntfs-3g writes the volume out after the unmount; wait for it.
    image = os.path.join(work, "drive.img")
    while kind == "ntfs" and subprocess.run(["pgrep", "-f", "^ntfs-3g .*" + image],
                                            stdout=subprocess.DEVNULL).returncode == 0:
        time.sleep(0.05)


def used_inodes():
    info = os.statvfs(DRIVE)
    return info.f_files - info.f_ffree


def tree():
    """Every folder on the drive, relative to it, sorted."""
    return sorted(os.path.relpath(os.path.join(top, name), DRIVE)
                  for top, dirs, _ in os.walk(DRIVE) for name in dirs)


class Contenders:
    """The commands of the program and its echo floor, natively or under Wine."""

    def __init__(self, args, wine):
        self.wine, self.args = wine, args
        self.letter = "Q" if wine else "C"

    def command(self, name, width):
        if self.wine:
            program = os.path.join(self.args.windows_build, "bench",
                                   "bench_verrant_w%d.exe" % width if name == "verrant" else "bench_echo_floor.exe")
            return under_wine(self.args, self.args.wine, program) + ([] if name == "verrant" else [str(width), "Q"])
        if name == "verrant":
            return [os.path.join(self.args.build, "bench", "bench_verrant_w%d" % width)]
        return [os.path.join(self.args.build, "bench", "bench_echo_floor"), str(width), "C", DRIVE]

    def run(self, name, width, output):
        """Runs one, its output going to the file; returns its seconds."""
        with open(os.path.join(self.args.work, "answers-" + self.letter), "rb") as stdin, \
                open(output, "wb") as stdout:
            start = time.perf_counter()
            status = subprocess.run(self.command(name, width), stdin=stdin, stdout=stdout,
                                    preexec_fn=pin).returncode
            seconds = time.perf_counter() - start
        if status != 0:
            sys.exit("%s failed with status %d" % (name, status))
        return seconds


def pin():
    """Keeps a timed run on one processor, the last, so that no trial's time
    depends on where the scheduler moved it."""
    os.sched_setaffinity(0, {max(os.sched_getaffinity(0))})


def walk_transcript(output, letter):
    """The program's transcript from its root folder's line to the end of the walk."""
    start = output.find(b"%s:\\1_100billion\\\r\n\r\n" % letter.encode())
    end = output.find(b"       Congratulations", start)
    return output[start:end] if start >= 0 and end >= 0 else None


def check_floor(contenders, kind, work):
    """Stops unless the echo floor writes the program's transcript of the walk
    and makes its tree, at width 2, on a drive with room and on a full one."""
    for full in (False, True):
        seen = {}
        for name in ("verrant", "echo-floor"):
            mount(kind, full, 2, work)
            output = os.path.join(work, "output")
            contenders.run(name, 2, output)
            seen[name] = (open(output, "rb").read(), tree())
            unmount(kind, work)
        program, floor = seen["verrant"], seen["echo-floor"]
        if walk_transcript(program[0], contenders.letter) != floor[0] or program[1] != floor[1]:
            sys.exit("on %s (%s) the echo floor's transcript or tree differs from the program's" %
                     (kind, "full" if full else "making"))


def trials(contenders, kind, width, full, rounds, shuffle, work):
    """Seconds of each contender's runs, interleaved in shuffled rounds."""
    seconds = {"verrant": [], "echo-floor": []}
    for _ in range(rounds):
        for name in shuffle.sample(sorted(seconds), 2):
            mount(kind, full, width, work)
            before = used_inodes()
            try:
                seconds[name].append(contenders.run(name, width, os.path.join(work, "output")))
                # Counted by the file system where it counts inodes (ntfs-3g's are estimates).
                made = len(tree()) if kind in ("btrfs", "ntfs") else used_inodes() - before
            finally:
                unmount(kind, work)
            if not full and made != folders(width):
                sys.exit("%s made %d folders on %s, not %d" % (name, made, kind, folders(width)))
    return seconds["verrant"], seconds["echo-floor"]


def ratios(program, floor):
    """(median of the rounds' ratios, their range), (fastest against fastest,
    its range leaving out one round)."""
    pairs = [f / p for p, f in zip(program, floor)]
    left_out = [min(floor[:i] + floor[i + 1:]) / min(program[:i] + program[i + 1:])
                for i in range(len(program))] if len(program) > 1 else [min(floor) / min(program)]
    return ((statistics.median(pairs), min(pairs), max(pairs)),
            (min(floor) / min(program), min(left_out), max(left_out)))


def count_calls(args, kind, width, full):
    """The program's system calls other than writes, per folder, in one run."""
    mount(kind, full, width, args.work)
    trace = os.path.join(args.work, "trace")
    try:
        with open(os.path.join(args.work, "answers-C"), "rb") as stdin, open(os.devnull, "wb") as out:
            subprocess.run(["strace", "-f", "-c", "-o", trace,
                            os.path.join(args.build, "bench", "bench_verrant_w%d" % width)],
                           stdin=stdin, stdout=out, check=True)
    finally:
        unmount(kind, args.work)
    calls = [line.split() for line in open(trace)]
    return sum(int(f[3]) for f in calls if len(f) >= 5 and f[3].isdigit() and f[-1] not in ("total", "write")) / folders(width)


def peak_private_memory(args, width):
    """The program's peak private memory in KiB, read from /proc while it
    runs, its output going through a narrow pipe read slowly, so that it is
    still there, blocked in a write, at its high-water mark."""
    mount("tmpfs", False, width, args.work)
    try:
        read_end, write_end = os.pipe()
        fcntl.fcntl(write_end, 1031, 4096)  # F_SETPIPE_SZ
        program = os.path.join(args.build, "bench", "bench_verrant_w%d" % width)
        with open(os.path.join(args.work, "answers-C"), "rb") as stdin:
            child = subprocess.Popen([program], stdin=stdin, stdout=write_end)
        os.close(write_end)
        private = 0
        while os.read(read_end, 65536):
            try:
                if program in open("/proc/%d/cmdline" % child.pid).read():
                    rollup = open("/proc/%d/smaps_rollup" % child.pid).read().split()
                    private = max(private, sum(int(rollup[i + 1]) for i, word in enumerate(rollup)
                                               if word in ("Private_Clean:", "Private_Dirty:")))
            except (OSError, IndexError, ValueError):
                pass
        child.wait()
        os.close(read_end)
        return private
    finally:
        unmount("tmpfs", args.work)


def under_wine(args, *words):
    """The command that runs words under the benchmark's Wine prefix."""
    return ["bash", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "wine.sh"),
            os.path.join(args.work, "wineprefix")] + list(words)


def prepare_wine(args):
    """A Wine prefix of the benchmark's own, drive Q leading to /mnt/c, and a
    Wine server kept running for every trial."""
    run(under_wine(args, "wine64", "wineboot", "--init"))
    run(under_wine(args, "wineserver", "-w"))
    device = os.path.join(args.work, "wineprefix", "dosdevices", "q:")
    if os.path.lexists(device):
        os.unlink(device)
    os.symlink(DRIVE, device)
    subprocess.Popen(under_wine(args, "wineserver", "-p")).wait()


def stop_wine(args):
    subprocess.run(under_wine(args, "wineserver", "-k"), stderr=subprocess.DEVNULL)
    subprocess.run(under_wine(args, "wineserver", "-w"), stderr=subprocess.DEVNULL)


def refuse_shared_namespace():
    """Stops unless this process has a mount namespace of its own, apart from
    its starter's, whose mounts reach no other: mounting over /mnt anywhere
    else would hide the machine's own."""
    try:
        own = os.readlink("/proc/%d/ns/mnt" % os.getppid()) != os.readlink("/proc/self/ns/mnt")
    except OSError:  # no parent in sight: a namespace's first process
        own = False
    mounts = [line.split() for line in open("/proc/self/mountinfo")]
    holding = max((m for m in mounts if m[4] == "/" or m[4] == "/mnt" or "/mnt".startswith(m[4] + "/")),
                  key=lambda m: len(m[4]))
    if not own or any(field.startswith("shared:") for field in holding[6:holding.index("-")]):
        sys.exit("run.py: refused: it mounts drives over /mnt, so it runs only in a private mount "
                 "namespace of its own (bash bench/run.sh makes one); nothing was mounted or written")


def measure(args, kind, shuffle):
    """Both scenarios on one kind of drive; prints and returns their rows."""
    if kind == "wine":
        prepare_wine(args)
    contenders = Contenders(args, kind == "wine")
    check_floor(contenders, "tmpfs" if kind == "wine" else kind, args.work)
    rows = []
    for full in (False, True):
        width = args.width or DRIVES[kind][0][full]
        rounds = args.rounds if kind == "tmpfs" else args.image_rounds
        program, floor = trials(contenders, kind, width, full, rounds, shuffle, args.work)
        calls = None if kind == "wine" else count_calls(args, kind, width, full)
        rows.append((kind, "full" if full else "making", width, folders(width) / statistics.median(program),
                     ratios(program, floor), calls))
        print_row(rows[-1])
    if kind == "wine":
        stop_wine(args)
    return rows


def print_row(row):
    kind, phase, width, rate, ((median, low, high), (fastest, f_low, f_high)), calls = row
    print("%-6s %-7s %5d %11.0f   %.3f (%.3f-%.3f)   %.3f (%.3f-%.3f)   %s" %
          (kind, phase, width, rate, median, low, high, fastest, f_low, f_high,
           "-" if calls is None else "%.5f" % calls), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="build folder of the bench preset")
    parser.add_argument("--windows-build", help="build folder of the windows-bench or windows64-bench preset")
    parser.add_argument("--wine", default="wine64", help="Wine's loader for those programs, as tests/wine.sh names it")
    parser.add_argument("--width", type=int, help="one width for every run (default: each drive's own)")
    parser.add_argument("--rounds", type=int, default=9, help="rounds on tmpfs")
    parser.add_argument("--image-rounds", type=int, default=9, help="rounds on the other drives")
    parser.add_argument("--drives", default="tmpfs,ext4,xfs,btrfs,ntfs,wine")
    parser.add_argument("--shuffle", type=int, default=1, help="which shuffle of the rounds to use")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    args.windows_build = args.windows_build and os.path.abspath(args.windows_build)
    refuse_shared_namespace()
    run(["mount", "-t", "tmpfs", "-o", "size=64m", "bench-mnt", "/mnt"])
    os.makedirs(DRIVE)
    args.work = tempfile.mkdtemp(prefix="verrant-bench-", dir="/var/tmp")
    # Drive images and outputs live in memory, so that no trial waits on the
    # machine's own disk writing out what an earlier one left.
    try:
        run(["mount", "-t", "tmpfs", "-o", "size=4g", "bench-work", args.work])
        for letter in "CQ":
            with open(os.path.join(args.work, "answers-" + letter), "w") as f:
                f.write("y\n%s\n" % letter.lower())
        print("%d rounds on tmpfs, %d on the others; ratios are the echo floor's seconds over the "
              "program's.\n%-6s %-7s %5s %11s   %-22s %-22s %s" %
              (args.rounds, args.image_rounds, "drive", "phase", "width", "folders/s",
               "median (range)", "fastest (range)", "calls/folder"))
        shuffle = random.Random(args.shuffle)
        rows = [row for kind in args.drives.split(",") for row in measure(args, kind, shuffle)]
        private = {width: peak_private_memory(args, width) for width in (2, args.width or 10)}
        print("\nPeak private memory: %s" % ", ".join("%d KiB at width %d" % (kib, width)
                                                    for width, kib in sorted(private.items())))
        rate = {(row[0], row[1]): row[3] for row in rows}
        for kind in args.drives.split(","):
            if (kind, "making") in rate:
                print("%s: a complete run fills a drive of 100 million folders in %.1f hours, and takes "
                      "%.0f days after that" % (kind, HELD / rate[kind, "making"] / 3600,
                                                (COMPLETE_RUN - HELD) / rate[kind, "full"] / 86400))
        if args.width:
            print("\nTargets are judged only at each drive's own widths.")
            return
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
    finally:
        subprocess.run(["umount", "-R", "/mnt"], stderr=subprocess.DEVNULL)
        if os.path.isdir(os.path.join(args.work, "wineprefix")):
            stop_wine(args)
        subprocess.run(["umount", args.work], stderr=subprocess.DEVNULL)
        shutil.rmtree(args.work, ignore_errors=True)


if __name__ == "__main__":
    main()
