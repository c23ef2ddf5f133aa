# Buffered modes (TransactionPrint, RotatePrint, PageModePrint, ClearPrintArea), ValidateData,
# SetLogo and PrintTwoNormal, CutPaper and MarkFeed, and DrawRuledLine.
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOModes.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOValidate.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOCut.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSORuled.cpp)

# Driven through prennik.dll by the fake core; these methods only build lists, so no
# printer is needed.
add_gtest_program(prennik_modes_test
  SOURCES tests/ModesBufferTest.cpp tests/ModesTextTest.cpp tests/ModesCutTest.cpp
          tests/ModesRuledTest.cpp
  LIBS fakecore)
add_dependencies(prennik_modes_test prennik)
