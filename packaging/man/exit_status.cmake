# Makes the "Exit status:" part of a program's --help, which help2man turns into a subsection, the
# manual page's own EXIT STATUS section, where man-pages(7) puts it: after OPTIONS, before
# ENVIRONMENT, FILES and EXAMPLES (the help text ends with it).
#   cmake -DPAGE=.../program.1 -P exit_status.cmake
cmake_policy(VERSION 3.25)
file(READ ${PAGE} page)
string(FIND "${page}" ".SS \"Exit status:\"" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${PAGE}: the program's --help has no \"Exit status:\" part")
endif()
string(REPLACE ".SS \"Exit status:\"" ".SH \"EXIT STATUS\"" page "${page}")
file(WRITE ${PAGE} "${page}")
