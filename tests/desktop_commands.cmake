# The desktop commands (tools/kavrel, tools/dunmere) under a window manager on
# an X server of the test's own: their windows are framed and listed, and what
# the test started ends with it.
add_test(NAME desktop_window COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/desktop_window.sh)
set_tests_properties(desktop_window PROPERTIES TIMEOUT 1200)
