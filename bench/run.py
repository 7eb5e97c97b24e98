#!/usr/bin/env python3
"""Measures how fast the shipped program makes its folders, and how fast it
gets through them once the drive is full, against floors that make the same
folders and print nothing, on the file systems users fill.

Run inside a private mount namespace (run.sh makes one); it refuses to run
in a mount namespace it shares with the system's first process, or one whose
mounts reach others. /mnt is a folder of the namespace's own, and every trial
gets a fresh drive mounted as /mnt/c, so the program runs with the drive root
it ships with and nothing outside sees the folders. Whatever it mounted and
its work folder go on every exit. Two scenarios on each drive:

  making       a drive with room for every folder
  full drive   a drive with room for a few folders only, so that nearly
               every folder fails, as in all but the start of a complete run

The drives:

  tmpfs   in memory, at width 10 (1,111,111 folders); the full drive has 30
          inodes. Beside the floor, mkdirat, xargs -0 mkdir and a Python loop
          run as references.
  ext4    an image file on disk, mounted through a loop device, at width 6
          (55,987 folders), full at width 8 (299,593): 1 GiB with 1 KiB
          blocks; full, 64 inodes.
  xfs     likewise: 1 GiB; full, its smallest size (300 MiB) taken by one file
          but 512 KiB.
  btrfs   likewise: 1 GiB; full, 128 MiB with data and metadata mixed, taken
          by one file but 4 MiB.
  ntfs    an image file on disk through ntfs-3g (FUSE), at width 5 (19,531
          folders): 1 GiB; full, 16 MiB taken by one file but 256 KiB.
  wine    the Windows program under Wine against a Windows floor (one
          CreateDirectoryA of the full path a folder), both under Wine on a
          tmpfs drive given to Wine as drive Q, at width 5.

Contenders (failures are ignored by all, their error text thrown away):

  verrant      the program, answering y and c, its output going to a file
  mkdir-full   one mkdir of the full path per folder (the floor)
  mkdirat      mkdirat relative to its open parent per folder, each parent
               opened relative to its own: a reference for relative calls,
               which do not keep a path's meaning; making only, since on a
               full drive it fails at once on the parent it could not open
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
PYTHON_LOOP = ("import os,sys\nfor p in open(sys.argv[1],'rb').read().split(b'\\0'):\n"
               "    try:\n        p and os.mkdir(p)\n    except OSError:\n        pass\n")
XARGS = "xargs -0 mkdir < %s 2>/dev/null; exit 0"
DRIVE = "/mnt/c"
# Folders of a complete run at one hundred a level, the root included.
COMPLETE_RUN = sum(100 ** level for level in range(7))
# What a drive is taken to hold when a complete run's time is worked out.
HELD = 100 * 10 ** 6

# Per drive other than tmpfs: the widths of the making and the full-drive
# runs, each run long enough to mean something and the whole benchmark
# within twenty minutes: failing calls on ext4, xfs and btrfs are so cheap
# that a bigger tree is needed; NTFS through FUSE and Wine are slow.
IMAGE_WIDTHS = {"ext4": (6, 8), "xfs": (6, 8), "btrfs": (6, 8), "ntfs": (5, 5), "wine": (5, 5)}

# Per file system: (mkfs words, size in MiB) for making and for the full
# drive, and the room a filler file leaves on the full one (KiB; None: none).
IMAGES = {
    "ext4": ((["mkfs.ext4", "-F", "-q", "-b", "1024", "-N", "70000"], 1024),
             (["mkfs.ext4", "-F", "-q", "-N", "64"], 64), None),
    "xfs": ((["mkfs.xfs", "-f", "-q"], 1024), (["mkfs.xfs", "-f", "-q"], 300), 512),
    "btrfs": ((["mkfs.btrfs", "-f", "-q"], 1024), (["mkfs.btrfs", "-f", "-q", "--mixed"], 128), 4096),
    "ntfs": ((["mkfs.ntfs", "-F", "-f", "-q"], 1024), (["mkfs.ntfs", "-F", "-f", "-q"], 16), 256),
}


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


def folder_count(width):
    return sum(width ** level for level in range(7))


class Drive:
    """One kind of drive: mounts a fresh one as /mnt/c for each trial."""

    def __init__(self, kind, scratch):
        self.kind = kind
        self.image = os.path.join(scratch, "drive.img")

    def mount(self, full, folders):
        os.makedirs(DRIVE, exist_ok=True)
        if self.kind in ("tmpfs", "wine"):
            inodes = 30 if full else folders + 1
            run(["mount", "-t", "tmpfs", "-o", "size=8g,nr_inodes=%d" % inodes, "bench", DRIVE])
        else:
            self.mount_image(full)
        if full:
            check_full(self.kind)
        self.inodes_before = used_inodes()

    def mount_image(self, full):
        mkfs, megabytes = IMAGES[self.kind][1 if full else 0]
        if os.path.exists(self.image):
            os.unlink(self.image)
        run(["truncate", "-s", "%dM" % megabytes, self.image])
        run(mkfs + [self.image], quiet=True)
        if self.kind == "ntfs":
            run(["ntfs-3g", self.image, DRIVE])
        else:
            run(["mount", "-o", "loop", self.image, DRIVE])
        leave = IMAGES[self.kind][2]
        if full and leave is not None:
            fill(DRIVE, leave)

    def folders_made(self):
        """The folders made since the drive was mounted: counted by the file
        system where it counts inodes (ntfs-3g's counts are estimates)."""
        if self.kind in ("btrfs", "ntfs"):
            root = os.path.join(DRIVE, "1_100billion")
            return (1 + sum(len(dirs) for _, dirs, _ in os.walk(root))) if os.path.isdir(root) else 0
        return used_inodes() - self.inodes_before

    def unmount(self):
        # The Wine server may still be closing the handles of a program that
        # has just ended, which keeps the drive busy for a moment.
        for _ in range(100):
            if subprocess.run(["umount", DRIVE], stderr=subprocess.DEVNULL).returncode == 0:
                break
            time.sleep(0.05)
        else:
            run(["umount", DRIVE])
        # ntfs-3g writes the volume out after the unmount; wait for it.
        while self.kind == "ntfs" and driver_running(self.image):
            time.sleep(0.05)


def used_inodes():
    info = os.statvfs(DRIVE)
    return info.f_files - info.f_ffree


def driver_running(image):
    """True while a process (a FUSE driver) names the image."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            words = open("/proc/%s/cmdline" % pid, "rb").read().split(b"\0")
        except OSError:
            continue
        if image.encode() in words:
            return True
    return False


def run(command, quiet=False, **kwargs):
    """Runs command; stops the benchmark, with what the command said when it
    was quiet, if it fails."""
    out = subprocess.PIPE if quiet else None
    done = subprocess.run(command, stdout=out, stderr=subprocess.STDOUT if quiet else None, **kwargs)
    if done.returncode != 0:
        said = done.stdout.decode(errors="replace").strip() if quiet else ""
        sys.exit("%s ended with status %d%s" % (" ".join(command), done.returncode, ": " + said if said else ""))


def fill(folder, leave_kib):
    """Takes all the room on a drive but leave_kib with one file."""
    info = os.statvfs(folder)
    size = info.f_bavail * info.f_frsize - leave_kib * 1024
    with open(os.path.join(folder, "filler"), "wb") as f:
        try:
            os.posix_fallocate(f.fileno(), 0, size)
        except OSError:  # ntfs-3g allocates only by writing
            block = bytes(1 << 20)
            while size > 0:
                size -= f.write(block[:min(size, len(block))])


def check_full(kind):
    """Stops the benchmark unless the drive just mounted has room for no more
    than a few dozen folders: no inodes left, or no more room than a filler
    leaves."""
    info = os.statvfs(DRIVE)
    leave = IMAGES.get(kind, (None, None, 0))[2] or 0
    if info.f_favail > 64 and info.f_bavail * info.f_frsize > 2 * leave * 1024 + (1 << 20):
        sys.exit("the %s drive is not full: %d inodes and %d KiB free" %
                 (kind, info.f_favail, info.f_bavail * info.f_frsize // 1024))


def timed(command, stdin_path=None, stdout_path=None, env=None):
    """Runs command; returns its seconds."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    stdout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    start = time.perf_counter()
    status = subprocess.run(command, stdin=stdin, stdout=stdout, env=env).returncode
    seconds = time.perf_counter() - start
    if status != 0:
        sys.exit("%s failed with status %d" % (command[0], status))
    return seconds


def contender_command(name, args, width):
    """The command of a contender, and its standard input and output."""
    if name == "verrant":
        return [args.program(width)], args.answers, args.output
    if name == "verrant.exe":
        program = os.path.join(args.windows_bench, "bench_verrant_w%d.exe" % width)
        return [args.wine, program], args.windows_answers, args.output
    if name == "floor.exe":
        return [args.wine, os.path.join(args.windows_bench, "bench_floor.exe"), str(width), "q"], None, None
    if name == "mkdir-full":
        return [args.floor, "full", str(width), DRIVE], None, None
    if name == "mkdirat":
        return [args.floor, "at", str(width), DRIVE], None, None
    if name == "xargs-mkdir":
        return ["sh", "-c", XARGS % args.paths_file], None, None
    return [sys.executable, "-c", PYTHON_LOOP, args.paths_file], None, None


def run_once(name, args, drive, width, full):
    """One trial of one contender on a fresh drive; returns its seconds."""
    folders = folder_count(width)
    drive.mount(full, folders)
    try:
        command, stdin, stdout = contender_command(name, args, width)
        seconds = timed(command, stdin, stdout, args.wine_env if drive.kind == "wine" else None)
        made = drive.folders_made()
        if not full and made != folders:
            sys.exit("%s made %d folders on %s, not %d" % (name, made, drive.kind, folders))
    finally:
        drive.unmount()
    return seconds


def count_calls(args, drive, width, full):
    """The program's system calls in one run with its output going to a file:
    (write calls, all other calls)."""
    drive.mount(full, folder_count(width))
    try:
        trace = os.path.join(args.work, "trace.txt")
        with open(args.answers, "rb") as stdin, open(args.output, "wb") as stdout:
            subprocess.run(["strace", "-f", "-c", "-o", trace, args.program(width)],
                           stdin=stdin, stdout=stdout, check=True)
        output_bytes = os.path.getsize(args.output)
    finally:
        drive.unmount()
    calls = {}
    for line in open(trace):
        fields = line.split()
        if len(fields) >= 5 and fields[3].isdigit() and fields[-1] != "total":
            calls[fields[-1]] = int(fields[3])
    writes = calls.pop("write", 0)
    return writes, sum(calls.values()), output_bytes


def peak_memory(program, drive, width, answers):
    """The program's peak resident memory in KiB, read from /proc while it
    runs: (all of it, its private part). The shared part is mostly the C
    library's pages, as many as the kernel's fault-around brought in.

    Its output goes through a narrow pipe that is read slowly, so the program is
    still there, blocked in its last write, when its high-water mark is read.
    (The rusage figure would count the launcher's memory from before exec.)
    """
    drive.mount(False, folder_count(width))
    try:
        read_end, write_end = os.pipe()
        fcntl.fcntl(write_end, F_SETPIPE_SZ, 4096)
        with open(answers, "rb") as stdin:
            child = subprocess.Popen([program], stdin=stdin, stdout=write_end)
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
        drive.unmount()


def run_scenario(args, drive, names, width, full, repeats, shuffle):
    """Runs the program and its floor (the first two names) repeats times and
    the references after them in the first rounds only, interleaved; returns
    their rates.

    Every round runs each contender once, in an order of its own: a trial can
    be slowed by what the one before it left for the kernel to clean up, so
    no contender may always follow the same other one."""
    seconds = {name: [] for name in names}
    for round_number in range(repeats):
        taking = names if round_number < args.reference_repeats else names[:2]
        for name in shuffle.sample(taking, len(taking)):
            seconds[name].append(run_once(name, args, drive, width, full))
    folders = folder_count(width)
    return {name: [folders / s for s in seconds[name]] for name in names}


def report_scenario(title, names, rate, calls, folders):
    """Prints one scenario's rates and calls; returns the program's median
    rate, its ratio to the floor and its system calls per folder besides
    its writes (None where not counted)."""
    median = {name: statistics.median(rate[name]) for name in names}
    program, floor = names[0], names[1]
    print("\n%s" % title)
    print("%-12s %14s %24s %16s %16s" %
          ("", "folders/s", "spread (min-max)", program + " / this", "fastest runs"))
    for name in names:
        print("%-12s %14.0f %11.0f-%-12.0f %16.3f %16.3f" %
              (name, median[name], min(rate[name]), max(rate[name]), median[program] / median[name],
               max(rate[program]) / max(rate[name])))
    per_folder = None
    if calls is not None:
        writes, others, output_bytes = calls
        per_folder = others / folders
        print("Output: %d bytes in %d write calls (bytes / %d-byte block = %.1f)" %
              (output_bytes, writes, OUTPUT_BLOCK, output_bytes / OUTPUT_BLOCK))
        print("System calls besides the writes: %d, %.5f per folder" % (others, per_folder))
    return median[program], median[program] / median[floor], per_folder


def complete_run(making_rate, failing_rate):
    """Days to fill a drive holding HELD folders, and days after it is full."""
    return HELD / making_rate / 86400, (COMPLETE_RUN - HELD) / failing_rate / 86400


def prepare_wine(args):
    """A Wine prefix of the benchmark's own, drive Q leading to /mnt/c, and a
    Wine server kept running for every trial, so none pays for starting it."""
    prefix = os.path.join(args.work, "wineprefix")
    runtime = os.path.join(args.work, "wine-runtime")  # Wine's display drivers want one
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ, WINEPREFIX=prefix, XDG_RUNTIME_DIR=runtime, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    run([args.wine, "wineboot", "--init"], quiet=True, env=env)
    run(["wineserver", "-w"], env=env)
    device = os.path.join(prefix, "dosdevices", "q:")
    if os.path.lexists(device):
        os.unlink(device)
    os.symlink(DRIVE, device)
    subprocess.Popen(["wineserver", "-p"], env=env).wait()
    args.wine_env = env
    with open(args.windows_answers, "w") as f:
        f.write("y\nq\n")


def stop_wine(args):
    """Stops the Wine server and waits until it has gone: on its way out it
    still writes its registry into the work folder."""
    subprocess.run(["wineserver", "-k"], env=args.wine_env, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=args.wine_env, stderr=subprocess.DEVNULL)


def refuse_shared_namespace():
    """Stops unless this process has a mount namespace of its own, apart from
    the process that started it, whose mounts reach no other namespace:
    mounting over /mnt anywhere else would hide the machine's own."""
    try:
        parent = os.readlink("/proc/%d/ns/mnt" % os.getppid())
        own = parent != os.readlink("/proc/self/ns/mnt")
    except OSError:  # no parent in sight: a namespace's first process
        own = False
    mounts = [line.split() for line in open("/proc/self/mountinfo")]
    holding = max((m for m in mounts if m[4] == "/" or m[4] == "/mnt" or "/mnt".startswith(m[4] + "/")),
                  key=lambda m: len(m[4]))
    shared = any(field.startswith("shared:") for field in holding[6:holding.index("-")])
    if not own or shared:
        sys.exit("run.py: refused: it mounts drives over /mnt, so it runs only in a private mount "
                 "namespace of its own (bash bench/run.sh makes one); this one is %s, and nothing "
                 "was mounted or written" % ("its starter's" if not own else "shared with others"))


def measure_drive(args, kind, shuffle):
    """Both scenarios on one kind of drive; returns their summaries."""
    drive = Drive(kind, args.work)
    if kind == "tmpfs":
        names, repeats = ["verrant", "mkdir-full", "mkdirat", "xargs-mkdir", "python-loop"], args.repeats
    elif kind == "wine":
        prepare_wine(args)
        names, repeats = ["verrant.exe", "floor.exe"], args.image_repeats
    else:
        names, repeats = ["verrant", "mkdir-full"], args.image_repeats
    results = []
    for full in (False, True):
        width = args.width if kind == "tmpfs" else args.image_width or IMAGE_WIDTHS[kind][full]
        taking = [name for name in names if not (full and name == "mkdirat")]
        rate = run_scenario(args, drive, taking, width, full, repeats, shuffle)
        calls = None if kind == "wine" else count_calls(args, drive, width, full)
        title = "%s, %s, width %d (%d folders)" % (
            kind, "full drive: nearly every folder fails" if full else "making: room for every folder",
            width, folder_count(width))
        results.append(report_scenario(title, taking, rate, calls, folder_count(width)))
    if kind == "wine":
        stop_wine(args)
    return results


def measure_memory(args):
    """The shipped program's peak resident memory at width 2 and at the
    tmpfs width (10 unless asked otherwise), five readings each, or as many
    as the runs on tmpfs when fewer: (medians of the totals, medians of the
    private parts)."""
    tmpfs = Drive("tmpfs", args.work)
    peaks = {width: [] for width in sorted({2, args.width})}
    for _ in range(min(5, args.repeats)):
        for width in peaks:
            peaks[width].append(peak_memory(args.program(width), tmpfs, width, args.answers))
    rss = {width: statistics.median(p[0] for p in values) for width, values in peaks.items()}
    private = {width: statistics.median(p[1] for p in values) for width, values in peaks.items()}
    print()
    for width in sorted(peaks):
        print("Peak resident memory, width %2d: median %d KiB (%d-%d), private %d KiB (%d-%d)" %
              (width, rss[width], min(p[0] for p in peaks[width]), max(p[0] for p in peaks[width]),
               private[width], min(p[1] for p in peaks[width]), max(p[1] for p in peaks[width])))
    return rss, private


def print_summary(rows):
    print("\n%-7s %-11s %12s %10s %12s    %s" %
          ("drive", "phase", "folders/s", "/ floor", "calls/folder", "a complete run"))
    for kind, ((making_rate, making_ratio, making_calls), (full_rate, full_ratio, full_calls)) in rows:
        filling, after = complete_run(making_rate, full_rate)
        for phase, rate, ratio, calls, when in (
                ("making", making_rate, making_ratio, making_calls, "%.2f days to fill 100 million" % filling),
                ("full", full_rate, full_ratio, full_calls, "%.0f days after that" % after)):
            print("%-7s %-11s %12.0f %10.3f %12s    %s" %
                  (kind, phase, rate, ratio, "-" if calls is None else "%.5f" % calls, when))


def print_targets(rows, rss, private):
    checks = []
    for kind, results in rows:
        for phase, (_, ratio, calls) in zip(("making", "full drive"), results):
            checks.append(("%s, %s: at least 0.95 of the floor" % (kind, phase), ratio >= 0.95))
            if calls is not None:
                checks.append(("%s, %s: at most 1.02 system calls a folder, writes aside" % (kind, phase),
                               calls <= 1.02))
    checks += [
        ("peak resident memory at most 2 MiB", max(rss.values()) <= 2048),
        ("private memory at most 256 KiB", max(private.values()) <= 256),
        ("private memory within 64 KiB at widths 2 and 10", abs(private[2] - private[10]) <= 64),
    ]
    print()
    for text, met in checks:
        print("%-66s %s" % (text, "met" if met else "NOT met"))


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="build folder of the bench preset")
    parser.add_argument("--windows-build", help="build folder of the windows-bench or windows64-bench preset")
    parser.add_argument("--wine", default="wine", help="Wine's loader for those programs")
    parser.add_argument("--width", type=int, default=10, help="width on tmpfs")
    parser.add_argument("--image-width", type=int, help="one width for every run on the other drives")
    # Identical runs here differ by up to a fifth; nine of each keep the
    # medians, and so the ratios, within about a tenth.
    parser.add_argument("--repeats", type=int, default=9, help="runs of each contender on tmpfs")
    parser.add_argument("--image-repeats", type=int, default=5, help="runs of each on the other drives")
    parser.add_argument("--reference-repeats", type=int, default=5,
                        help="runs of mkdirat, xargs and Python, which have no target")
    parser.add_argument("--drives", default="tmpfs,ext4,xfs,btrfs,ntfs,wine")
    parser.add_argument("--shuffle", type=int, default=1, help="which shuffle of the runs to use")
    args = parser.parse_args()
    bench = os.path.join(os.path.abspath(args.build), "bench")
    args.floor = os.path.join(bench, "bench_floor")
    args.program = lambda width: os.path.join(bench, "bench_verrant_w%d" % width)
    if args.windows_build:
        args.windows_bench = os.path.join(os.path.abspath(args.windows_build), "bench")
    return args


def set_up_work(args):
    """The work folder, on disk, with the answers and the references' paths."""
    args.work = tempfile.mkdtemp(prefix="verrant-bench-", dir="/var/tmp")
    args.answers = os.path.join(args.work, "answers")
    args.windows_answers = os.path.join(args.work, "windows-answers")
    args.output = os.path.join(args.work, "output.txt")
    args.paths_file = os.path.join(args.work, "paths")
    with open(args.answers, "w") as f:
        f.write("y\nc\n")
    with open(args.paths_file, "wb") as f:
        f.write(b"\0".join(p.encode() for p in tree_paths(args.width, DRIVE)))


def clean_up(args):
    """Unmounts whatever is still mounted and removes the work folder."""
    subprocess.run(["umount", "-R", "/mnt"], stderr=subprocess.DEVNULL)
    if getattr(args, "work", None):
        if hasattr(args, "wine_env"):
            stop_wine(args)
        shutil.rmtree(args.work, ignore_errors=True)


def main():
    args = parse_arguments()
    refuse_shared_namespace()
    run(["mount", "-t", "tmpfs", "-o", "size=64m", "bench-mnt", "/mnt"])
    try:
        set_up_work(args)
        shuffle = random.Random(args.shuffle)
        print("On tmpfs: width %d, %d runs of the program and the floor, %d of the references; on the "
              "others, %d runs of each. Interleaved; the ratios compare median rates, the last column "
              "the fastest runs." % (args.width, args.repeats, args.reference_repeats, args.image_repeats))
        rows = [(kind, measure_drive(args, kind, shuffle)) for kind in args.drives.split(",")]
        rss, private = measure_memory(args)
        print_summary(rows)
        if args.width < 10:
            print("\nTargets are judged at width 10 on tmpfs; at this size start-up time dominates.")
        else:
            print_targets(rows, rss, private)
    finally:
        clean_up(args)


if __name__ == "__main__":
    main()
