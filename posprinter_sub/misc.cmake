# ClearOutput, the refused methods, DirectIO, statistics and CheckHealth of the printer
# sub-module.
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/BstrText.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOClear.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSODirectIO.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOStatistics.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOHealth.cpp)

# pString and the statistics buffer are BSTRs.
cmake_language(DEFER CALL target_link_libraries prennik_core PUBLIC oleaut32)

# Through prennik.dll as the core drives it, against the simulated printer.
add_gtest_program(prennik_misc_test
  SOURCES tests/MiscClearTest.cpp tests/MiscDirectIOTest.cpp tests/MiscStatisticsTest.cpp
          tests/MiscHealthTest.cpp
  LIBS fakecore TbxQdApi testprinter oleaut32)
target_compile_definitions(prennik_misc_test PRIVATE DEVICETEST_NAME="Misc")
add_dependencies(prennik_misc_test prennik)
