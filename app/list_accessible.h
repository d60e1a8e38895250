#pragma once

// The window's lists (port, baud rate, parity, data bits, stop bits) as a screen reader meets
// them: named by the caption beside them, their entry as the value. Qt on Linux names a combo box
// by its current entry and leaves the caption to a labelled-by relation; a screen reader that
// reads names then says "COM1" where it should say "串口号". Installs, once, the accessible
// interface that names each combo box by its accessible name when it has one (by its entry
// otherwise, as before), gives its entry as the value, and keeps Qt's children: the popup's list
// with one item per entry, the entry selected in it.
void installListAccessibility();
