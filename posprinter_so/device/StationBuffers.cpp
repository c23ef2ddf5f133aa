// The hidden window's station buffers: the receipt and journal transactions, the receipt
// page and the receipt rotated print, which collect output until their mode ends. Control
// Object's thread only. An operation that takes records over frees each exactly once,
// whether it hands them to an output request or not.
#include "CommDevice.h"
#include "HiddenWindow.h"
#include "POSPrinter.h"

namespace {

enum : long { kPagePrint = 2, kPageNormal = 3, kPageCancel = 4 };

}  // namespace

PrnStationState* CRJDevice::NewOutputRequest(long station, long rotation) {
  auto* record = new PrnStationState{};
  record->receiptTransaction = m_modes.receiptTransaction;
  record->journalTransaction = m_modes.journalTransaction;
  record->pageMode = m_modes.pageMode;
  record->rotatedDirection = m_modes.rotatedDirection;
  record->rotatedPrint = m_modes.rotatedPrint;
  record->upsideDown = m_modes.upsideDown;
  record->bitmapDirectionLeft = m_modes.bitmapDirectionLeft;
  record->bitmapsRotated180 = m_modes.bitmapsRotated180;
  record->bitmapsRotated90 = m_modes.bitmapsRotated90;
  record->rotation = rotation;
  if (station == PRN_STATION_RECEIPT) {
    record->stationBuffer = m_receiptTransaction;
    record->pageModeBuffer = m_pageModeList;
    record->rotationBuffer = m_rotationList;
  } else if (station == PRN_STATION_JOURNAL) {
    record->stationBuffer = m_journalTransaction;
  }
  record->settingsChanged = m_settingsChanged.load();
  return record;
}

long CRJDevice::ScanCommandTokens(PrnTokenList* list) { return m_channel->OtherMethod1009(list); }

PrnTokenList* CRJDevice::TransactionList(long station) const {
  if (station == PRN_STATION_RECEIPT) return m_receiptTransaction;
  if (station == PRN_STATION_JOURNAL) return m_journalTransaction;
  return nullptr;
}

void CRJDevice::FreeRecords(PrnInputProperty* record, PrnStationState* stationState,
                            PrnPropertySnapshot* snapshot) {
  delete stationState;
  if (record) m_owner->FreePropertyRecord(record);
  if (snapshot) m_owner->FreePropertySnapshot(snapshot);
}

long CRJDevice::BeginTransaction(long station) {
  PrnTokenList** slot = nullptr;
  long* word = nullptr;
  if (station == PRN_STATION_RECEIPT) {
    if (m_receiptTransaction || m_pageModeList) return 1;
    slot = &m_receiptTransaction;
    word = &m_modes.receiptTransaction;
  } else if (station == PRN_STATION_JOURNAL) {
    if (m_journalTransaction) return 1;
    slot = &m_journalTransaction;
    word = &m_modes.journalTransaction;
  } else {
    return 2;  // only the receipt and the journal keep a transaction list
  }
  PrnTokenList* list = m_channel->OtherMethod1018(station);
  if (!list) return 2;
  *slot = list;
  *word = 1;
  return 0;
}

long CRJDevice::AppendToTransaction(long station, PrnTokenList* list) {
  if (!list) return 0;
  long moved = 0;
  if (PrnTokenList* target = TransactionList(station))
    moved = m_channel->OtherMethod1007(target, list);
  (void)m_channel->ReleaseSubSOData(list);
  return moved;
}

long CRJDevice::EndStationBuffer(PrnInputProperty* record, PrnStationState* stationState,
                                 long station, bool send, bool asynchronous, long queue,
                                 long* result, long* extended) {
  PrnTokenList* list = TransactionList(station);
  if (!list) {
    FreeRecords(record, stationState, nullptr);
    return -1;
  }
  if (station == PRN_STATION_RECEIPT) {
    m_receiptTransaction = nullptr;
    m_modes.receiptTransaction = 0;
  } else {
    m_journalTransaction = nullptr;
    m_modes.journalTransaction = 0;
  }
  if (!send) {
    (void)m_channel->ReleaseSubSOData(list);
    FreeRecords(record, stationState, nullptr);
    return 0;
  }
  // The record was made while the list was open: it must not name a list that left.
  if (stationState) {
    stationState->stationBuffer = nullptr;
    if (station == PRN_STATION_RECEIPT) stationState->receiptTransaction = 0;
    else stationState->journalTransaction = 0;
  }
  if (station == PRN_STATION_RECEIPT) (void)ScanCommandTokens(list);
  return SendAndWait(record, stationState, list, asynchronous, queue, result, extended);
}

long CRJDevice::PrintBuffer(PrnInputProperty* record, PrnStationState* stationState,
                            PrnTokenList* list, bool asynchronous, long queue, long* result,
                            long* extended) {
  if (m_receiptTransaction) {
    const long moved = AppendToTransaction(PRN_STATION_RECEIPT, list);
    FreeRecords(record, stationState, nullptr);
    if (result) *result = moved;
    if (extended) *extended = 0;
    return moved;
  }
  (void)ScanCommandTokens(list);
  return SendAndWait(record, stationState, list, asynchronous, queue, result, extended);
}

long CRJDevice::BeginPageMode(PrnInputProperty* record, PrnStationState* stationState,
                              PrnPropertySnapshot* snapshot, long station, long control) {
  if (station != PRN_STATION_RECEIPT) return 0;
  if (m_pageModeList) return 1;
  PrnTokenList* list = m_channel->OtherMethod1018(station);
  if (!list) return 2;
  if (stationState) stationState->pageModeBuffer = list;
  PrnTokenList* unused = nullptr;
  (void)m_channel->executePageModePrint(record, stationState, control, &unused, snapshot);
  if (unused) (void)m_channel->ReleaseSubSOData(unused);
  m_pageModeList = list;
  m_modes.pageMode = 1;
  return 0;
}

long CRJDevice::AppendPositionedToBuffer(PrnInputProperty* record, PrnStationState* stationState,
                                         PrnTokenList* list, long position1, long position2) {
  (void)m_channel->OtherMethod1006(record, stationState, list, position1, position2,
                                   m_pageModeList);
  const long moved = m_pageModeList ? m_channel->OtherMethod1007(m_pageModeList, list) : 0;
  (void)m_channel->ReleaseSubSOData(list);
  return moved;
}

long CRJDevice::FlushStation(PrnInputProperty* record, PrnStationState* stationState,
                             PrnPropertySnapshot* snapshot, long station, long control,
                             bool asynchronous, long queue, long* result, long* extended) {
  if (station != PRN_STATION_RECEIPT || !m_pageModeList) {
    FreeRecords(record, stationState, snapshot);
    return -1;
  }
  if (control != kPagePrint && control != kPageNormal) {
    (void)m_channel->ReleaseSubSOData(m_pageModeList);
    m_pageModeList = nullptr;
    m_modes.pageMode = 0;
    FreeRecords(record, stationState, snapshot);
    return -1;
  }
  PrnTokenList* page = m_pageModeList;
  if (control == kPagePrint) {
    // A copy prints; the page stays open with its tokens.
    page = m_channel->OtherMethod1018(station);
    if (page) (void)m_channel->OtherMethod1019(m_pageModeList, &page);
  } else {
    m_pageModeList = nullptr;
    m_modes.pageMode = 0;
  }
  if (!page || page->totalBytes <= 0) {
    if (page) (void)m_channel->ReleaseSubSOData(page);
    FreeRecords(record, stationState, snapshot);
    return -1;
  }
  // The execute phase frames the list the record names.
  if (stationState) stationState->pageModeBuffer = page;
  PrnTokenList* unused = nullptr;
  const long framed =
      m_channel->executePageModePrint(record, stationState, control, &unused, snapshot);
  if (unused) (void)m_channel->ReleaseSubSOData(unused);
  // A refusal answers with the sub-module's extended code, as the end of a rotated print does.
  const long framedExtended = snapshot ? snapshot->resultCodeExtended : 0;
  if (snapshot) m_owner->FreePropertySnapshot(snapshot);
  if (framed != 0) {
    if (extended) *extended = framedExtended;
    (void)m_channel->ReleaseSubSOData(page);
    FreeRecords(record, stationState, nullptr);
    return framed;
  }
  if (stationState) {
    stationState->pageModeBuffer = m_pageModeList;
    stationState->pageMode = m_modes.pageMode;
  }
  return PrintBuffer(record, stationState, page, asynchronous, queue, result, extended);
}

long CRJDevice::BeginRotatePrint(PrnInputProperty* record, PrnStationState* stationState,
                                 PrnPropertySnapshot* snapshot, long station, long rotation,
                                 long direction) {
  if (station != PRN_STATION_RECEIPT) return 0;
  if (m_rotationList) return 1;
  PrnTokenList* list = m_channel->OtherMethod1018(station);
  if (!list) return 2;
  if (stationState) stationState->rotationBuffer = list;
  PrnTokenList* unused = nullptr;
  (void)m_channel->executeRotatePrint(record, stationState, station, rotation, &unused,
                                      snapshot);
  if (unused) (void)m_channel->ReleaseSubSOData(unused);
  m_rotationList = list;
  m_modes.rotatedPrint = 1;
  m_modes.rotatedDirection = direction;
  return 0;
}

long CRJDevice::AppendToStationBuffer(long station, PrnTokenList* list) {
  long moved = 0;
  if (station == PRN_STATION_RECEIPT && m_rotationList && list)
    moved = m_channel->OtherMethod1007(m_rotationList, list);
  if (list) (void)m_channel->ReleaseSubSOData(list);
  return moved;
}

long CRJDevice::SendStation(PrnInputProperty* record, PrnStationState* stationState,
                            PrnPropertySnapshot* snapshot, long station, long rotation,
                            bool print, bool asynchronous, long queue, long* result,
                            long* extended) {
  if (station != PRN_STATION_RECEIPT || !m_rotationList) {
    FreeRecords(record, stationState, snapshot);
    return 0;
  }
  PrnTokenList* list = m_rotationList;
  if (!print) {
    m_rotationList = nullptr;
    m_modes.rotatedPrint = 0;
    (void)m_channel->ReleaseSubSOData(list);
    FreeRecords(record, stationState, snapshot);
    return 0;
  }
  if (stationState) {
    stationState->rotationBuffer = list;
    stationState->rotatedDirection = m_modes.rotatedDirection;
  }
  PrnTokenList* unused = nullptr;
  const long closed =
      m_channel->executeRotatePrint(record, stationState, station, rotation, &unused, snapshot);
  if (unused) (void)m_channel->ReleaseSubSOData(unused);
  if (closed != 0) {
    if (extended) *extended = snapshot ? snapshot->resultCodeExtended : 0;
    FreeRecords(record, stationState, snapshot);
    return closed;  // the rotated print stays open
  }
  if (snapshot) m_owner->FreePropertySnapshot(snapshot);
  m_rotationList = nullptr;
  m_modes.rotatedPrint = 0;
  if (stationState) {
    stationState->rotationBuffer = nullptr;
    stationState->rotatedPrint = 0;
  }
  return PrintBuffer(record, stationState, list, asynchronous, queue, result, extended);
}

void CRJDevice::ResetStationModes() {
  for (PrnTokenList** list :
       {&m_receiptTransaction, &m_journalTransaction, &m_rotationList, &m_pageModeList}) {
    if (*list) (void)m_channel->ReleaseSubSOData(*list);
    *list = nullptr;
  }
}
