# Runs the GoogleTest cases of the Windows test programs under Wine, as the
# tests of tests/windows run. `windows_tests` builds the programs.
#
# dorvalune_wine_test: without a display (tests/windows/run-with-wine.sh), in
# the build's Wine prefix.
# dorvalune_wine_window_test: for programs that open windows, on an X server
# of their own with a window manager (tests/run-with-xvfb.sh, then
# tests/run-with-wine-window.sh), in the build's Wine prefix for window tests,
# one such test at a time.
include_guard(DIRECTORY)  # GoogleTest, included in each folder that adds tests
include(GoogleTest)

# With USER name, a run as root runs the program as that user, in a prefix
# of that user's.
function(dorvalune_wine_test target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "USER" "")
  set(prefix WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix)
  if(arg_USER)
    set(prefix "${prefix}-${arg_USER};WINE_USER=${arg_USER}")
  endif()
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;${prefix};${CMAKE_SOURCE_DIR}/tests/windows/run-with-wine.sh")
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300)
  if(TARGET windows_tests)
    add_dependencies(windows_tests ${target})
  endif()
endfunction()

function(dorvalune_wine_window_test target)
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix-windows;${CMAKE_SOURCE_DIR}/tests/run-with-xvfb.sh;--window-manager;${CMAKE_SOURCE_DIR}/tests/run-with-wine-window.sh")
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES RESOURCE_LOCK wine-windows TIMEOUT 300)
  if(TARGET windows_tests)
    add_dependencies(windows_tests ${target})
  endif()
endfunction()
