// The records every call into the sub-module carries: the input property record, the
// property snapshot, the capability block and the status record as they meet the property
// cache, and the block of property words saved around Release.
#include <atomic>
#include <cstring>
#include <new>

#include "CommDevice.h"
#include "LogContext.h"
#include "POSPrinter.h"

namespace {

const char kSource[] = "POSPrinter";
constexpr long kNotReported = -1;
constexpr long kPowerOnline = 2001;
constexpr long kPowerOffline = 2004;

// The texts of the input record, of the snapshot and of the cache, in the order the record
// copies them.
const struct RecordText {
  const char* PrnInputProperty::*record;
  char* PrnPropertySnapshot::*snapshot;
  std::string CPropertyCache::*cache;
} kRecordTexts[] = {
#define KVR_TEXT(field, cacheField) \
  {&PrnInputProperty::field, &PrnPropertySnapshot::field, &CPropertyCache::cacheField}
    KVR_TEXT(checkHealthText, CheckHealthText),
    KVR_TEXT(serviceObjectDescription, ServiceObjectDescription),
    KVR_TEXT(deviceDescription, DeviceDescription),
    KVR_TEXT(deviceName, DeviceName),
    KVR_TEXT(characterSetList, CharacterSetList),
    KVR_TEXT(errorString, ErrorString),
    KVR_TEXT(fontTypefaceList, FontTypefaceList),
    KVR_TEXT(pageModeArea, PageModeArea),
    KVR_TEXT(jrnLineCharsList, JrnLineCharsList),
    KVR_TEXT(recLineCharsList, RecLineCharsList),
    KVR_TEXT(recBarCodeRotationList, RecBarCodeRotationList),
    KVR_TEXT(recBitmapRotationList, RecBitmapRotationList),
    KVR_TEXT(slpLineCharsList, SlpLineCharsList),
    KVR_TEXT(slpBarCodeRotationList, SlpBarCodeRotationList),
    KVR_TEXT(slpBitmapRotationList, SlpBitmapRotationList),
    KVR_TEXT(pageModePrintArea, PageModePrintArea),
#undef KVR_TEXT
};

// A number of the input record and its cache word. State is read under its lock and is
// not here. The status words also go back from a record into the cache.
const struct RecordNumber {
  long PrnInputProperty::*record;
  long CPropertyCache::*cache;
  bool status;
} kRecordNumbers[] = {
#define KVR_NUMBER(recordField, cacheField) \
  {&PrnInputProperty::recordField, &CPropertyCache::cacheField, false}
#define KVR_STATUS(recordField, cacheField) \
  {&PrnInputProperty::recordField, &CPropertyCache::cacheField, true}
    KVR_NUMBER(binaryConversion, BinaryConversion),
    KVR_NUMBER(claimed, Claimed),
    KVR_NUMBER(freezeEvents, FreezeEvents),
    KVR_STATUS(powerState, PowerState),
    KVR_NUMBER(serviceObjectVersion, ServiceObjectVersion),
    KVR_NUMBER(deviceEnabled, DeviceEnabled),
    KVR_NUMBER(powerNotify, PowerNotify),
    KVR_NUMBER(asyncMode, AsyncMode),
    KVR_NUMBER(cartridgeNotify, CartridgeNotify),
    KVR_NUMBER(errorLevel, ErrorLevel),
    KVR_NUMBER(errorStation, ErrorStation),
    KVR_NUMBER(mapCharacterSet, MapCharacterSet),
    KVR_NUMBER(pageModeDescriptor, PageModeDescriptor),
    KVR_NUMBER(rotateSpecial, RotateSpecial),
    KVR_STATUS(jrnCartridgeState, JrnCartridgeState),
    KVR_NUMBER(jrnCurrentCartridge, JrnCurrentCartridge),
    KVR_NUMBER(recLinesToPaperCut, RecLinesToPaperCut),
    KVR_STATUS(recCartridgeState, RecCartridgeState),
    KVR_NUMBER(recCurrentCartridge, RecCurrentCartridge),
    KVR_NUMBER(slpLineChars, SlpLineChars),
    KVR_NUMBER(slpLineHeight, SlpLineHeight),
    KVR_NUMBER(slpLineSpacing, SlpLineSpacing),
    KVR_NUMBER(slpLineWidth, SlpLineWidth),
    KVR_NUMBER(slpLetterQuality, SlpLetterQuality),
    KVR_STATUS(slpEmpty, SlpEmpty),
    KVR_STATUS(slpNearEnd, SlpNearEnd),
    KVR_NUMBER(slpSidewaysMaxLines, SlpSidewaysMaxLines),
    KVR_NUMBER(slpSidewaysMaxChars, SlpSidewaysMaxChars),
    KVR_NUMBER(slpMaxLines, SlpMaxLines),
    KVR_NUMBER(slpLinesNearEndToEnd, SlpLinesNearEndToEnd),
    KVR_NUMBER(slpPrintSide, SlpPrintSide),
    KVR_STATUS(slpCartridgeState, SlpCartridgeState),
    KVR_NUMBER(slpCurrentCartridge, SlpCurrentCartridge),
    KVR_NUMBER(mapMode, MapMode),
    KVR_NUMBER(flagWhenIdle, FlagWhenIdle),
    KVR_STATUS(coverOpen, CoverOpen),
    KVR_STATUS(recNearEnd, RecNearEnd),
    KVR_STATUS(recEmpty, RecEmpty),
    KVR_NUMBER(recLetterQuality, RecLetterQuality),
    KVR_NUMBER(recLineSpacing, RecLineSpacing),
    KVR_NUMBER(recLineHeight, RecLineHeight),
    KVR_NUMBER(recLineChars, RecLineChars),
    KVR_NUMBER(recSidewaysMaxChars, RecSidewaysMaxChars),
    KVR_NUMBER(recLineWidth, RecLineWidth),
    KVR_NUMBER(jrnLineChars, JrnLineChars),
    KVR_NUMBER(jrnLineHeight, JrnLineHeight),
    KVR_NUMBER(jrnLineSpacing, JrnLineSpacing),
    KVR_NUMBER(jrnLineWidth, JrnLineWidth),
    KVR_NUMBER(jrnLetterQuality, JrnLetterQuality),
    KVR_STATUS(jrnEmpty, JrnEmpty),
    KVR_STATUS(jrnNearEnd, JrnNearEnd),
    KVR_NUMBER(characterSet, CharacterSet),
    KVR_NUMBER(pageModeStation, PageModeStation),
    KVR_NUMBER(recSidewaysMaxLines, RecSidewaysMaxLines),
    KVR_NUMBER(pageModeHorizontalPosition, PageModeHorizontalPosition),
    KVR_NUMBER(pageModePrintDirection, PageModePrintDirection),
    KVR_NUMBER(pageModeVerticalPosition, PageModeVerticalPosition),
#undef KVR_STATUS
#undef KVR_NUMBER
};
static_assert(sizeof(kRecordNumbers) / sizeof(kRecordNumbers[0]) == 57,
              "58 numbers with State, which is read under its lock");

// The 54 words of the saved property block, in its order, which is the snapshot's from
// ResultCode to CarryWord; an applied snapshot writes the plain words into the cache, the
// sensor words only when it answers the enabling call.
enum class SnapshotUse { kApplied, kEnableSensor, kSavedOnly };
const struct SnapshotNumber {
  long PrnPropertySnapshot::*snapshot;
  long CPropertyCache::*cache;
  SnapshotUse use;
} kSnapshotNumbers[] = {
#define KVR_NUMBER(snapshotField, cacheField) \
  {&PrnPropertySnapshot::snapshotField, &CPropertyCache::cacheField, SnapshotUse::kApplied}
#define KVR_SENSOR(snapshotField, cacheField) \
  {&PrnPropertySnapshot::snapshotField, &CPropertyCache::cacheField, SnapshotUse::kEnableSensor}
    KVR_NUMBER(resultCode, ResultCode),
    KVR_NUMBER(resultCodeExtended, ResultCodeExtended),
    KVR_NUMBER(serviceObjectVersion, ServiceObjectVersion),
    KVR_NUMBER(asyncMode, AsyncMode),
    KVR_NUMBER(cartridgeNotify, CartridgeNotify),
    KVR_NUMBER(errorLevel, ErrorLevel),
    KVR_NUMBER(errorStation, ErrorStation),
    KVR_NUMBER(mapCharacterSet, MapCharacterSet),
    KVR_NUMBER(pageModeDescriptor, PageModeDescriptor),
    KVR_NUMBER(rotateSpecial, RotateSpecial),
    KVR_NUMBER(jrnCartridgeState, JrnCartridgeState),
    KVR_NUMBER(jrnCurrentCartridge, JrnCurrentCartridge),
    KVR_NUMBER(recLinesToPaperCut, RecLinesToPaperCut),
    KVR_NUMBER(recCartridgeState, RecCartridgeState),
    KVR_NUMBER(recCurrentCartridge, RecCurrentCartridge),
    KVR_NUMBER(slpLineChars, SlpLineChars),
    KVR_NUMBER(slpLineHeight, SlpLineHeight),
    KVR_NUMBER(slpLineSpacing, SlpLineSpacing),
    KVR_NUMBER(slpLineWidth, SlpLineWidth),
    KVR_NUMBER(slpLetterQuality, SlpLetterQuality),
    KVR_SENSOR(slpEmpty, SlpEmpty),
    KVR_SENSOR(slpNearEnd, SlpNearEnd),
    KVR_NUMBER(slpSidewaysMaxLines, SlpSidewaysMaxLines),
    KVR_NUMBER(slpSidewaysMaxChars, SlpSidewaysMaxChars),
    KVR_NUMBER(slpMaxLines, SlpMaxLines),
    KVR_NUMBER(slpLinesNearEndToEnd, SlpLinesNearEndToEnd),
    KVR_NUMBER(slpPrintSide, SlpPrintSide),
    KVR_NUMBER(slpCartridgeState, SlpCartridgeState),
    KVR_NUMBER(slpCurrentCartridge, SlpCurrentCartridge),
    KVR_NUMBER(mapMode, MapMode),
    KVR_NUMBER(flagWhenIdle, FlagWhenIdle),
    KVR_SENSOR(coverOpen, CoverOpen),
    KVR_SENSOR(recNearEnd, RecNearEnd),
    KVR_SENSOR(recEmpty, RecEmpty),
    {&PrnPropertySnapshot::recLetterQuality, &CPropertyCache::RecLetterQuality,
     SnapshotUse::kSavedOnly},
    KVR_NUMBER(recLineSpacing, RecLineSpacing),
    KVR_NUMBER(recLineHeight, RecLineHeight),
    KVR_NUMBER(recLineChars, RecLineChars),
    KVR_NUMBER(recSidewaysMaxChars, RecSidewaysMaxChars),
    KVR_NUMBER(recLineWidth, RecLineWidth),
    KVR_NUMBER(jrnLineChars, JrnLineChars),
    KVR_NUMBER(jrnLineHeight, JrnLineHeight),
    KVR_NUMBER(jrnLineSpacing, JrnLineSpacing),
    KVR_NUMBER(jrnLineWidth, JrnLineWidth),
    KVR_NUMBER(jrnLetterQuality, JrnLetterQuality),
    KVR_SENSOR(jrnEmpty, JrnEmpty),
    KVR_SENSOR(jrnNearEnd, JrnNearEnd),
    KVR_NUMBER(characterSet, CharacterSet),
    KVR_NUMBER(pageModeStation, PageModeStation),
    KVR_NUMBER(recSidewaysMaxLines, RecSidewaysMaxLines),
    KVR_NUMBER(pageModeHorizontalPosition, PageModeHorizontalPosition),
    KVR_NUMBER(pageModePrintDirection, PageModePrintDirection),
    KVR_NUMBER(pageModeVerticalPosition, PageModeVerticalPosition),
    KVR_NUMBER(carryWord, CarryWord),
#undef KVR_SENSOR
#undef KVR_NUMBER
};
static_assert(sizeof(kSnapshotNumbers) / sizeof(kSnapshotNumbers[0]) == kSavedPropertyWords,
              "the saved property block is 54 words");

// Status record words 1-7, stored only while their sensor is there.
const struct SensorWord {
  long PrnStatusRecord::*status;
  long CPropertyCache::*cache;
  long PrnCapabilityBlock::*cap;
} kSensorWords[] = {
    {&PrnStatusRecord::coverOpen, &CPropertyCache::CoverOpen, &PrnCapabilityBlock::capCoverSensor},
    {&PrnStatusRecord::jrnEmpty, &CPropertyCache::JrnEmpty, &PrnCapabilityBlock::capJrnEmptySensor},
    {&PrnStatusRecord::recEmpty, &CPropertyCache::RecEmpty, &PrnCapabilityBlock::capRecEmptySensor},
    {&PrnStatusRecord::slpEmpty, &CPropertyCache::SlpEmpty, &PrnCapabilityBlock::capSlpEmptySensor},
    {&PrnStatusRecord::jrnNearEnd, &CPropertyCache::JrnNearEnd,
     &PrnCapabilityBlock::capJrnNearEndSensor},
    {&PrnStatusRecord::recNearEnd, &CPropertyCache::RecNearEnd,
     &PrnCapabilityBlock::capRecNearEndSensor},
    {&PrnStatusRecord::slpNearEnd, &CPropertyCache::SlpNearEnd,
     &PrnCapabilityBlock::capSlpNearEndSensor},
};

// Words 8-10: the cartridge states, stored without a capability check.
const struct CartridgeWord {
  long PrnStatusRecord::*status;
  long CPropertyCache::*cache;
} kCartridgeWords[] = {
    {&PrnStatusRecord::jrnCartridgeState, &CPropertyCache::JrnCartridgeState},
    {&PrnStatusRecord::recCartridgeState, &CPropertyCache::RecCartridgeState},
    {&PrnStatusRecord::slpCartridgeState, &CPropertyCache::SlpCartridgeState},
};

}  // namespace

std::atomic<long> CPOSPrinter::s_liveInputRecords{0};
std::atomic<long> CPOSPrinter::s_liveSnapshots{0};

namespace {

// Every input record is one block: the record, then its texts one after another in the
// order of kRecordTexts (none in a record made without them). One delete frees it all.
PrnInputProperty* NewRecordBlock(size_t textBytes, std::nothrow_t) {
  char* block = new (std::nothrow) char[sizeof(PrnInputProperty) + textBytes];
  return block ? new (block) PrnInputProperty{} : nullptr;
}

}  // namespace

PrnInputProperty* CPOSPrinter::NewInputPropertyRecord() {
  PrnInputProperty* record = NewRecordBlock(0, std::nothrow);
  if (!record) throw std::bad_alloc();
  ++s_liveInputRecords;
  return record;
}

void CPOSPrinter::DeleteSnapshot(PrnPropertySnapshot* snapshot) {
  if (!snapshot) return;
  --s_liveSnapshots;
  delete snapshot;
}

PrnInputProperty* CPOSPrinter::CreateInputProperty() {
  // ErrorString is also written on the receive thread under the error-properties lock;
  // the order is always the record-text lock first.
  std::unique_lock<std::mutex> hold(m_recordLock);
  std::unique_lock<std::mutex> holdError(m_errorPropertiesLock);
  size_t textBytes = 0;
  for (const RecordText& text : kRecordTexts) textBytes += (m_props.*text.cache).size() + 1;
  PrnInputProperty* record = NewRecordBlock(textBytes, std::nothrow);
  if (record) {
    ++s_liveInputRecords;
    char* at = reinterpret_cast<char*>(record + 1);
    for (const RecordText& text : kRecordTexts) {
      const std::string& value = m_props.*text.cache;
      std::memcpy(at, value.c_str(), value.size() + 1);
      record->*text.record = at;
      at += value.size() + 1;
    }
  }
  holdError.unlock();
  hold.unlock();
  if (!record) {
    // No room for the texts: they stay NULL, which the sub-module reads as empty.
    record = NewInputPropertyRecord();
    Log(LOG_TRACE, "CPOSPrinter::CreateInputProperty", __LINE__, TAG_INFO,
        "CreateInputProperty error!\n");
  }
  for (const RecordNumber& number : kRecordNumbers) record->*number.record = m_props.*number.cache;
  record->state = GetState();
  return record;
}

void CPOSPrinter::FreePropertyRecord(PrnInputProperty* record) {
  if (!record) return;
  --s_liveInputRecords;
  record->~PrnInputProperty();
  delete[] reinterpret_cast<char*>(record);
}

PrnPropertySnapshot* CPOSPrinter::BuildPropertySnapshot(const PrnInputProperty* record) {
  auto* snapshot = new PrnPropertySnapshot{};
  ++s_liveSnapshots;
  if (record) {
    snapshot->serviceObjectVersion = record->serviceObjectVersion;
    // Words 48..292 of the record are words 32..276 of the snapshot.
    std::memcpy(&snapshot->asyncMode, &record->asyncMode,
                offsetof(PrnInputProperty, pageModeVerticalPosition) + sizeof(long) -
                    offsetof(PrnInputProperty, asyncMode));
  }
  // The text slots belong to the sub-module: they go out NULL.
  for (long offset : kPrnSnapshotTextSlots) {
    *reinterpret_cast<char**>(reinterpret_cast<char*>(snapshot) + offset) = nullptr;
  }
  snapshot->carryWord = m_props.CarryWord;
  snapshot->positionWord1 = -1;
  snapshot->positionWord2 = -1;
  return snapshot;
}

void CPOSPrinter::ApplyPropertySnapshot(const PrnPropertySnapshot* snapshot) {
  if (!snapshot) return;
  for (const SnapshotNumber& number : kSnapshotNumbers) {
    if (number.use == SnapshotUse::kApplied) m_props.*number.cache = snapshot->*number.snapshot;
  }
  std::lock_guard<std::mutex> hold(m_recordLock);
  std::lock_guard<std::mutex> holdError(m_errorPropertiesLock);
  for (const RecordText& text : kRecordTexts) {
    if (const char* value = snapshot->*text.snapshot) m_props.*text.cache = value;
  }
}

void CPOSPrinter::FreePropertySnapshot(PrnPropertySnapshot* snapshot) {
  if (!snapshot) return;
  ApplyPropertySnapshot(snapshot);
  // Only the sub-module frees the texts it put in the slots.
  (void)m_channel->OtherMethod1015(snapshot);
  DeleteSnapshot(snapshot);
}

void CPOSPrinter::ApplyEnableSnapshot(PrnPropertySnapshot* snapshot) {
  if (!snapshot) return;
  ApplyPropertySnapshot(snapshot);
  for (const SnapshotNumber& number : kSnapshotNumbers) {
    if (number.use == SnapshotUse::kEnableSensor) {
      m_props.*number.cache = snapshot->*number.snapshot;
    }
  }
  if (m_props.DeviceEnabled && m_props.PowerNotify == 1) SetPowerState(snapshot->powerState);
  NotePowerReport(snapshot->powerState);
  (void)m_channel->OtherMethod1015(snapshot);
  DeleteSnapshot(snapshot);
}

void CPOSPrinter::ApplyCapabilityBlock(const PrnCapabilityBlock* block) {
  if (block) m_props.Caps = *block;
}

void CPOSPrinter::ApplyStatusRecord(const PrnStatusRecord* record) {
  if (!record) return;
  if (m_props.DeviceEnabled && record->powerState != kNotReported && m_props.PowerNotify == 1) {
    SetPowerState(record->powerState);
  }
  if (record->powerState == kPowerOnline) {
    m_props.OnlineSeen = 1;
  } else {
    m_props.OfflineSeen = 1;
    m_props.OnlineSeen = 0;
  }
  NotePowerReport(record->powerState);
  if (!m_props.DeviceEnabled) return;
  for (const SensorWord& word : kSensorWords) {
    const long value = record->*word.status;
    if (value != kNotReported && m_props.Caps.*word.cap == 1) m_props.*word.cache = value;
  }
  for (const CartridgeWord& word : kCartridgeWords) {
    const long value = record->*word.status;
    if (value != kNotReported) m_props.*word.cache = value;
  }
  if (record->errorCleared != kNotReported) ClearErrorProperties();
}

void CPOSPrinter::NotePowerReport(long powerState) {
  if (powerState == kPowerOnline) {
    m_onlineAfterReset.store(1);
  } else if (powerState == kPowerOffline) {
    m_offlineAfterReset.store(1);
    m_onlineAfterReset.store(0);
  } else {
    return;
  }
  m_powerReport.store(powerState);
}

void CPOSPrinter::UpdateStatusProperties(const PrnInputProperty* record) {
  if (!record) return;
  for (const RecordNumber& number : kRecordNumbers) {
    if (number.status) m_props.*number.cache = record->*number.record;
  }
}

void CPOSPrinter::SaveRestoreProperties(long* block, long* saved) {
  if (!block || !saved) return;
  if (*saved == 0) {
    for (size_t i = 0; i < kSavedPropertyWords; ++i) block[i] = m_props.*kSnapshotNumbers[i].cache;
    *saved = 1;
  } else {
    for (size_t i = 0; i < kSavedPropertyWords; ++i) m_props.*kSnapshotNumbers[i].cache = block[i];
    *saved = 0;
  }
}
