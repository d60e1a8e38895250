#!/usr/bin/env python3
"""Runs every benchmark against its reference in the same run and prints a table and one
`RATIO <name> <value>` line per goal (ours / reference; lower is better).

    bench/run.py BUILD_DIR [--quick]

Starts its own virtual X servers (Xvfb): one shared by the round trips and the start-ups, and one
for each polling program, so that each X server's CPU time belongs to one program. Needs Xvfb,
mbpoll and the built benchmarks."""
import os
import random
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
POLL_RUNS = 2 if QUICK else 5
STARTS = 10


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout


def values(text):
    return {k: float(v) for k, v in re.findall(r'^(\w+) ([-0-9.]+)$', text, re.M)}


def cpu_seconds(pid):
    """User + system CPU seconds a running process has used so far."""
    with open(f'/proc/{pid}/stat') as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def load():
    return os.getloadavg()[0]


class XServer:
    """A virtual X server of our own. Other users' X servers on this machine may hold display
    numbers we cannot see as lock files (abstract sockets are per network namespace), so a number
    is taken only when neither its lock file nor its abstract socket exists."""

    def __init__(self):
        for _ in range(50):
            number = random.randint(20, 500)
            if os.path.exists(f'/tmp/.X{number}-lock') or self._abstract_in_use(number):
                continue
            self.proc = subprocess.Popen(['Xvfb', f':{number}', '-screen', '0', '1280x1024x24',
                                          '-nolisten', 'tcp', '-noreset'],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            socket = f'/tmp/.X11-unix/X{number}'
            deadline = time.monotonic() + 10
            while self.proc.poll() is None and not os.path.exists(socket) and time.monotonic() < deadline:
                time.sleep(0.02)
            if self.proc.poll() is None and os.path.exists(socket):
                self.display = f':{number}'
                return
            self.close()
        raise RuntimeError('could not start Xvfb')

    @staticmethod
    def _abstract_in_use(number):
        with open('/proc/net/unix') as sockets:
            return f'@/tmp/.X11-unix/X{number}\n' in sockets.read()

    def env(self):
        return dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM='xcb')

    def cpu(self):
        return cpu_seconds(self.proc.pid)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
        self.proc.wait()


class Sim:
    """A simulated module in its own process; `path` is its terminal. Steady (450 ppm) unless
    drift is asked for."""

    def __init__(self, drift=False):
        args = [f'{BUILD}/sim/gx7140r-sim', '--com', '0'] + ([] if drift else ['--steady'])
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        line = self.proc.stdout.readline()
        self.path = re.search(r'/dev/pts/\d+', line).group(0)

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def timed_child(args, env):
    """Starts args, returns (ms from start to the first paint it reports, peak RSS in KiB)."""
    start = time.monotonic_ns()
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    painted = int(re.search(r'first_paint_ns (\d+)', out).group(1))
    return (painted - start) / 1e6, usage.ru_maxrss


def x_faults(pid):
    with open(f'/proc/{pid}/stat') as stat:
        return int(stat.read().rsplit(')', 1)[1].split()[7])


def slow_poll_and_mbpoll(shared):
    """The tool at 1000 ms and mbpoll at 10 ms, each against its own module, for POLL_SECONDS,
    with nothing else of the bench running: the 1000 ms cadence is a property of the timer, not of
    how busy the bench keeps the machine."""
    sims = [Sim(), Sim()]
    try:
        tool = subprocess.Popen([f'{BUILD}/bench/bench_exchange', 'poll', str(POLL_SECONDS), '1000', sims[0].path],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=shared.env())
        # mbpoll writes to a file: a pipe nobody reads would fill up and stop it.
        mb_log = tempfile.TemporaryFile(mode='w+')
        mbpoll = subprocess.Popen(['mbpoll', '-m', 'rtu', '-b', '9600', '-P', 'none', '-a', '1', '-r', '1',
                                   '-c', '10', '-t', '4', '-l', '10', '-o', '1', sims[1].path],
                                  stdout=mb_log, stderr=subprocess.DEVNULL, text=True)
        time.sleep(POLL_SECONDS)
        mb_cpu = cpu_seconds(mbpoll.pid)
        mbpoll.send_signal(2)
        mbpoll.wait()
        mb_log.seek(0)
        return {'tool1000': values(tool.communicate()[0]),
                'mbpoll_polls': len(re.findall(r'^\[1\]:', mb_log.read(), re.M)), 'mbpoll_cpu': mb_cpu}
    finally:
        for sim in sims:
            sim.close()


def poll_run(number, shared):
    """One polling run: the tool at 50 ms against a drifting module, the paint floor, and the
    paint floor under the tool's own environment settings, side by side, each on its own X
    server. The X servers and programs start in an order that turns from run to run, so that no
    program is always the first. Every figure counts from the moment the program's window is up
    and painted (it says "poll_started"), so start-up is in none of them."""
    sims = [Sim(drift=True)]
    seconds = str(POLL_SECONDS)
    commands = {
        'tool': [f'{BUILD}/bench/bench_exchange', 'poll', seconds, '50', sims[0].path],
        'floor': [f'{BUILD}/bench/bench_paint_floor', seconds, '50'],
        'floor_env': [f'{BUILD}/bench/bench_paint_floor', seconds, '50', '1', '--tool-environment'],
    }
    names = list(commands)
    order = names[number % len(names):] + names[:number % len(names)]
    servers = {}
    try:
        for name in order:
            servers[name] = XServer()
        before = load()
        procs = {name: subprocess.Popen(commands[name], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True, env=servers[name].env()) for name in order}
        # Each X server's CPU from the moment its program starts measuring (window up and painted).
        x_before = {}
        for name in order:
            while procs[name].stdout.readline().strip() not in ('poll_started 1', ''):
                pass
            x_before[name] = (servers[name].cpu(), x_faults(servers[name].proc.pid))
        result = {}
        for name, proc in procs.items():
            result[name] = values(proc.communicate()[0])
            if name in servers:
                cpu, faults = x_before[name]
                result[name]['x_cpu_s'] = servers[name].cpu() - cpu
                result[name]['x_faults'] = x_faults(servers[name].proc.pid) - faults
        result['load'] = (before + load()) / 2
        result['order'] = order
        return result
    finally:
        for s in sims:
            s.close()
        for x in servers.values():
            x.close()


def per_poll_ms(seconds, polls):
    return seconds / polls * 1000 if polls else float('nan')


def log_and_trend(rows, ratios, shared):
    """Polling at 50 ms with --log and --trend, and the same polling without them at the same time
    (same machine load), each against its own simulated module; then the trend model at 24 hours."""
    sims = [Sim(), Sim()]
    try:
        with tempfile.TemporaryDirectory() as folder:
            extras = [[], ['--log', f'{folder}/run.csv', '--trend']]
            polls = [subprocess.Popen([f'{BUILD}/bench/bench_exchange', 'poll', str(POLL_SECONDS), '50', sim.path, *extra],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=shared.env())
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
    load_start = load()
    shared = XServer()
    try:
        # 1. round trip: click -> values, against libmodbus's own master on the same slave
        r = values(run([f'{BUILD}/bench/bench_exchange', 'roundtrip', str(ROUNDS)], env=shared.env()))
        rows += [('roundtrip tool median / p99 (ms)', f"{r['tool_median_ms']:.3f} / {r['tool_p99_ms']:.3f}"),
                 ('roundtrip libmodbus median / p99 (ms)', f"{r['libmodbus_median_ms']:.3f} / {r['libmodbus_p99_ms']:.3f}")]
        ratios.append(('roundtrip', r['tool_median_ms'] / r['libmodbus_median_ms']))

        # 5. wire: paced at 9600 baud against the wire-time limit of 8 + 25 bytes
        w = values(run([f'{BUILD}/bench/bench_exchange', 'wire', '50' if QUICK else '200'], env=shared.env()))
        rows += [('wire round trip median / p99 (ms)', f"{w['wire_median_ms']:.3f} / {w['wire_p99_ms']:.3f}"),
                 ('wire limit 33 bytes at 9600 (ms)', f"{w['wire_limit_ms']:.3f}")]
        ratios.append(('wire', w['wire_median_ms'] / w['wire_limit_ms']))

        # 2 and 3. polling at 50 ms, POLL_RUNS times, each run beside the paint floor
        runs = [poll_run(number, shared) for number in range(POLL_RUNS)]
        slow = slow_poll_and_mbpoll(shared)
        # 7. the same polling with the program's --log and --trend beside it without them
        log_rows, log_ratios = [], []
        log_and_trend(log_rows, log_ratios, shared)

        # 4. start-up to first paint, and peak memory: the tool, a bare Qt window, and the same
        # bare window with one Chinese caption, started in turn
        sim = Sim()
        starts = {'tool': [], 'minimal': [], 'minimal-cjk': []}
        try:
            for _ in range(STARTS):
                for mode in starts:
                    args = [f'{BUILD}/bench/bench_startup_probe', mode] + ([sim.path] if mode == 'tool' else [])
                    starts[mode].append(timed_child(args, shared.env()))
        finally:
            sim.close()
    finally:
        shared.close()


    def per_poll(name, key):
        return [per_poll_ms(p[name][key], p[name]['poll_requests']) for p in runs]
    tool, floor, floor_env = per_poll('tool', 'poll_cpu_s'), per_poll('floor', 'poll_cpu_s'), per_poll('floor_env', 'poll_cpu_s')
    tool_x, floor_x, floor_env_x = per_poll('tool', 'x_cpu_s'), per_poll('floor', 'x_cpu_s'), per_poll('floor_env', 'x_cpu_s')
    mb = per_poll_ms(slow['mbpoll_cpu'], slow['mbpoll_polls'])
    same_run = [t / f for t, f in zip(tool, floor_env)]
    for i, p in enumerate(runs):
        t, f = p['tool'], p['floor']
        rows.append((f'poll run {i + 1}, load {p["load"]:.1f}: CPU ms/poll tool / floor / floor, tool env. (+ X server)',
                     f'{tool[i]:.3f} (+{tool_x[i]:.3f}) / {floor[i]:.3f} (+{floor_x[i]:.3f}) / '
                     f'{floor_env[i]:.3f} (+{floor_env_x[i]:.3f}); {t["poll_requests"]:.0f} polls; '
                     f'repaint passes/poll {t["poll_repaint_passes"] / t["poll_requests"]:.2f} / '
                     f'{f["poll_repaint_passes"] / f["poll_requests"]:.2f}; X page faults/poll '
                     + ' / '.join(f'{p[n]["x_faults"] / p[n]["poll_requests"]:.1f}' for n in ('tool', 'floor', 'floor_env'))
                     + f'; started {", ".join(p["order"])}'))
    rows += [('poll_cpu tool, 50 ms, median (CPU s / 1000 polls)', f'{statistics.median(tool):.4f} (min {min(tool):.4f}, max {max(tool):.4f})'),
             ('poll_cpu paint floor / under the tool\'s env., median (CPU s / 1000 polls)',
              f'{statistics.median(floor):.4f} / {statistics.median(floor_env):.4f}'),
             ('X server CPU tool / floor / floor, tool env., median (s / 1000 polls)',
              f'{statistics.median(tool_x):.4f} / {statistics.median(floor_x):.4f} / {statistics.median(floor_env_x):.4f}'),
             ('tool / floor under Qt\'s defaults, median of runs: CPU, CPU + X (information)',
              f'{statistics.median(t / f for t, f in zip(tool, floor)):.3f}, '
              f'{statistics.median((t + tx) / (f + fx) for t, tx, f, fx in zip(tool, tool_x, floor, floor_x)):.3f}'),
             ('max / min over the runs: tool, floor, floor under the tool\'s env., tool / that floor',
              f'{max(tool) / min(tool):.3f}, {max(floor) / min(floor):.3f}, '
              f'{max(floor_env) / min(floor_env):.3f}, {max(same_run) / min(same_run):.3f}'),
             ('poll_cpu mbpoll, 10 ms (CPU s / 1000 polls)', f'{mb:.4f} ({slow["mbpoll_polls"]} polls, {slow["mbpoll_cpu"]:.2f} s)')]
    ratios.append(('poll_cpu', statistics.median(tool) / mb))
    # The floor the tool is held to is the one under the same environment settings as the tool:
    # what is left between the two is the tool's own work beyond showing a poll.
    ratios.append(('poll_cpu_floor', statistics.median(same_run)))
    ratios.append(('poll_cpu_total_floor',
                   statistics.median((t + tx) / (f + fx) for t, tx, f, fx in zip(tool, tool_x, floor_env, floor_env_x))))
    ratios.append(('poll_cpu_spread', max(tool) / min(tool)))

    # Cadence: the run in the middle of the 50 ms runs (the worst one beside it), and the 1000 ms run.
    def cadence(interval, polls):
        by_share = sorted(polls, key=lambda p: p['poll_requests'] / p['poll_ideal'])
        by_p99 = sorted(polls, key=lambda p: p['poll_dev_p99_ms'])
        share, p99 = by_share[len(polls) // 2], by_p99[len(polls) // 2]
        sent = f"{share['poll_requests']:.0f} / {share['poll_ideal']:.0f}"
        deviation = f"{p99['poll_dev_median_ms']:.3f} / {p99['poll_dev_p99_ms']:.3f}"
        if len(polls) > 1:
            sent += f" (median of {len(polls)} runs; worst {by_share[0]['poll_requests']:.0f} / {by_share[0]['poll_ideal']:.0f})"
            deviation += f" (median of {len(polls)} runs; worst p99 {by_p99[-1]['poll_dev_p99_ms']:.3f})"
        rows.extend([(f'cadence {interval} ms: sent / ideal', sent),
                     (f'cadence {interval} ms: tick deviation median / p99 (ms)', deviation)])
        ratios.append((f'cadence_count_{interval}ms', 0.99 * share['poll_ideal'] / share['poll_requests']))
        ratios.append((f'cadence_p99_{interval}ms', p99['poll_dev_p99_ms'] / 5.0))
    cadence(50, [p['tool'] for p in runs])
    cadence(1000, [slow['tool1000']])

    ms = {mode: statistics.median(t for t, _ in s) for mode, s in starts.items()}
    rss = {mode: max(r for _, r in s) for mode, s in starts.items()}
    rows += [(f'startup tool / minimal Qt window / with a Chinese caption, median of {STARTS} (ms)',
              f"{ms['tool']:.1f} / {ms['minimal']:.1f} / {ms['minimal-cjk']:.1f}"),
             ('peak RSS tool / minimal Qt window / with a Chinese caption (KiB)',
              f"{rss['tool']} / {rss['minimal']} / {rss['minimal-cjk']}"),
             ('load average at start / end', f'{load_start:.2f} / {load():.2f}')]
    ratios.append(('startup', ms['tool'] / ms['minimal']))
    ratios.append(('rss', rss['tool'] / rss['minimal']))
    ratios.append(('startup_cjk', ms['tool'] / ms['minimal-cjk']))
    ratios.append(('rss_cjk', rss['tool'] / rss['minimal-cjk']))
    rows += log_rows
    ratios += log_ratios

    # 6. gx7140r-cli poll against mbpoll, at the same time, each against its own simulated module
    import cli_poll_cpu
    cli_rows, cli_ratio = cli_poll_cpu.measure(BUILD, POLL_SECONDS)
    rows += cli_rows
    ratios.append(cli_ratio)

    # 7. gx7140r-cli polling a bus of 10 paced simulated modules at the shortest interval that fits
    import cli_bus
    bus_rows, bus_ratio = cli_bus.measure(BUILD, POLL_SECONDS)
    rows += bus_rows
    ratios.append(bus_ratio)

    width = max(len(k) for k, _ in rows)
    for k, v in rows:
        print(f'{k:<{width}}  {v}')
    print()
    for name, value in ratios:
        print(f'RATIO {name} {value:.3f}')


if __name__ == '__main__':
    main()
