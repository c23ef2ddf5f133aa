# Device settings, Windows printer lookup, status queues, memory switches and the property
# snapshot of the printer sub-module.
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOSettings.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/StatusQueue.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/MemorySwitches.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOProperties.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/WindowsPrinter.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/ModuleResources.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOInit.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOConnect.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOStatus.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOServices.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOPrint.cpp)

# prennik_core is created after every fragment is read: add the platform libraries then.
cmake_language(DEFER CALL target_link_libraries prennik_core PUBLIC winspool version)

# The module's version and string resources (the DLL lists prennik.rc itself); resources
# only reach a binary that lists them, so the test program carries them too.
set(PRENNIK_RC ${CMAKE_CURRENT_SOURCE_DIR}/prennik.rc)

add_gtest_program(prennik_settings_test
  SOURCES tests/SubSOSettingsTest.cpp tests/StatusQueueTest.cpp tests/MemorySwitchesTest.cpp
          tests/SubSOPropertiesTest.cpp tests/WindowsPrinterTest.cpp ${PRENNIK_RC}
  LIBS prennik_core testprinter)

# prennik.dll driven as the core drives it, against the simulated printer (linked, so that its
# test controls see the printers of the TbxQdApi.dll that prennik loads).
add_gtest_program(prennik_cycle_test
  SOURCES tests/SubSOCycleTest.cpp tests/SubSOServicesTest.cpp
  LIBS fakecore TbxQdApi testprinter)
add_dependencies(prennik_cycle_test prennik)

# The instance in this process (exports linked in), for what the DLL does not show.
add_gtest_program(prennik_subso_test
  SOURCES tests/SubSOInProcessTest.cpp Exports.cpp ${PRENNIK_RC}
  LIBS prennik_core TbxQdApi)
