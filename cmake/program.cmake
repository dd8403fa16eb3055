# The Qt program `orv`: control/, panel/ and the program files of the core's folders make orvprogram, so
# the program's tests link the same code the executable runs.
find_package(Qt6 REQUIRED COMPONENTS Widgets Multimedia)
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # The MIDI device silences the ALSA library's own error printing.
  pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
endif()

set(ORV_PROGRAM_SOURCES
  control/command_line.cpp
  control/commands.cpp
  control/edit_commands.cpp
  control/ending.cpp
  control/guide.cpp
  control/host.cpp
  control/keypad.cpp
  control/main_window.cpp
  control/menus.cpp
  control/message_box.cpp
  control/pacer.cpp
  control/program_files.cpp
  control/run_control.cpp
  control/run_state.cpp
  control/startup.cpp
  control/state_commands.cpp
  panel/layout.cpp
  panel/paint.cpp
  panel/panel_widget.cpp
  objfile/about_dialog.cpp
  objfile/file_commands.cpp
  objfile/file_dialog.cpp
  objfile/save_dialog.cpp
  tape/midi_device.cpp
  tape/tape_commands.cpp
  debugger/code_pane.cpp
  debugger/source_pane.cpp
  debugger/debugger_window.cpp
)

# The click sound and the icon are drawn by our own tools at build time, so they are reproducible.
set(ORV_RES_DIR ${CMAKE_CURRENT_BINARY_DIR}/resources)
add_executable(orv_make_click tools/make_click.cpp)
add_custom_command(
  OUTPUT ${ORV_RES_DIR}/orvclick.wav
  COMMAND orv_make_click ${ORV_RES_DIR}/orvclick.wav
  DEPENDS orv_make_click
  COMMENT "Synthesizing the click sound")

set(ORV_ICON_SIZES 16 24 32 48 64 128 256)
set(ORV_ICON_FILES)
set(ORV_ICON_QRC_ENTRIES)
foreach(size IN LISTS ORV_ICON_SIZES)
  list(APPEND ORV_ICON_FILES ${ORV_RES_DIR}/orvicon-${size}.png)
  string(APPEND ORV_ICON_QRC_ENTRIES
    "    <file alias=\"orvicon/${size}.png\">${ORV_RES_DIR}/orvicon-${size}.png</file>\n")
endforeach()
add_executable(orv_make_icon tools/make_icon.cpp)
target_link_libraries(orv_make_icon PRIVATE Qt6::Gui)
add_custom_command(
  OUTPUT ${ORV_ICON_FILES}
  COMMAND orv_make_icon ${ORV_RES_DIR} ${ORV_ICON_SIZES}
  DEPENDS orv_make_icon
  COMMENT "Drawing the program icon")

set(ORV_ROM_QRC_ENTRY "")
if(TARGET orv_monitor_hex)
  set(ORV_ROM_QRC_ENTRY "    <file alias=\"orvROM\">${ORV_MONITOR_HEX}</file>\n")
  # The monitor's labels, so the debugger window names its routines from the start.
  string(APPEND ORV_ROM_QRC_ENTRY "    <file alias=\"orvlabels\">${ORV_MONITOR_LABELS}</file>\n")
endif()
configure_file(resources/orv.qrc.in ${ORV_RES_DIR}/orv.qrc @ONLY)
qt6_add_resources(ORV_RESOURCE_SOURCES ${ORV_RES_DIR}/orv.qrc)

# An object library: all its objects go straight into orv and into the program's tests, ahead of the core
# on the link line. Among them is the program's side of the core's seams (control/host.cpp for the
# repaint requests, tape/midi_device.cpp for the MIDI device), which only the core calls.
add_library(orvprogram OBJECT ${ORV_PROGRAM_SOURCES} ${ORV_RESOURCE_SOURCES})
set_target_properties(orvprogram PROPERTIES AUTOMOC ON AUTOUIC ON
  AUTOUIC_SEARCH_PATHS ${CMAKE_CURRENT_SOURCE_DIR}/resources)
target_link_libraries(orvprogram PUBLIC orvcore Qt6::Widgets Qt6::Multimedia PkgConfig::RTMIDI)
if(TARGET PkgConfig::ALSA)
  target_link_libraries(orvprogram PUBLIC PkgConfig::ALSA)
endif()
target_include_directories(orvprogram PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
if(TARGET orv_monitor_hex)
  add_dependencies(orvprogram orv_monitor_hex)
endif()

add_executable(orv control/main.cpp)
target_link_libraries(orv PRIVATE orvprogram)
# --version and the About box answer with the project's version.
set_source_files_properties(control/command_line.cpp objfile/about_dialog.cpp PROPERTIES
  COMPILE_DEFINITIONS ORV_VERSION="${PROJECT_VERSION}")
set_target_properties(orv PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The user guide travels beside the executable: the Help menu opens its pages in the browser.
add_custom_target(orv_guide
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_SOURCE_DIR}/docs ${CMAKE_BINARY_DIR}/docs
  COMMENT "Copying the user guide")
add_dependencies(orv orv_guide)

# Installed, the guide sits in share/doc/orvane beside bin/, where the program looks for it too.
install(TARGETS orv RUNTIME DESTINATION bin)
# The developers' map in docs/ is no page of the guide.
install(DIRECTORY docs/ DESTINATION share/doc/orvane PATTERN architecture.md EXCLUDE)
# The desktop's menu entry, and the icon it names in the usual theme at each size we draw.
install(FILES resources/orvane.desktop DESTINATION share/applications)
install(FILES resources/orvane.metainfo.xml DESTINATION share/metainfo)
# The file types it opens; the desktop takes them in after `update-mime-database <prefix>/share/mime`.
install(FILES resources/orvane-mime.xml DESTINATION share/mime/packages RENAME orvane.xml)
install(FILES resources/orv.1 DESTINATION share/man/man1)
foreach(size IN LISTS ORV_ICON_SIZES)
  install(FILES ${ORV_RES_DIR}/orvicon-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME orvane.png)
endforeach()
