# One CTest test per test program, run under Wine in the build's private prefix.
# scripts/test.sh starts the persistent wineserver and Xvfb that these runs share.
set(WINE_TEST_ENV
    "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
    "WINEARCH=win32"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml="
    "LANG=en_US.UTF-8"
    "LC_ALL=en_US.UTF-8")

function(add_wine_test target)
  add_test(NAME ${target} COMMAND wine $<TARGET_FILE:${target}> --gtest_color=no
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${target} PROPERTIES ENVIRONMENT "${WINE_TEST_ENV}" TIMEOUT 300)
endfunction()

# A GoogleTest program: sources, libraries to link, registered as one test.
function(add_gtest_program target)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE gtest_main gmock ${T_LIBS})
  add_wine_test(${target})
endfunction()
