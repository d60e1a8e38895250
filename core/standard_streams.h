#pragma once

// What both programs do before anything else, so that nothing they write lands where it must not.
namespace standard_streams {

// Which of standard input, output and error the program was started without.
struct Closed {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Opens each of descriptors 0-2 that is closed on /dev/null, so that no file the program opens
// later takes its number: a serial port would get the error text, a lock file the readings.
// The first statement of main.
Closed reopenClosed();

// The signal caught by a handler that does nothing: the write that raised it (SIGXFSZ: past the
// file size limit; SIGPIPE: into a pipe nobody reads) fails with its error instead, as when the
// signal is ignored; unlike an ignored signal, a program started from this one (the browser
// behind the product link) gets the signal's default back.
void catchWithoutEffect(int signal);

} // namespace standard_streams
