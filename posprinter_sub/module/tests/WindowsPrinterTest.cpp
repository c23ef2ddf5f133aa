// The Windows printer lookup through the spooler, and the module's own resources.
#include <gtest/gtest.h>

#include "PrennikResources.h"
#include "TestPrinter.h"
#include "WindowsPrinter.h"

namespace {

TEST(WindowsPrinter, FoundThroughTheSpooler) {
  std::string error;
  ASSERT_TRUE(AddTestPrinter("SvcLookupPrinter", &error)) << error;
  CWindowsPrinterInfo info;
  ASSERT_TRUE(QueryWindowsPrinter("SvcLookupPrinter", &info));
  EXPECT_EQ(info.portName, "FILE:");
  EXPECT_EQ(info.driverName, "Wine PostScript Driver");
  EXPECT_EQ(ModelFromDriverName(info.driverName), "TBX910QD/911QD");
  EXPECT_TRUE(DeleteTestPrinter("SvcLookupPrinter"));
}

TEST(WindowsPrinter, MissingPrinterLeavesInfoAlone) {
  CWindowsPrinterInfo info{"keep", "keep"};
  EXPECT_FALSE(QueryWindowsPrinter("SvcNoSuchPrinter", &info));
  EXPECT_FALSE(QueryWindowsPrinter("", &info));
  EXPECT_FALSE(QueryWindowsPrinter(nullptr, &info));
  EXPECT_EQ(info.portName, "keep");
  EXPECT_EQ(info.driverName, "keep");
}

TEST(WindowsPrinter, ModelFromDriver) {
  EXPECT_EQ(ModelFromDriverName("KVR TBX910QD/911QD Printer"), "TBX910QD");
  EXPECT_EQ(ModelFromDriverName("TBX910QD"), "TBX910QD/911QD");
  EXPECT_EQ(ModelFromDriverName(""), "TBX910QD/911QD");
}

TEST(ModuleResources, VersionAndTexts) {
  long version = 0;
  ASSERT_TRUE(GetModuleVersionNumber(&version));
  EXPECT_EQ(version, 1014001);  // file version 1.14.1.3
  EXPECT_EQ(LoadModuleString(kStringPosPrinter), " POS Printer");
  const std::string so = LoadModuleString(kStringServiceObject);
  EXPECT_EQ(so.rfind(" Service Object, ", 0), 0u) << so;
  EXPECT_EQ(LoadModuleString(999), "");
  const CDescriptionTexts texts = MakeDescriptionTexts();
  EXPECT_EQ(texts.device, "KVR TBX910QD/911QD POS Printer");
  EXPECT_EQ(texts.serviceObject, "KVR TBX910QD/911QD POS Printer" + so);
  EXPECT_EQ(texts.physical, "TBX910QD/911QD POS Printer");
}

}  // namespace
