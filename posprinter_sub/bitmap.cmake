# Bitmaps: image reading and 1-bit conversion (CDibImage), GDI+ conversion of BMP files the
# reader does not take (CGdiPlusDll), bitmaps stored in the printer and the raster token of
# the command builder, and the PrintBitmap, PrintMemoryBitmap and SetBitmap handlers.
list(APPEND PRENNIK_SOURCES
     ${CMAKE_CURRENT_SOURCE_DIR}/DibImage.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/DibImageDither.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/DibImageRaster.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/GdiPlusDll.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/RJDeviceBitmap.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/SubSOBitmap.cpp)
cmake_language(DEFER CALL target_link_libraries prennik_core PUBLIC gdiplus gdi32)

# Reading, dithering, raster records and the GDI+ conversion, in process.
add_gtest_program(BitmapImageTest
  SOURCES tests/BitmapImageTest.cpp tests/BitmapTestSupport.cpp tests/builder_support.cpp
  LIBS prennik_core)
# The builder's stored bitmaps against the simulated printer, token 121 and the raster token.
add_gtest_program(BitmapDeviceTest
  SOURCES tests/BitmapDeviceTest.cpp tests/builder_support.cpp
  LIBS prennik_core TbxQdApi)
# The three methods through prennik.dll as the core drives them.
add_gtest_program(BitmapMethodTest
  SOURCES tests/BitmapMethodTest.cpp tests/BitmapTestSupport.cpp tests/builder_support.cpp
  LIBS fakecore TbxQdApi testprinter prennik_core)
target_compile_definitions(BitmapMethodTest PRIVATE DEVICETEST_NAME="BitmapMethod")
add_dependencies(BitmapMethodTest prennik)
