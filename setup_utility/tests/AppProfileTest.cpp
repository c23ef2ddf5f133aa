// The program's own settings as the platform's class library keeps them: what a start reads,
// and exactly what the registry holds after the exit wrote them back.
#include "AppProfile.h"
#include "QuTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

class AppProfileTest : public ::testing::Test {
 protected:
  AppProfileTest()
      : reg(CurrentTestName()),
        app(reg.Profile().parent + "\\KVR\\KVR OPOS Utility"),
        recent(app + "\\Recent File List"),
        settings(app + "\\Settings") {}

  CAppProfile Profile() const { return CAppProfile(reg.Profile(), "KVR", "KVR OPOS Utility"); }
  void SetNumber(const std::string& path, const std::string& name, DWORD value) {
    reg.SetRaw(path, name, REG_DWORD, &value, sizeof(value));
  }

  PrivateRegistry reg;
  const std::string app;
  const std::string recent;
  const std::string settings;
};

TEST_F(AppProfileTest, TheApplicationKeyIsTheCompanyAndTheApplication) {
  EXPECT_EQ(Profile().AppKeyPath(), app);
  const ProfileLocation real;
  EXPECT_EQ(real.root, HKEY_CURRENT_USER);
  EXPECT_EQ(real.parent, "Software");
}

// Nothing stored before: the reads create the application key and both sections; the exit
// deletes the empty list's section and writes no value at all (PreviewPages 0 is "not set").
TEST_F(AppProfileTest, AnEmptyListLeavesOnlyAnEmptySettingsKey) {
  CAppProfile profile = Profile();
  EXPECT_FALSE(reg.KeyExists(app)) << "naming the key touches nothing";
  profile.LoadStdProfileSettings(4);
  EXPECT_EQ(profile.RecentFiles(), Texts(4, ""));
  EXPECT_EQ(profile.PreviewPages(), 0u);
  EXPECT_EQ(reg.SubKeys(app), (Texts{"Recent File List", "Settings"}));

  profile.SaveStdProfileSettings();
  EXPECT_EQ(reg.SubKeys(app), Texts{"Settings"});
  EXPECT_EQ(reg.Values(app), Texts{});
  EXPECT_EQ(reg.Values(settings), Texts{});
}

// A stored list comes back entry by entry and is written back in its positions, each text
// with its terminator; what is not an entry of the list goes with the rewritten section.
TEST_F(AppProfileTest, AStoredListAndPageCountAreWrittenBackAsRead) {
  reg.SetString(recent, "File1", "C:\\a.txt", /*withTerminator=*/true);
  reg.SetString(recent, "File3", "C:\\c.txt");  // without terminator
  reg.SetString(recent, "File5", "C:\\e.txt", true);
  reg.SetString(recent, "Other", "x", true);
  SetNumber(settings, "PreviewPages", 2);
  reg.SetString(settings, "Kept", "k", true);

  CAppProfile profile = Profile();
  profile.LoadStdProfileSettings(4);
  EXPECT_EQ(profile.RecentFiles(), (Texts{"C:\\a.txt", "", "C:\\c.txt", ""}));
  EXPECT_EQ(profile.PreviewPages(), 2u);

  profile.SaveStdProfileSettings();
  EXPECT_EQ(reg.Values(recent), (Texts{"File1=SZ:C:\\a.txt\\0", "File3=SZ:C:\\c.txt\\0"}));
  EXPECT_EQ(reg.Values(settings), (Texts{"Kept=SZ:k\\0", "PreviewPages=DWORD:2"}));
}

// A value of the wrong type reads as not set: an entry that is no text drops out of the list,
// and a page count that is no number is left as it is rather than rewritten as one.
TEST_F(AppProfileTest, ValuesOfAnotherTypeReadAsNotSet) {
  SetNumber(recent, "File2", 7);
  reg.SetString(settings, "PreviewPages", "3", true);

  CAppProfile profile = Profile();
  profile.LoadStdProfileSettings(4);
  EXPECT_EQ(profile.RecentFiles(), Texts(4, ""));
  EXPECT_EQ(profile.PreviewPages(), 0u);

  profile.SaveStdProfileSettings();
  EXPECT_FALSE(reg.KeyExists(recent));
  EXPECT_EQ(reg.Values(settings), Texts{"PreviewPages=SZ:3\\0"});
}

// A start that never loaded (a second instance) writes nothing: the list stays, and no key
// is made.
TEST_F(AppProfileTest, NothingIsWrittenWithoutALoad) {
  reg.SetString(recent, "File1", "C:\\a.txt", true);
  Profile().SaveStdProfileSettings();
  EXPECT_EQ(reg.Values(recent), Texts{"File1=SZ:C:\\a.txt\\0"});
  EXPECT_EQ(reg.SubKeys(app), Texts{"Recent File List"});
}

// Without a list only the page count is read and written; the stored list is not touched.
TEST_F(AppProfileTest, WithoutAListOnlyThePageCountIsKept) {
  reg.SetString(recent, "File5", "C:\\e.txt", true);
  SetNumber(settings, "PreviewPages", 1);
  CAppProfile profile = Profile();
  profile.LoadStdProfileSettings(0);
  EXPECT_TRUE(profile.RecentFiles().empty());
  EXPECT_EQ(profile.PreviewPages(), 1u);
  profile.SaveStdProfileSettings();
  EXPECT_EQ(reg.Values(recent), Texts{"File5=SZ:C:\\e.txt\\0"});
  EXPECT_EQ(reg.Values(settings), Texts{"PreviewPages=DWORD:1"});
}

}  // namespace
