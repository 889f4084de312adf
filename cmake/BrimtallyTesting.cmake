# SPDX-License-Identifier: MIT
# brimtally_add_gtest(<name> LABELS <label>... SOURCES <file>... [LIBS <target>...]
#                     [PROPERTIES <ctest property> <value>...])
# One GoogleTest executable; every test case becomes its own ctest entry.
find_package(GTest REQUIRED)
include(GoogleTest)

function(brimtally_add_gtest name)
  cmake_parse_arguments(ARG "" "" "LABELS;SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120 ${ARG_PROPERTIES}
    DISCOVERY_TIMEOUT 60)
endfunction()
