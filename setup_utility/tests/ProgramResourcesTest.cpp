// quorret.exe's own resources, read from the file: the dialog templates under the numbers
// the forms and wizard pages are known by, and the manifest that asks for the rights to write
// the machine's device entries.
#include "Win.h"

#include <gtest/gtest.h>

#include <string>

#include "QuTestSupport.h"

namespace {

std::string ProgramPath() { return ProgramFolder() + "\\quorret.exe"; }

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << ProgramPath() << " error " << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  std::string Resource(LPCSTR type, int id) const {
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(module_, found)) : std::string();
  }
  HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, DialogTemplatesCarryTheirKnownNumbers) {
  const struct {
    int id;
    const char* what;
  } rows[] = {
      {103, "CRight00View"},       {104, "CRightBlankView"},    {105, "CRight03View"},
      {130, "CAddDeviceCommPage"}, {131, "CAddDevicePagePtr1"}, {132, "CAddDevicePagePtr2"},
      {133, "CAddDevicePagePtr3"}, {134, "CAddDeviceEndPage"},  {135, "CAddDevicePageDrw1"},
      {136, "CAddDevicePageDrw2"}, {137, "CAddDevicePageDrw3"}, {138, "CAddLDDevicePage"},
      {147, "CAddSelectClassDlg"}, {152, "CRight22View"},       {100, "CAboutDlg"},
  };
  for (const auto& row : rows)
    EXPECT_FALSE(Resource(RT_DIALOG, row.id).empty()) << row.id << " " << row.what;
}

TEST_F(ProgramResources, ManifestAsksForTheAdministratorsRights) {
  const std::string manifest = Resource(MAKEINTRESOURCEA(24), 1);  // RT_MANIFEST, id 1
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" "
                          "uiAccess=\"false\"/>"),
            std::string::npos)
      << manifest;
}

}  // namespace
