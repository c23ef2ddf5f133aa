# Command builder: renders command tokens into printer bytes and builds the fixed tokens.
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/RJBytes.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDevice.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceDispatch.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceText.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDevicePage.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceFeed.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceRuled.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceDirect.cpp)
add_gtest_program(builder_render_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_support.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_render_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_text_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_page_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_ruled_test.cpp
  LIBS prennik_core)

# The direct writes against the simulated printer (linked, so that its test controls see the
# same printers as the channel's LoadLibrary).
add_gtest_program(builder_direct_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_support.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_direct_test.cpp
  LIBS prennik_core TbxQdApi)

# Speed of the render entry on a realistic receipt; run by hand, not a test.
add_executable(render_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/render_bench.cpp)
target_link_libraries(render_bench PRIVATE prennik_core)
