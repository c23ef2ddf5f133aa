// What the tree and the frame decide from the selection, and the tree's items.
#include "DocTestFixture.h"
#include "FrameLogic.h"
#include "PrinterList.h"
#include "TreeModel.h"
#include "TestPrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const std::string kKvr = kKvrGroupText;
const std::string kOther = kOtherGroupText;

TEST(TreeModel, NodeTypeAndPositionOfASelection) {
  const struct {
    TreePath path;
    int nodeType;
    int position;
  } rows[] = {
      {{}, 10, 0},
      {{kKvr}, 1, 0},
      {{kOther}, 10, 5},
      {{"POSPrinter", kKvr}, 2, 1},
      {{"CashDrawer", kKvr}, 2, 2},
      {{"POSPrinter", kOther}, 2, 6},
      {{"CashDrawer", kOther}, 2, 7},
      {{"P", "POSPrinter", kKvr}, 3, 1},
      {{"D", "CashDrawer", kKvr}, 4, 2},
      {{"P", "POSPrinter", kOther}, 11, 6},
      {{"D", "CashDrawer", kOther}, 12, 7},
      {{"L", "P", "POSPrinter", kKvr}, 53, 1},
      {{"L", "D", "CashDrawer", kKvr}, 54, 2},
      {{"L", "P", "POSPrinter", kOther}, 87, 6},
      {{"L", "D", "CashDrawer", kOther}, 88, 7},
      {{"S", "Scanner", kKvr}, 6, 4},
      {{"X", "Unknown", kKvr}, 0, -1},
  };
  for (const auto& row : rows) {
    const std::string what = row.path.empty() ? "(none)" : row.path[0];
    EXPECT_EQ(ComputeNodeType(row.path), row.nodeType) << what << " " << row.path.size();
    EXPECT_EQ(ComputeTreePosition(row.path), row.position) << what << " " << row.path.size();
  }
}

TEST(TreeModel, FormAndControlsFollowTheNodeType) {
  const struct {
    int nodeType;
    bool named;
    int view;
    bool enabled;
  } rows[] = {
      {1, true, -1, true},   {2, true, -1, true},   {10, false, -1, false},
      {3, true, 22, true},   {3, false, 0, false},  {53, true, 22, false},
      {4, true, 3, true},    {4, false, 0, false},  {54, true, 3, false},
      {11, false, 0, false}, {12, false, 0, false}, {87, false, 0, false},
      {88, false, 0, false}, {0, false, kKeepRightView, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RightViewForNode(row.nodeType, row.named), row.view) << row.nodeType;
    EXPECT_EQ(ControlsEnabledForNode(row.nodeType, row.named), row.enabled) << row.nodeType;
  }
}

TEST(FrameLogic, MenuStateAndContextMenu) {
  const bool both[4] = {true, true, false, false};
  const bool printerOnly[4] = {true, false, false, false};
  const struct {
    int position;
    const bool* available;
    bool add;
    ContextMenuKind kind;
  } rows[] = {
      {0, both, true, kContextMenuAdd},         {1, both, true, kContextMenuAdd},
      {2, both, true, kContextMenuAdd},         {2, printerOnly, false, kNoContextMenu},
      {3, both, true, kNoContextMenu},          {4, both, true, kNoContextMenu},
      {5, both, false, kContextMenuGrayed},     {6, both, false, kContextMenuGrayed},
      {7, both, false, kContextMenuGrayed},     {7, printerOnly, false, kNoContextMenu},
      {8, both, true, kNoContextMenu},          {-1, both, true, kContextMenuAdd},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ComputeMenuState(row.position, 3, row.available).addEnabled, row.add)
        << row.position;
    EXPECT_EQ(ComputeContextMenuKind(row.position, row.available), row.kind) << row.position;
  }
  for (int nodeType : {1, 2, 10})
    EXPECT_FALSE(ComputeMenuState(0, nodeType, both).deleteEnabled) << nodeType;
  for (int nodeType : {3, 4, 11, 12, 53, 54, 87, 88})
    EXPECT_TRUE(ComputeMenuState(0, nodeType, both).deleteEnabled) << nodeType;
}

TEST(FrameLogic, DeleteQuestions) {
  EXPECT_EQ(DeleteQuestion(3, "P"),
            "Are you sure you want to delete [P] and connection drawer device?");
  EXPECT_EQ(DeleteQuestion(11, "P"),
            "Are you sure you want to delete [P] and connection drawer device?");
  EXPECT_EQ(DeleteQuestion(4, "D"), "Are you sure you want to delete [D] device?");
  EXPECT_EQ(DeleteQuestion(12, "D"), "Are you sure you want to delete [D] device?");
  for (int nodeType : {53, 54, 87, 88})
    EXPECT_EQ(DeleteQuestion(nodeType, "L"),
              "Are you sure you want to delete [L] logical device name?");
  for (int nodeType : {1, 2, 10, 0}) EXPECT_EQ(DeleteQuestion(nodeType, "X"), "");
}

class TreeItemsTest : public DocumentFixture {};

TEST_F(TreeItemsTest, DevicesAndLogicalNamesUnderTheirGroups) {
  CreatePrinter("TBX910QD", "1");
  reg.SetString(PrinterPath("Foreign"), "", "opos.posprinter.so.kvr.core.tbxqd");
  const std::string printers = reg.ClassPath(kPosPrinter);
  reg.SetString(printers, "LP", "TBX910QD");
  reg.SetString(printers, "LF", "Foreign");
  reg.SetString(printers, "LX", "Missing");
  reg.SetString(reg.ClassPath(kCashDrawer), "LD", "TBX910QD_1");
  doc->EnumerateAllDevices();
  doc->ClassifyAllDevices();
  doc->EnumerateAllClasses();
  const std::vector<TreeItemToInsert> items = BuildTreeItems(*doc);
  const std::vector<TreeItemToInsert> expected = {
      {kKvr, -1, 0, false},
      {kOther, -1, 0, false},
      {"POSPrinter", 0, 1, false},
      {"CashDrawer", 0, 2, false},
      {"POSPrinter", 1, 6, false},
      {"CashDrawer", 1, 7, false},
      {"Foreign", 4, 0, true},
      {"TBX910QD", 2, 0, true},
      {"TBX910QD_1", 3, 0, true},
      {"LF", 6, 0, false},  // Wine lists values in name order
      {"LP", 7, 0, false},
      {"LD", 8, 0, false},
  };
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].text, expected[i].text) << i;
    EXPECT_EQ(items[i].parent, expected[i].parent) << i;
    EXPECT_EQ(items[i].data, expected[i].data) << i;
    EXPECT_EQ(items[i].sorted, expected[i].sorted) << i;
  }

  LogicalNameValues none;
  EXPECT_EQ(FindItemToSelect(items, "", none), 0);
  EXPECT_EQ(FindItemToSelect(items, "TBX910QD_1", none), 8);
  EXPECT_EQ(FindItemToSelect(items, "Foreign", none), 6);
  EXPECT_EQ(FindItemToSelect(items, "POSPrinter", none), 0);  // a class is no device
  LogicalNameValues added;
  added.className = "POSPrinter";
  added.logicalName[kPosPrinter] = "LP";
  EXPECT_EQ(FindItemToSelect(items, "TBX910QD", added), 10);
  EXPECT_EQ(FindItemToSelect(items, "TBX910QD_1", added), 8);  // another class
}

TEST_F(TreeItemsTest, AnUnregisteredClassListsNothing) {
  PrivateRegistry bare(CurrentTestName() + ".bare");
  CKvrOposUtilityDoc unregistered(bare.Location(), &messages);
  CRegistry writer(bare.Location(), &messages);
  DeviceValues v;
  v.drawerProgId = kDrawerServiceProgId;
  ASSERT_EQ(writer.CreateCashDrawerKey("QuD_1", v), 1);
  ASSERT_EQ(writer.AddLogicalDeviceName(kCashDrawer, "QuL", "QuD_1"), 1);
  bare.RegisterProgId(kPrinterServiceProgId);
  CKvrOposUtilityDoc printerOnly(bare.Location(), &messages);
  for (CKvrOposUtilityDoc* d : {&unregistered, &printerOnly}) {
    d->EnumerateAllDevices();
    d->ClassifyAllDevices();
    d->EnumerateAllClasses();
    EXPECT_EQ(BuildTreeItems(*d).size(), 6u);
    EXPECT_TRUE(IsClassItemGrayed(2, d->m_classAvailable));
    EXPECT_TRUE(IsClassItemGrayed(7, d->m_classAvailable));
  }
  EXPECT_TRUE(IsClassItemGrayed(1, unregistered.m_classAvailable));
  EXPECT_FALSE(IsClassItemGrayed(1, printerOnly.m_classAvailable));
  EXPECT_FALSE(IsClassItemGrayed(0, printerOnly.m_classAvailable));
}

TEST_F(TreeItemsTest, AddDeviceWizardPagesByTreePosition) {
  const std::vector<WizardPage> drawerPages = {kDrawerCountPage, kFirstDrawerPage,
                                               kSecondDrawerPage};
  const struct {
    int position;
    int row;
    std::vector<WizardPage> pages;  // before the drawer pages and the end page
    int startCode;
    const char* className;
    const char* modelName;
    int rowAfter;
  } rows[] = {
      {1, 1, {kPrinterDriverPage, kPrinterSettingsPage}, 2, "POSPrinter", "TBX910QD", 1},
      {6, 1, {kPrinterDriverPage, kPrinterSettingsPage}, 2, "POSPrinter", "TBX910QD", 1},
      {1, 0, {kPrinterModelPage, kPrinterDriverPage, kPrinterSettingsPage}, 1, "POSPrinter", "", 0},
      {2, 1, {}, 3, "CashDrawer", "", 1},
      {7, 1, {}, 3, "CashDrawer", "", 1},
      {0, 1, {kClassPage, kPrinterModelPage, kPrinterDriverPage, kPrinterSettingsPage}, 0,
       "POSPrinter", "", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.position);
    doc->SetModelRow(row.row);
    doc->m_nTreePosition = row.position;
    const WizardPlan plan = doc->PrepareAddDevice();
    std::vector<WizardPage> pages = row.pages;
    pages.insert(pages.end(), drawerPages.begin(), drawerPages.end());
    pages.push_back(kEndPage);
    EXPECT_EQ(plan.caption, "Add Device");
    EXPECT_EQ(plan.pages, pages);
    EXPECT_EQ(plan.startCode, row.startCode);
    EXPECT_EQ(doc->m_wizard.startCode, row.startCode);
    EXPECT_EQ(doc->m_new.className, row.className);
    EXPECT_EQ(doc->m_new.modelName, row.modelName);
    EXPECT_EQ(doc->CurrentModelIndex(), row.rowAfter);
    EXPECT_EQ(doc->m_new.values.version, doc->ModelRow(row.rowAfter).version);
    EXPECT_EQ(doc->m_new.progIds[kCashDrawer], doc->ModelRow(row.rowAfter).progIds[kCashDrawer]);
    EXPECT_EQ(doc->m_new.values.sendTimeout, "10000");
    EXPECT_EQ(doc->m_new.values.printWidth, "576");
    EXPECT_EQ(doc->m_new.drawers[1].invertDrawerStatus, "F");
  }
}

TEST_F(TreeItemsTest, WithoutTheDrawerClassNoDrawerPagesFollow) {
  PrivateRegistry bare(CurrentTestName() + ".bare");
  bare.RegisterProgId(kPrinterServiceProgId);
  CKvrOposUtilityDoc printerOnly(bare.Location(), &messages);
  printerOnly.m_nTreePosition = 1;
  EXPECT_EQ(printerOnly.PrepareAddDevice().pages,
            (std::vector<WizardPage>{kPrinterModelPage, kPrinterDriverPage, kPrinterSettingsPage,
                                     kEndPage}));
  printerOnly.m_nTreePosition = 5;
  const WizardPlan plan = printerOnly.PrepareAddLogicalName();
  EXPECT_EQ(plan.pages, (std::vector<WizardPage>{kClassPage, kLogicalNamePage, kEndPage}));
  EXPECT_TRUE(printerOnly.m_wizard.classPageShown);
}

TEST_F(TreeItemsTest, InstalledPrintersOfTheModelsDriverAreListed) {
  const std::string tbx = "QuTree TBX printer";
  const std::string other = "QuTree other printer";
  SpoolerChangesHeld listedWhileRead;
  std::string error;
  ASSERT_TRUE(AddTestPrinter(tbx, &error, "KVR TBX910QD")) << error;
  ASSERT_TRUE(AddTestPrinter(other, &error)) << error;
  CreatePrinter("TBX910QD");
  reg.SetString(PrinterPath("TBX910QD"), "DriverName", tbx);
  CreatePrinter("TBX910QD-02");
  reg.SetString(PrinterPath("TBX910QD-02"), "DriverName", tbx);
  doc->EnumerateAllDevices();
  doc->ClassifyAllDevices();
  doc->ReloadDevices();
  bool listedTbx = false;
  for (const InstalledPrinter& p : doc->m_installedPrinters) {
    EXPECT_NE(p.printerName, other);
    EXPECT_EQ(p.driverName, "KVR TBX910QD");
    if (p.printerName == tbx) {
      listedTbx = true;
      EXPECT_EQ(p.claimedBy, "TBX910QD");
    }
  }
  EXPECT_TRUE(listedTbx);
  ASSERT_EQ(doc->m_devices[kPosPrinter].size(), 2u);
  EXPECT_FALSE(doc->m_devices[kPosPrinter][0].printerMissingOrShared);
  EXPECT_TRUE(doc->m_devices[kPosPrinter][1].printerMissingOrShared);
  EXPECT_TRUE(DeleteTestPrinter(tbx));
  EXPECT_TRUE(DeleteTestPrinter(other));
}

// The spooler's answers to successive reads: a list of the size (bytes), or a read failed with
// nothing said about the size, as Wine's spooler answers while a printer is being removed.
constexpr DWORD kFailsSilently = ~0u;

struct PlayedSpooler {
  std::vector<DWORD> sizes;  // the last one stays
  int calls = 0;
  BOOL Read(LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD count) {
    const DWORD now = sizes[std::min<size_t>(calls++, sizes.size() - 1)];
    if (now == kFailsSilently) return FALSE;
    *needed = now;
    if (size < now) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    *count = now / sizeof(PRINTER_INFO_2A);
    for (DWORD i = 0; i < *count; ++i)
      reinterpret_cast<PRINTER_INFO_2A*>(buffer)[i] = PRINTER_INFO_2A{};
    return TRUE;
  }
};

TEST(PrinterList, AReadFailedByPrintersComingAndGoingIsMadeAgain) {
  constexpr DWORD one = sizeof(PRINTER_INFO_2A);
  const struct {
    const char* what;
    std::vector<DWORD> sizes;
    bool read;
    DWORD count;
    int calls;
  } rows[] = {
      {"no printers", {0}, true, 0, 1},
      {"sized, then read", {2 * one}, true, 2, 2},
      {"a printer added between sizing and reading", {one, 3 * one}, true, 3, 3},
      {"a read failed saying nothing", {2 * one, kFailsSilently, 2 * one}, true, 2, 3},
      {"a spooler that never answers", {kFailsSilently}, false, 0, 21},
  };
  for (const auto& row : rows) {
    PlayedSpooler spooler{row.sizes};
    std::vector<BYTE> buffer;
    DWORD count = 99;
    const bool read = ReadLocalPrinters(
        &buffer, &count, [&](DWORD, LPSTR, DWORD, LPBYTE b, DWORD size, LPDWORD n, LPDWORD c) {
          return spooler.Read(b, size, n, c);
        });
    EXPECT_EQ(read, row.read) << row.what;
    EXPECT_EQ(count, row.count) << row.what;
    EXPECT_EQ(spooler.calls, row.calls) << row.what;
  }
}

}  // namespace
