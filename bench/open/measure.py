"""The starts of run-open.sh: WORK/starts names them, one a line (name, the report line that
ends the start, the program and its arguments). Each round starts each once, each round in an
order of its own; the first round is not counted (the first start registers the shortcut type,
the files reach the page cache). One sleeping poller waits for the reports, so that waiting costs the measured
programs next to nothing. Prints the medians and the ratios to the baseline."""
import os, random, signal, statistics, subprocess, sys, time

work, runs = sys.argv[1], int(sys.argv[2])
starts = [line.split() for line in open(work + "/starts")]
report = work + "/report"
log = open(work + "/programs.log", "ab")
SETTLE_SECONDS = 0.3


def start_once(name, end, command):
    """Milliseconds to the text shown and to the end line, and the peak memory in MB."""
    if os.path.exists(report):
        os.remove(report)
    began = time.time_ns()
    program = subprocess.Popen(command, env=dict(os.environ, LUMENO_PAINT_REPORT=report), stdout=log, stderr=log)
    seen, deadline = {}, time.monotonic() + 60
    while end not in seen:
        if time.monotonic() > deadline or program.poll() is not None:
            program.kill()
            sys.exit("run-open.sh: %s never painted its %s" % (name, end))
        time.sleep(0.002)
        if os.path.exists(report):
            seen = dict(line.split() for line in open(report) if line.count(" ") == 1)
    with open("/proc/%d/status" % program.pid) as status:
        peak = next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
    program.send_signal(signal.SIGKILL)
    program.wait()
    # What the ended program leaves to others (its memory freed, its window taken down, a transfer
    # cut off) is done before the next start, so that no start pays for the one before it.
    time.sleep(SETTLE_SECONDS)
    shown = int(seen.get("text", seen["paint"]))
    return (shown - began) / 1e6, (int(seen[end]) - began) / 1e6, peak / 1024


results = {name: [] for name, *_ in starts}
for round in range(runs + 1):
    # Each round in its own order, the same every time the script runs: no start always comes
    # after the same other one.
    for name, end, *command in random.Random(round).sample(starts, len(starts)):
        figures = start_once(name, end, command)
        if round > 0:
            results[name].append(figures)

median = {name: [statistics.median(column) for column in zip(*rows)] for name, rows in results.items()}
print("%-12s %5s %10s %10s %8s" % ("", "runs", "text ms", "loaded ms", "peak MB"))
for name, (text, loaded, peak) in median.items():
    print("%-12s %5d %10.0f %10.0f %8.1f" % (name, len(results[name]), text, loaded, peak))
base, ours = median["baseline"], median["lumeno"]
print("ratios to the baseline: text shown %.2fx, whole document %.2fx, peak memory %.2fx"
      % (ours[0] / base[0], ours[1] / base[1], ours[2] / base[2]))
print("a 1 KB document shown, to the empty window: %.2fx" % (median["lumeno-1k"][0] / median["lumeno-none"][0]))
