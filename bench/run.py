#!/usr/bin/env python3
"""Runs every benchmark against its reference in the same run and prints a table and one
`RATIO <name> <value>` line per goal (ours / reference; lower is better).

    bench/run.py BUILD_DIR [--quick]

Needs an X server in DISPLAY (bench/run.sh starts Xvfb), mbpoll and the built benchmarks."""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else 'build'
QUICK = '--quick' in sys.argv
ROUNDS = 300 if QUICK else 2000
POLL_SECONDS = 10 if QUICK else 60
STARTS = 10


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout


def values(text):
    return {k: float(v) for k, v in re.findall(r'^(\w+) ([-0-9.]+)$', text, re.M)}


class Sim:
    """A simulated module in its own process; `path` is its terminal."""

    def __init__(self, *extra):
        self.proc = subprocess.Popen([f'{BUILD}/sim/gx7140r-sim', '--com', '0', '--steady', *extra],
                                     stdout=subprocess.PIPE, text=True)
        line = self.proc.stdout.readline()
        self.path = re.search(r'/dev/pts/\d+', line).group(0)

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def cpu_seconds(pid):
    """User + system CPU seconds a running process has used so far."""
    with open(f'/proc/{pid}/stat') as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def timed_child(args):
    """Starts args, returns (ms from start to the first paint it reports, peak RSS in KiB)."""
    start = time.monotonic_ns()
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    painted = int(re.search(r'first_paint_ns (\d+)', out).group(1))
    return (painted - start) / 1e6, usage.ru_maxrss


def log_and_trend(rows, ratios):
    """Polling at 50 ms with --log and --trend, and the same polling without them at the same time
    (same machine load), each against its own simulated module; then the trend model at 24 hours."""
    sims = [Sim(), Sim()]
    try:
        with tempfile.TemporaryDirectory() as folder:
            extras = [[], ['--log', f'{folder}/run.csv', '--trend']]
            polls = [subprocess.Popen([f'{BUILD}/bench/bench_exchange', 'poll', str(POLL_SECONDS), '50', sim.path, *extra],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                     for sim, extra in zip(sims, extras)]
            plain, both = (values(poll.communicate()[0]) for poll in polls)
    finally:
        for s in sims:
            s.close()
    per_1000 = [p['poll_cpu_s'] / p['poll_requests'] * 1000 for p in (plain, both)]
    model = values(run([f'{BUILD}/bench/bench_trend_memory']))
    rows += [('log+trend 50 ms: CPU s / 1000 polls with / without', f'{per_1000[1]:.4f} / {per_1000[0]:.4f}'),
             ('log+trend 50 ms: sent / ideal', f"{both['poll_requests']:.0f} / {both['poll_ideal']:.0f}"),
             ('trend model at 24 h: readings, KiB (model / RSS growth)',
              f"{model['trend_readings']:.0f}, {model['trend_model_bytes'] / 1024:.0f} / {model['trend_rss_growth_kib']:.0f}"),
             ('trend model at 24 h: whole-span drawing + summary (ms)', f"{model['trend_whole_span_ms']:.2f}")]
    ratios.append(('log_trend_cpu', per_1000[1] / per_1000[0]))
    ratios.append(('cadence_count_50ms_log_trend', 0.99 * both['poll_ideal'] / both['poll_requests']))


def main():
    rows = []
    ratios = []

    # 1. round trip: click -> values, against libmodbus's own master on the same slave
    r = values(run([f'{BUILD}/bench/bench_exchange', 'roundtrip', str(ROUNDS)]))
    rows += [('roundtrip tool median / p99 (ms)', f"{r['tool_median_ms']:.3f} / {r['tool_p99_ms']:.3f}"),
             ('roundtrip libmodbus median / p99 (ms)', f"{r['libmodbus_median_ms']:.3f} / {r['libmodbus_p99_ms']:.3f}")]
    ratios.append(('roundtrip', r['tool_median_ms'] / r['libmodbus_median_ms']))

    # 5. wire: paced at 9600 baud against the wire-time limit of 8 + 25 bytes
    w = values(run([f'{BUILD}/bench/bench_exchange', 'wire', '50' if QUICK else '200']))
    rows += [('wire round trip median / p99 (ms)', f"{w['wire_median_ms']:.3f} / {w['wire_p99_ms']:.3f}"),
             ('wire limit 33 bytes at 9600 (ms)', f"{w['wire_limit_ms']:.3f}")]
    ratios.append(('wire', w['wire_median_ms'] / w['wire_limit_ms']))

    # 2 and 3. polling at 50 ms (CPU and cadence); meanwhile mbpoll at its shortest period and
    # our tool at 1000 ms, each against its own simulated module.
    sims = [Sim(), Sim(), Sim()]
    try:
        ours50 = subprocess.Popen([f'{BUILD}/bench/bench_exchange', 'poll', str(POLL_SECONDS), '50', sims[0].path],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        ours1000 = subprocess.Popen([f'{BUILD}/bench/bench_exchange', 'poll', str(POLL_SECONDS), '1000', sims[1].path],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        # mbpoll writes to a file: a pipe nobody reads would fill up and stop it.
        mb_log = tempfile.TemporaryFile(mode='w+')
        mbpoll = subprocess.Popen(['mbpoll', '-m', 'rtu', '-b', '9600', '-P', 'none', '-a', '1', '-r', '1',
                                   '-c', '10', '-t', '4', '-l', '10', '-o', '1', sims[2].path],
                                  stdout=mb_log, stderr=subprocess.DEVNULL, text=True)
        time.sleep(POLL_SECONDS)
        mb_cpu = cpu_seconds(mbpoll.pid)
        mbpoll.send_signal(2)
        mbpoll.wait()
        mb_log.seek(0)
        mb_out = mb_log.read()
        p50 = values(ours50.communicate()[0])
        p1000 = values(ours1000.communicate()[0])
    finally:
        for s in sims:
            s.close()
    mb_polls = len(re.findall(r'^\[1\]:', mb_out, re.M))
    ours_per_1000 = p50['poll_cpu_s'] / p50['poll_requests'] * 1000
    mb_per_1000 = mb_cpu / mb_polls * 1000 if mb_polls else float('nan')
    rows += [('poll_cpu tool, 50 ms (CPU s / 1000 polls)', f'{ours_per_1000:.4f} ({p50["poll_requests"]:.0f} polls, {p50["poll_cpu_s"]:.2f} s)'),
             ('poll_cpu mbpoll, 10 ms (CPU s / 1000 polls)', f'{mb_per_1000:.4f} ({mb_polls} polls, {mb_cpu:.2f} s)')]
    ratios.append(('poll_cpu', ours_per_1000 / mb_per_1000))
    for p in (p50, p1000):
        interval = int(p['poll_interval_ms'])
        rows += [(f'cadence {interval} ms: sent / ideal', f"{p['poll_requests']:.0f} / {p['poll_ideal']:.0f}"),
                 (f'cadence {interval} ms: tick deviation median / p99 (ms)',
                  f"{p['poll_dev_median_ms']:.3f} / {p['poll_dev_p99_ms']:.3f}")]
        ratios.append((f'cadence_count_{interval}ms', 0.99 * p['poll_ideal'] / p['poll_requests']))
        ratios.append((f'cadence_p99_{interval}ms', p['poll_dev_p99_ms'] / 5.0))

    log_and_trend(rows, ratios)

    # 4. start-up to first paint, and peak memory, against a bare Qt Widgets window
    sim = Sim()
    try:
        tool = [timed_child([f'{BUILD}/bench/bench_startup_probe', 'tool', sim.path]) for _ in range(STARTS)]
    finally:
        sim.close()
    floor = [timed_child([f'{BUILD}/bench/bench_startup_probe', 'minimal']) for _ in range(STARTS)]
    tool_ms = statistics.median(t for t, _ in tool)
    floor_ms = statistics.median(t for t, _ in floor)
    tool_rss = max(r for _, r in tool)
    floor_rss = max(r for _, r in floor)
    rows += [('startup tool / minimal Qt window, median of 10 (ms)', f'{tool_ms:.1f} / {floor_ms:.1f}'),
             ('peak RSS tool / minimal Qt window (KiB)', f'{tool_rss} / {floor_rss}')]
    ratios.append(('startup', tool_ms / floor_ms))
    ratios.append(('rss', tool_rss / floor_rss))

    # 6. gx7140r-cli poll against mbpoll, at the same time, each against its own simulated module
    import cli_poll_cpu
    cli_rows, cli_ratio = cli_poll_cpu.measure(BUILD, POLL_SECONDS)
    rows += cli_rows
    ratios.append(cli_ratio)

    width = max(len(k) for k, _ in rows)
    for k, v in rows:
        print(f'{k:<{width}}  {v}')
    print()
    for name, value in ratios:
        print(f'RATIO {name} {value:.3f}')


if __name__ == '__main__':
    main()
