#!/usr/bin/python3
"""What a screen reader hears, through AT-SPI, from the real window on an X server.

    atspi_check.py TOOL SIM

Starts the simulated module (every second reply with a bad CRC) and the tool on its terminal,
then checks over the accessibility bus: the five lists are named by their captions, the port and
baud lists hold their entries as items of a child list with the current entry selected, also after
the entry changes, the counters' names are their numbers and follow each request and reply, the
receive box says so while it shows a rejected reply, the value boxes are described by their unit
or range, and the lamp is a status indicator whose state follows as its description. Run by
run_atspi.sh inside a virtual X server and a private D-Bus session.
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
PORTS = ['COM%d' % n for n in range(1, 26)]
RATES = ['2400', '4800', '9600', '19200']
VALUE_BOXES = {'气体浓度': 'ppm', '量程系数': '值范围为：0.5到2.0，默认值1.0'}
LAMP = '数据采集通讯状态指示'
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


def entries(combo):
    """The item names of the list a combo box holds, and those of its selected items."""
    lists = [c for c in combo if c is not None and c.getRole() == pyatspi.ROLE_LIST]
    if len(lists) != 1:
        return None
    items = [c for c in lists[0] if c is not None]
    return ([c.name for c in items],
            [c.name for c in items if c.getState().contains(pyatspi.STATE_SELECTED)])


def check_entries(combo, names, selected):
    found = wait_for('the entries of %s' % combo.name, lambda: entries(combo))
    if found[0] != names:
        fail('%s holds %s, not %s' % (combo.name, found[0], names))
    wait_for('%s to select %s (it selects %s)' % (combo.name, selected, entries(combo)[1]),
             lambda: entries(combo)[1] == [selected])


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

        combos = {c.name: c for c in found if c.getRole() == pyatspi.ROLE_COMBO_BOX}
        check_entries(combos['串口号'], PORTS, 'COM1')
        check_entries(combos['波特率'], RATES, '9600')

        by_description = {c.description: c for c in found if c.description in (RECEIVED, REQUESTED)}
        if set(by_description) != {RECEIVED, REQUESTED}:
            fail('the counters are not described as %s and %s' % (RECEIVED, REQUESTED))
        received, requested = by_description[RECEIVED], by_description[REQUESTED]
        if (received.name, requested.name) != ('0', '0'):
            fail('the counters read %r / %r at start, not 0 / 0' % (received.name, requested.name))
        for name, description in VALUE_BOXES.items():
            box = next((c for c in found if c.getRole() == pyatspi.ROLE_TEXT and c.name == name),
                       None)
            if box is None or box.description != description:
                fail('the value box %s is described as %r, not %r'
                     % (name, box and box.description, description))
        lamps = [c for c in found if c.name == LAMP]
        if len(lamps) != 1 or lamps[0].getRole() != pyatspi.ROLE_STATUS_BAR:
            fail('the lamp is %s, not one status indicator'
                 % [c.getRoleName() for c in lamps])
        lamp = lamps[0]
        once = next(c for c in found if c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == '单次')
        state = next(c for c in found if c.getRole() == pyatspi.ROLE_TEXT and c.name == '串口接收数据')

        # a good reply, then one with a bad CRC
        for count, description in (('1', ''), ('2', REJECTED)):
            once.queryAction().doAction(0)
            wait_for('the counters to read %s / %s' % (count, count),
                     lambda: received.name == count and requested.name == count)
            wait_for('the receive box described as %r' % description,
                     lambda: state.description == description)
            if count == '1':
                wait_for('the lamp green after a reply', lambda: lamp.description == '绿灯')

        # the next baud rate chosen as a user does (a click opens the popup, Down, Return): the
        # selected item follows
        rates = combos['波特率']
        x, y, width, height = rates.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, 'b1c')
        wait_for('the baud list open', lambda: rates.getState().contains(pyatspi.STATE_EXPANDED)
                 or any(c.getState().contains(pyatspi.STATE_SHOWING) for c in rates))
        for key in (0xff54, 0xff0d):  # XK_Down, XK_Return
            pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
        check_entries(rates, RATES, '19200')
        # and with the popup closed, the focused list's previous entry (Up): Qt's combo box moves
        # only its entry, the popup's selection is kept up by the tool
        wait_for('the baud list closed and focused',
                 lambda: rates.getState().contains(pyatspi.STATE_FOCUSED))
        pyatspi.Registry.generateKeyboardEvent(0xff52, None, pyatspi.KEY_SYM)  # XK_Up
        check_entries(rates, RATES, '9600')
        close = next(c for c in found if c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == '关闭串口')
        close.queryAction().doAction(0)
        wait_for('the lamp red once the port is closed', lambda: lamp.description == '红灯')
        print('PASS: lists named by their captions with their entries as items, the entry '
              'selected and followed, counters read %s / %s, rejected reply described, value '
              'boxes described, the lamp a status indicator that followed the port'
              % (received.name, requested.name))
    finally:
        for process in (window, module):
            if process is not None:
                process.terminate()
                process.wait(timeout=10)


if __name__ == '__main__':
    main()
