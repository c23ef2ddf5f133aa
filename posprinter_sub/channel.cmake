# The printer channel (CCommPrinterDriver, through the printer SDK loaded at run time) and
# the printer status store (CRJCollection).
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/CommPrinterDriver.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJCollection.cpp)

add_gtest_program(rjcollection_test SOURCES tests/rjcollection_test.cpp LIBS prennik_core)

# SDK libraries that each lack one entry point the channel requires.
foreach(missing no31 nodirectio)
  add_library(channel_sdk_${missing} SHARED tests/channel_partial_sdk.cpp
                                            tests/channel_sdk_${missing}.def)
  set_target_properties(channel_sdk_${missing} PROPERTIES PREFIX "")
  target_link_libraries(channel_sdk_${missing} PRIVATE common)
endforeach()
# A second process that holds the printer mutex while the test writes.
add_executable(channel_mutex_holder tests/channel_mutex_holder.cpp)
target_link_libraries(channel_mutex_holder PRIVATE common)

# The channel against the simulated printer (TbxQdApi.dll, linked so that its state and its
# test controls are the ones the channel's LoadLibrary finds).
add_gtest_program(channel_test SOURCES tests/channel_test.cpp LIBS prennik_core TbxQdApi)
add_dependencies(channel_test channel_sdk_no31 channel_sdk_nodirectio channel_mutex_holder)
