# Barcodes: the builders of every symbology, the GS1 DataBar Expanded encoder and the
# PrintBarCode handlers.
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/Gs1Expanded.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/BarcodeData.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceBC.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceBC2D.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceBCAztec.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOBarCode.cpp)

# Encoder and builders on their own; the handlers through the exports linked in (with the
# version resource the initialisation checks).
add_gtest_program(barcode_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/builder_support.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/BarCodeGs1Test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/BarCodeBuilderTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/BarCodeMethodTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/Exports.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/prennik.rc
  LIBS prennik_core TbxQdApi)

# Time to size a QR Code from the longest data; run by hand, not a test.
add_executable(qr_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/qr_bench.cpp)
target_link_libraries(qr_bench PRIVATE prennik_core)
