#pragma once

class QLabel;

// A caption wider than its label (an English one: the Chinese captions fit) wraps onto two lines,
// the label grown about its middle so that the row stays where it was. A caption that fits, or
// one word alone, is left as it is.
void wrapOverlongCaption(QLabel &label);
