// A document over a private registry root and a folder of service object files, with the
// printer and drawer service objects registered.
#pragma once
#include "KvrOposUtilityDoc.h"
#include "QuTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class DocumentFixture : public ::testing::Test {
 protected:
  explicit DocumentFixture(const std::vector<std::string>& files = AllModelFiles(),
                           const std::vector<std::string>& dummies = {})
      : reg(CurrentTestName()), folder(CurrentTestName(), files, dummies) {
    reg.RegisterProgId(kPrinterServiceProgId);
    reg.RegisterProgId(kDrawerServiceProgId);
    doc = std::make_unique<CKvrOposUtilityDoc>(reg.Location(), &messages);
    doc->SetModuleFolder(folder.Path());
  }

  // A TBX910QD printer (and its drawers) created the way the add-device wizard's Finish does.
  void CreatePrinter(const std::string& name, const std::string& drawerCount = "0") {
    doc->SetModelRow(1);
    doc->m_nTreePosition = 1;
    (void)doc->PrepareAddDevice();
    NewDeviceValues& n = doc->m_new;
    n.deviceName = name;
    n.values.paperSize = "1";
    n.values.driverName = "QuWin";
    n.drawerCount = drawerCount;
    n.connectionPrinter = name;
    n.drawers[0].deviceName = name + "_1";
    n.drawers[1].deviceName = name + "_2";
    ASSERT_EQ(doc->CreateNewDevices(), 1);
    doc->ClearNewDevice();
  }

  void Select(const TreePath& path) { view = doc->OnTreeSelectionChanged(path); }
  void SelectPrinter(const std::string& name) { Select({name, "POSPrinter", kKvrGroupText}); }
  void SelectDrawer(const std::string& name) { Select({name, "CashDrawer", kKvrGroupText}); }
  void SelectGroup() { Select({kKvrGroupText}); }

  std::string PrinterPath(const std::string& name) const {
    return reg.DevicePath(kPosPrinter, name);
  }
  std::string DrawerPath(const std::string& name) const {
    return reg.DevicePath(kCashDrawer, name);
  }
  std::string FilePath(const char* file) const { return folder.Path() + "\\" + file; }

  PrivateRegistry reg;
  ModuleFolder folder;
  RecordedMessages messages;
  std::unique_ptr<CKvrOposUtilityDoc> doc;
  int view = kKeepRightView;
};

inline constexpr char kRepairedMessage[] =
    "One or more invalid value had been set in the registry. It has been repaired to default "
    "setting.";
