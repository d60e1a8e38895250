#!/usr/bin/env python3
"""cli_poll_cpu: CPU seconds (user + system, start-up included) per 1000 polls of
`gx7140r-cli poll` against mbpoll's, both reading the module's 10 registers every 50 ms, at the
same time, each from its own simulated module. Called by run.py; on its own:

    bench/cli_poll_cpu.py BUILD_DIR [SECONDS]

Needs mbpoll and the built gx7140r-cli and gx7140r-sim."""
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile

INTERVAL_MS = 50


def cpu_seconds_at_exit(proc):
    """Waits for the child; user + system CPU seconds it used."""
    _, _, usage = os.wait4(proc.pid, 0)
    return usage.ru_utime + usage.ru_stime


def startup_cpu(args, runs=10):
    """Median CPU seconds of a program that starts and ends at once."""
    return statistics.median(cpu_seconds_at_exit(subprocess.Popen(args, stdout=subprocess.DEVNULL))
                             for _ in range(runs))


class Sim:
    """A steady simulated module (or a bus, as the options make it) in its own process; `path` is
    its terminal."""

    def __init__(self, build, *options):
        self.proc = subprocess.Popen([f'{build}/sim/gx7140r-sim', '--com', '0', '--steady',
                                      *options], stdout=subprocess.PIPE, text=True)
        self.path = re.search(r'/dev/pts/\d+', self.proc.stdout.readline()).group(0)

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def measure(build, seconds):
    """Table rows and the ('cli_poll_cpu', ratio) pair. Both pollers run at the same time, each
    against its own simulated module, so that both see the same load on the machine."""
    sims = [Sim(build), Sim(build)]
    try:
        with tempfile.TemporaryFile(mode='w+') as cli_out, tempfile.TemporaryFile(mode='w+') as mb_out:
            cli = subprocess.Popen([f'{build}/cli/gx7140r-cli', '--port', sims[0].path, '--format', 'csv',
                                    'poll', '--interval', str(INTERVAL_MS),
                                    '--count', str(seconds * 1000 // INTERVAL_MS)],
                                   stdout=cli_out, stderr=subprocess.DEVNULL, text=True)
            # mbpoll writes to a file: a pipe nobody reads would fill up and stop it.
            mbpoll = subprocess.Popen(['mbpoll', '-m', 'rtu', '-b', '9600', '-P', 'none', '-a', '1', '-r', '1',
                                       '-c', '10', '-t', '4', '-l', str(INTERVAL_MS), '-o', '1', sims[1].path],
                                      stdout=mb_out, stderr=subprocess.DEVNULL, text=True)
            cli_cpu = cpu_seconds_at_exit(cli)
            mbpoll.send_signal(signal.SIGINT)
            mb_cpu = cpu_seconds_at_exit(mbpoll)
            cli_out.seek(0)
            mb_out.seek(0)
            cli_polls = cli_out.read().count(',accepted,')
            mb_polls = len(re.findall(r'^\[1\]:', mb_out.read(), re.M))
    finally:
        for sim in sims:
            sim.close()
    ours = cli_cpu / cli_polls * 1000 if cli_polls else float('nan')
    theirs = mb_cpu / mb_polls * 1000 if mb_polls else float('nan')
    rows = [(f'cli_poll_cpu gx7140r-cli, {INTERVAL_MS} ms (CPU s / 1000 polls)',
             f'{ours:.4f} ({cli_polls} polls, {cli_cpu:.2f} s)'),
            (f'cli_poll_cpu mbpoll, {INTERVAL_MS} ms (CPU s / 1000 polls)',
             f'{theirs:.4f} ({mb_polls} polls, {mb_cpu:.2f} s)'),
            ('cli_poll_cpu start-up, gx7140r-cli --version / mbpoll -h (CPU ms, median of 10)',
             f"{startup_cpu([f'{build}/cli/gx7140r-cli', '--version']) * 1000:.1f} / "
             f"{startup_cpu(['mbpoll', '-h']) * 1000:.1f}")]
    return rows, ('cli_poll_cpu', ours / theirs)


if __name__ == '__main__':
    rows, (name, ratio) = measure(sys.argv[1] if len(sys.argv) > 1 else 'build',
                                  int(sys.argv[2]) if len(sys.argv) > 2 else 60)
    for label, value in rows:
        print(f'{label}  {value}')
    print(f'RATIO {name} {ratio:.3f}')
