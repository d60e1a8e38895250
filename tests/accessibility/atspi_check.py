#!/usr/bin/python3
"""What a screen reader hears, through AT-SPI, from the real window on an X server.

    atspi_check.py TOOL SIM

Starts the simulated module (every second reply with a bad CRC) and the tool on its terminal,
then checks over the accessibility bus: the five lists are named by their captions, the counters'
names are their numbers and follow each request and reply, and the receive box says so while it
shows a rejected reply. Run by run_atspi.sh inside a virtual X server and a private D-Bus session.
"""
import os
import re
import subprocess
import sys
import tempfile
import time

import pyatspi

LISTS = {'串口号', '波特率', '校验位', '数据位', '停止位'}
RECEIVED, REQUESTED = '成功接收 计数', '循环 计数'
REJECTED = '无效应答，未解码'
TIMEOUT = 20.0


def fail(message):
    print('FAIL: ' + message)
    sys.exit(1)


def wait_for(what, probe):
    """The first truthy value of probe() within the timeout."""
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        try:
            value = probe()
        except Exception:  # the tree is still being built
            value = None
        if value:
            return value
        time.sleep(0.1)
    fail('timed out waiting for ' + what)


def tool_application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == 'gx7140r-tool':
            return app
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def main():
    tool, sim = sys.argv[1], sys.argv[2]
    config = tempfile.TemporaryDirectory()
    module = subprocess.Popen([sim, '--com', '0', '--steady', '--fault', 'bad-crc',
                               '--fault-every', '2'], stdout=subprocess.PIPE, text=True)
    window = None
    try:
        pty = re.search(r'/dev/pts/\d+', module.stdout.readline()).group(0)
        env = dict(os.environ, QT_QPA_PLATFORM='xcb', QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1',
                   XDG_CONFIG_HOME=config.name)
        window = subprocess.Popen([tool, '--port', 'COM1=' + pty], env=env)
        app = wait_for('the tool on the accessibility bus', tool_application)

        def controls():
            found = list(descendants(app))
            lists = [c for c in found if c.getRole() == pyatspi.ROLE_COMBO_BOX]
            return found if len(lists) == 5 else None

        found = wait_for('the five lists', controls)
        names = {c.name for c in found if c.getRole() == pyatspi.ROLE_COMBO_BOX}
        if names != LISTS:
            fail('the lists are named %s, not %s' % (sorted(names), sorted(LISTS)))

        by_description = {c.description: c for c in found if c.description in (RECEIVED, REQUESTED)}
        if set(by_description) != {RECEIVED, REQUESTED}:
            fail('the counters are not described as %s and %s' % (RECEIVED, REQUESTED))
        received, requested = by_description[RECEIVED], by_description[REQUESTED]
        if (received.name, requested.name) != ('0', '0'):
            fail('the counters read %r / %r at start, not 0 / 0' % (received.name, requested.name))
        once = next(c for c in found if c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == '单次')
        state = next(c for c in found if c.getRole() == pyatspi.ROLE_TEXT and c.name == '串口接收数据')

        # a good reply, then one with a bad CRC
        for count, description in (('1', ''), ('2', REJECTED)):
            once.queryAction().doAction(0)
            wait_for('the counters to read %s / %s' % (count, count),
                     lambda: received.name == count and requested.name == count)
            wait_for('the receive box described as %r' % description,
                     lambda: state.description == description)
        print('PASS: lists named by their captions, counters read %s / %s, rejected reply '
              'described' % (received.name, requested.name))
    finally:
        for process in (window, module):
            if process is not None:
                process.terminate()
                process.wait(timeout=10)


if __name__ == '__main__':
    main()
