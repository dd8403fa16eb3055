# Writes the monitor image into a C++ source, so that orv-run carries its ROM with it:
#   cmake -DIN=monitor.hex -DOUT=monitor_image.cpp -P embed_monitor.cmake
# Read whole: file(STRINGS) would turn Intel HEX into the bytes it holds.
file(READ ${IN} text)
string(REPLACE "\r" "" text "${text}")
string(REGEX REPLACE "\n$" "" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
set(body "")
foreach(line IN LISTS lines)
  string(APPEND body "    \"${line}\\r\\n\"\n")
endforeach()
file(WRITE ${OUT} "// Written by runner/embed_monitor.cmake from ${IN}.\n#include \"runner/run.h\"\n\nnamespace orv {\n\nstd::string_view monitorImageText() {\n    return\n${body}    ;\n}\n\n} // namespace orv\n")
