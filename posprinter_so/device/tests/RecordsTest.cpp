// The records of every sub-module call as the service object builds, applies and frees
// them: layouts at their byte offsets, what an applied snapshot may change, the status
// record's rules and the saved property block.
#include <gtest/gtest.h>

#include <cstring>

#include "CommDevice.h"
#include "FakeLog.h"
#include "OutputTestSupport.h"
#include "POSPrinter.h"
#include "RecordedServiceObject.h"

namespace {

long WordAt(const void* record, long offset) {
  long word;
  std::memcpy(&word, static_cast<const char*>(record) + offset, sizeof word);
  return word;
}
const char* TextAt(const void* record, long offset) {
  const char* text;
  std::memcpy(&text, static_cast<const char*>(record) + offset, sizeof text);
  return text;
}

class Records : public sotest::RecordedServiceObject {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(RecordedServiceObject::SetUp());
    ASSERT_NO_FATAL_FAILURE(BindSubModule("SoRecordsTest"));
  }

  CPropertyCache& P() { return so_->MutableProperties(); }
  long FreedSnapshots() const { return Calls(RECSUB_OTHER_METHOD, 1015); }
};

TEST_F(Records, InputPropertyRecordCopiesTheCacheAtItsOffsets) {
  P().BinaryConversion = 2;
  P().DeviceName = "Front desk";
  P().RecLineCharsList = "42,56";
  P().ErrorString = "Cover open";
  P().RecLineWidth = 576;
  P().MapMode = 4;  // the record carries dots whatever the MapMode
  P().PageModePrintArea = "0,0,576,800";
  P().PageModeVerticalPosition = 17;
  so_->SetState(3);
  PrnInputProperty* record = so_->CreateInputProperty();
  const struct {
    long offset;
    long expected;
  } numbers[] = {{0, 2}, {8, 0}, {16, 2000}, {20, 3}, {28, so_->Properties().ServiceObjectVersion},
                 {88, 1}, {116, 0x10000000}, {196, 4}, {236, 576}, {292, 17}};
  for (const auto& row : numbers) EXPECT_EQ(WordAt(record, row.offset), row.expected) << row.offset;
  const struct {
    long offset;
    const char* expected;
  } texts[] = {{4, ""}, {36, "Front desk"}, {68, "Cover open"}, {104, "42,56"},
               {272, "0,0,576,800"}};
  for (const auto& row : texts) {
    ASSERT_NE(TextAt(record, row.offset), nullptr) << row.offset;
    EXPECT_STREQ(TextAt(record, row.offset), row.expected) << row.offset;
  }
  EXPECT_NE(record->deviceName, P().DeviceName.c_str()) << "a copy the record owns";
  so_->FreePropertyRecord(record);
  so_->FreePropertyRecord(nullptr);
}

TEST_F(Records, SnapshotGoesOutWithNullTextsTheCarryWordAndNoPositions) {
  P().CarryWord = 0x1234;
  P().RecLineSpacing = 30;
  P().ResultCode = 111;
  PrnInputProperty* record = so_->CreateInputProperty();
  PrnPropertySnapshot* snapshot = so_->BuildPropertySnapshot(record);
  EXPECT_EQ(WordAt(snapshot, 4), 0) << "PowerState left zero";
  EXPECT_EQ(WordAt(snapshot, 8), 0) << "ResultCode";
  EXPECT_EQ(WordAt(snapshot, 20), so_->Properties().ServiceObjectVersion);
  EXPECT_EQ(WordAt(snapshot, 220 - 16), 30) << "input offset minus 16";
  for (long offset : kPrnSnapshotTextSlots) EXPECT_EQ(TextAt(snapshot, offset), nullptr) << offset;
  EXPECT_EQ(WordAt(snapshot, 280), 0x1234);
  EXPECT_EQ(WordAt(snapshot, 284), -1);
  EXPECT_EQ(WordAt(snapshot, 288), -1);
  for (long offset = 292; offset < 320; offset += 4) EXPECT_EQ(WordAt(snapshot, offset), 0);
  so_->FreePropertyRecord(record);
  delete snapshot;
}

TEST_F(Records, AFreedSnapshotAppliesItsValuesButNotTheSensorWords) {
  P().DeviceDescription = "kept";
  PrnInputProperty* record = so_->CreateInputProperty();
  PrnPropertySnapshot* snapshot = so_->BuildPropertySnapshot(record);
  snapshot->resultCode = 114;
  snapshot->resultCodeExtended = 203;
  snapshot->recLineChars = 42;
  snapshot->carryWord = 77;
  snapshot->recLetterQuality = 1;
  snapshot->coverOpen = 1;
  snapshot->recEmpty = 1;
  snapshot->recNearEnd = 1;
  char name[] = "From the sub-module";
  snapshot->deviceName = name;  // the recording sub-module frees nothing
  const long before = FreedSnapshots();
  so_->FreePropertySnapshot(snapshot);
  EXPECT_EQ(FreedSnapshots(), before + 1) << "service 1015 frees the sub-module's texts";
  EXPECT_EQ(P().ResultCode, 114);
  EXPECT_EQ(P().ResultCodeExtended, 203);
  EXPECT_EQ(P().RecLineChars, 42);
  EXPECT_EQ(P().CarryWord, 77) << "taken back, carried in the next snapshot";
  EXPECT_EQ(P().DeviceName, "From the sub-module");
  EXPECT_EQ(P().DeviceDescription, "kept") << "a NULL slot leaves the text";
  EXPECT_EQ(P().RecLetterQuality, 0);
  EXPECT_EQ(P().CoverOpen, 0);
  EXPECT_EQ(P().RecEmpty, 0);
  EXPECT_EQ(P().RecNearEnd, 0);
  PrnPropertySnapshot* next = so_->BuildPropertySnapshot(record);
  EXPECT_EQ(next->carryWord, 77);
  so_->FreePropertySnapshot(next);
  so_->FreePropertyRecord(record);
  so_->FreePropertySnapshot(nullptr);
  EXPECT_EQ(FreedSnapshots(), before + 2) << "NULL calls nothing";
}

TEST_F(Records, TheEnablingSnapshotBringsSensorWordsAndPowerOnlyWhenReported) {
  const struct {
    const char* row;
    long enabled, powerNotify;
    long expectedPower;
  } rows[] = {
      {"disabled", 0, 1, 2000},
      {"enabled, PowerNotify 0", 1, 0, 2000},
      {"enabled, PowerNotify 1", 1, 1, 2001},
  };
  for (const auto& row : rows) {
    P().DeviceEnabled = row.enabled;
    P().PowerNotify = row.powerNotify;
    so_->SetPowerState(2000);
    PrnPropertySnapshot* snapshot = so_->BuildPropertySnapshot(nullptr);
    snapshot->powerState = 2001;
    snapshot->coverOpen = 1;
    snapshot->recEmpty = 1;
    snapshot->recNearEnd = 1;
    snapshot->jrnEmpty = 1;
    so_->ApplyEnableSnapshot(snapshot);
    EXPECT_EQ(P().PowerState, row.expectedPower) << row.row;
    EXPECT_EQ(P().CoverOpen, 1) << row.row;
    EXPECT_EQ(P().RecEmpty, 1) << row.row;
    EXPECT_EQ(P().RecNearEnd, 1) << row.row;
    EXPECT_EQ(P().JrnEmpty, 1) << row.row;
  }
  P().DeviceEnabled = 0;
}

TEST_F(Records, CapabilityWordsGoToTheirPropertiesInBlockOrder) {
  PrnCapabilityBlock block;
  long* words = reinterpret_cast<long*>(&block);
  for (long i = 0; i < 68; ++i) words[i] = 100 + i;
  so_->ApplyCapabilityBlock(&block);
  EXPECT_EQ(so_->GetPropertyNumber(504), 100) << "word 0 CapCompareFirmwareVersion";
  EXPECT_EQ(so_->GetPropertyNumber(8504), 110) << "word 10 CapCoverSensor";
  EXPECT_EQ(so_->GetPropertyNumber(8513), 113) << "word 13 CapJrnPresent";
  EXPECT_EQ(so_->GetPropertyNumber(8527), 125) << "word 25 CapRecPresent";
  EXPECT_EQ(so_->GetPropertyNumber(8544), 147) << "word 47 CapSlpPresent";
  EXPECT_EQ(so_->GetPropertyNumber(8561), 167) << "word 67 CapSlpPageMode";
}

TEST_F(Records, StatusRecordsChangeOnlyReportedWordsWithTheirSensor) {
  P().Caps.capCoverSensor = 1;
  P().Caps.capRecEmptySensor = 1;
  P().Caps.capRecNearEndSensor = 1;
  P().Caps.capJrnEmptySensor = 0;
  const struct {
    const char* row;
    long enabled;
    long powerState, coverOpen, jrnEmpty, recEmpty, recNearEnd, recCartridge, errorCleared;
    // expected afterwards
    long power, cover, jrn, rec, nearEnd, cartridge, offlineSeen, onlineSeen;
    bool errorPropertiesCleared;
  } rows[] = {
      {"seventeen -1", 1, -1, -1, -1, -1, -1, -1, -1,
       2000, 0, 0, 0, 0, 0x10000000, 1, 0, false},
      {"disabled: only the flags", 0, 2004, 1, -1, 1, -1, -1, -1,
       2000, 0, 0, 0, 0, 0x10000000, 1, 0, false},
      {"cover, paper and cartridge", 1, 2001, 1, 1, 1, 1, 5, -1,
       2001, 1, 0, 1, 1, 5, 0, 1, false},
      {"offline clears online-seen", 1, 2004, 0, -1, 0, 0, -1, 1,
       2004, 0, 0, 0, 0, 5, 1, 0, true},
  };
  P().PowerNotify = 1;
  for (const auto& row : rows) {
    P().DeviceEnabled = row.enabled;
    P().OfflineSeen = P().OnlineSeen = 0;
    P().ErrorLevel = 3;
    PrnStatusRecord status = sotest::UnreportedStatus();
    status.powerState = row.powerState;
    status.coverOpen = row.coverOpen;
    status.jrnEmpty = row.jrnEmpty;
    status.recEmpty = row.recEmpty;
    status.recNearEnd = row.recNearEnd;
    status.recCartridgeState = row.recCartridge;
    status.errorCleared = row.errorCleared;
    so_->ApplyStatusRecord(&status);
    EXPECT_EQ(P().PowerState, row.power) << row.row;
    EXPECT_EQ(P().CoverOpen, row.cover) << row.row;
    EXPECT_EQ(P().JrnEmpty, row.jrn) << row.row << ": no journal sensor";
    EXPECT_EQ(P().RecEmpty, row.rec) << row.row;
    EXPECT_EQ(P().RecNearEnd, row.nearEnd) << row.row;
    EXPECT_EQ(P().RecCartridgeState, row.cartridge) << row.row;
    EXPECT_EQ(P().OfflineSeen, row.offlineSeen) << row.row;
    EXPECT_EQ(P().OnlineSeen, row.onlineSeen) << row.row;
    EXPECT_EQ(P().ErrorLevel, row.errorPropertiesCleared ? 1 : 3) << row.row;
  }
  P().DeviceEnabled = 0;
}

TEST_F(Records, StatusWordsOfARecordGoBackPlainly) {
  PrnInputProperty record{};
  record.powerState = 2004;
  record.coverOpen = 1;
  record.recNearEnd = 1;
  record.slpCartridgeState = 7;
  P().PowerNotify = 0;  // not consulted
  so_->UpdateStatusProperties(&record);
  EXPECT_EQ(P().PowerState, 2004);
  EXPECT_EQ(P().CoverOpen, 1);
  EXPECT_EQ(P().RecNearEnd, 1);
  EXPECT_EQ(P().SlpCartridgeState, 7);
  EXPECT_EQ(P().RecCartridgeState, 0);
}

TEST_F(Records, SaveThenRestoreUndoesChangesToTheSavedWords) {
  long block[kSavedPropertyWords] = {};
  long saved = 0;
  P().ResultCode = 0;
  P().MapMode = 2;
  P().CarryWord = 9;
  P().RecLineSpacing = 30;
  so_->SaveRestoreProperties(block, &saved);
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[29], 2) << "MapMode is word 29";
  EXPECT_EQ(block[53], 9) << "the carry word is last";
  P().ResultCode = 111;
  P().MapMode = 1;
  P().CarryWord = 0;
  P().RecLineSpacing = 99;
  so_->SaveRestoreProperties(block, &saved);
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(P().ResultCode, 0);
  EXPECT_EQ(P().MapMode, 2);
  EXPECT_EQ(P().CarryWord, 9);
  EXPECT_EQ(P().RecLineSpacing, 30);
}

}  // namespace
