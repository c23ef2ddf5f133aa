# Sub-module entry: exports, slots, the common frame, command tokens and the data converter.
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/LogContext.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/CommandToken.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/DataConverter.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/PrennikApp.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSO.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSODispatch.cpp)

# The DLL: the exports and the version and string resources over the static core.
add_library(prennik SHARED
            ${CMAKE_CURRENT_SOURCE_DIR}/Exports.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/prennik.rc
            ${CMAKE_CURRENT_SOURCE_DIR}/prennik.def)
set_target_properties(prennik PROPERTIES PREFIX "")
target_link_libraries(prennik PRIVATE prennik_core)

# A fake core that loads prennik.dll, builds the core's records and records the callbacks.
add_library(fakecore STATIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/fakecore/FakeCore.cpp
                            ${CMAKE_CURRENT_SOURCE_DIR}/tests/fakecore/FakeTokenizer.cpp)
target_include_directories(fakecore PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/fakecore)
target_link_libraries(fakecore PUBLIC submodule_api common)

# In-process tests link the core and the exports directly (the version resource too, so
# the version check sees 1.14.1.3) and watch the log lines.
add_gtest_program(entry_core_test
                  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/entry_exports_test.cpp
                          ${CMAKE_CURRENT_SOURCE_DIR}/tests/entry_tokens_test.cpp
                          ${CMAKE_CURRENT_SOURCE_DIR}/tests/entry_converter_test.cpp
                          ${CMAKE_CURRENT_SOURCE_DIR}/Exports.cpp
                          ${CMAKE_CURRENT_SOURCE_DIR}/prennik.rc
                  LIBS prennik_core)
# Through the DLL, as the core sees it.
add_gtest_program(entry_dll_test
                  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/entry_dll_test.cpp
                  LIBS fakecore)
add_dependencies(entry_dll_test prennik)
