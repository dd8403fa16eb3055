# Writes the monitor's label file into a C++ source, so that the web edition's debugger names the
# monitor's routines as the desktop's does:
#   cmake -DIN=monitor.lbl -DOUT=monitor_labels.cpp -P embed_labels.cmake
file(READ ${IN} text)
file(WRITE ${OUT} "// Written by web/embed_labels.cmake from ${IN}.\n#include <string_view>\n\nnamespace orv {\n\nstd::string_view monitorLabelsText() {\n    return R\"orvlabels(${text})orvlabels\";\n}\n\n} // namespace orv\n")
