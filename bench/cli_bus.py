#!/usr/bin/env python3
"""cli_bus: a bus of 10 simulated modules at 9600 baud with the line's real pace
(`gx7140r-sim --paced --slave 1-10`) polled by `gx7140r-cli poll --address 1-10` at the shortest
interval that fits a round: readings per second against the wire's pace (a reading is 8 + 25
bytes, 34.375 ms on the wire at 9600 baud) and the cadence, the spread of the rounds' start-to-start
times. Called by run.py; on its own:

    bench/cli_bus.py BUILD_DIR [SECONDS]

The shortest interval that fits is found first: a run at the shortest interval the command line
takes (50 ms) polls as fast as the line allows; the longest round it saw, rounded up to 10 ms,
is the interval of the measured run."""
import datetime
import math
import statistics
import subprocess
import sys
import tempfile

from cli_poll_cpu import Sim

MODULES = 10
BAUD = 9600
READING_BYTES = 8 + 25
WIRE_MS = READING_BYTES * 10 * 1000 / BAUD  # 34.375


def poll(build, path, interval_ms, *limit):
    """Runs the poll; the start time of each round (its first reading's time, in ms) and stderr."""
    with tempfile.TemporaryFile(mode='w+') as out, tempfile.TemporaryFile(mode='w+') as err:
        subprocess.run([f'{build}/cli/gx7140r-cli', '--port', path, '--baud', str(BAUD),
                        '--address', f'1-{MODULES}', '--format', 'csv', 'poll', '--interval',
                        str(interval_ms), *limit], stdout=out, stderr=err, check=False)
        out.seek(0)
        err.seek(0)
        rows = [line.split(',') for line in out.read().splitlines()[1:]]
        errors = err.read()
    bad = [row for row in rows if row[5] != 'accepted']
    if bad:
        raise RuntimeError(f'{len(bad)} readings failed: {errors}')
    starts = [datetime.datetime.fromisoformat(row[0]).timestamp() * 1000
              for row in rows if row[-2] == '1']
    ends = [datetime.datetime.fromisoformat(row[0]).timestamp() * 1000
            for row in rows if row[-2] == str(MODULES)]
    return starts, ends, len(rows), errors


def shortest_fitting_interval(build, path):
    """The longest round of 20 at full speed (first reading to last, plus one reading's wire
    time before the first), rounded up to 10 ms."""
    starts, ends, _, _ = poll(build, path, 50, '--count', '20')
    longest = max(end - start for start, end in zip(starts, ends)) + WIRE_MS
    return int(math.ceil(longest / 10) * 10)


def measure(build, seconds):
    """Table rows and the ('cli_bus_pace', ratio) pair: readings per second over the wire's pace
    (higher is better: 1.0 is every byte time of the run spent on a reading)."""
    sim = Sim(build, '--paced', '--baud', str(BAUD), '--slave', f'1-{MODULES}')
    try:
        interval = shortest_fitting_interval(build, sim.path)
        starts, _, readings, errors = poll(build, sim.path, interval, '--duration', str(seconds))
    finally:
        sim.close()
    span_s = (starts[-1] - starts[0]) / 1000 + interval / 1000
    rate = readings / span_s
    pace = 1000 / WIRE_MS
    gaps = [b - a for a, b in zip(starts, starts[1:])]
    deviations = sorted(abs(gap - interval) for gap in gaps)
    p99 = deviations[min(len(deviations) - 1, int(0.99 * len(deviations)))]
    rows = [(f'cli_bus interval that fits {MODULES} paced modules at {BAUD} baud (ms)', f'{interval}'),
            ('cli_bus readings / s, wire pace (1 / 34.375 ms)',
             f'{rate:.2f} / {pace:.2f} ({readings} readings, {len(starts)} rounds in {span_s:.1f} s)'),
            ('cli_bus round start-to-start (ms): median, min / max',
             f'{statistics.median(gaps):.1f}, {min(gaps):.1f} / {max(gaps):.1f}'),
            ('cli_bus deviation from the interval (ms): median / p99 / max',
             f'{statistics.median(deviations):.1f} / {p99:.1f} / {deviations[-1]:.1f}'),
            ('cli_bus rounds that did not fit (said on stderr)',
             'yes' if 'polling as fast as the line allows' in errors else 'none')]
    return rows, ('cli_bus_pace', rate / pace)


if __name__ == '__main__':
    rows, (name, ratio) = measure(sys.argv[1] if len(sys.argv) > 1 else 'build',
                                  int(sys.argv[2]) if len(sys.argv) > 2 else 60)
    width = max(len(label) for label, _ in rows)
    for label, value in rows:
        print(f'{label:<{width}}  {value}')
    print(f'RATIO {name} {ratio:.3f}')
