// One output on its way to the printer, the entry that keeps a written asynchronous output
// until the printer confirms it, and what the device channel needs from the service object.
#pragma once
#include <cstddef>
#include <mutex>
#include <string>

#include "PrinterSubApi.h"
#include "Win.h"
#include "WindowMessages.h"  // what the output path posts to the hidden window

enum : long {
  OUTPUT_QUEUE_IMMEDIATE = 0,
  OUTPUT_QUEUE_NORMAL = 2,
  OUTPUT_COMPLETE_BY_MESSAGE = 1,  // asynchronous: post a window message
  OUTPUT_COMPLETE_BY_RESULT = 2,   // synchronous: write the caller's result cells
};

// Where a finished output goes: the window, message and parameter of kind 1, or the
// caller's result cells and their lock of kind 2, with the event set once they are written
// (optional).
struct COutputCompletion {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM messageParam = 0;
  long* resultCell = nullptr;
  long* extendedCell = nullptr;
  std::mutex* resultLock = nullptr;
  HANDLE doneEvent = nullptr;
};

// The request record: 32-bit fields, owned by its queue, then by the thread that took it.
// The input property record is freed through the channel's owner; the station state record
// is allocated with new by the caller and freed here with delete.
struct COutputRequest {
  PrnInputProperty* inputProperty;
  PrnStationState* stationState;
  PrnTokenList* list;
  unsigned char* data;  // rendered bytes, new[]
  long length;
  long completionKind;
  HWND window;
  UINT message;
  WPARAM messageParam;
  long* resultCell;
  long* extendedCell;
  std::mutex* resultLock;
  long outputId;
  long queue;
  long responseId;
  HANDLE doneEvent;  // kind 2: set once the result cells are written, or null
};
static_assert(sizeof(COutputRequest) == 64, "output request is 64 bytes");
static_assert(offsetof(COutputRequest, outputId) == 48, "OutputID at word 12");
static_assert(offsetof(COutputRequest, responseId) == 56, "response id at word 14");

// A written asynchronous request waiting for its response id. It enters the list just
// before its write and counts as written only once the printer took the bytes.
struct CPrintWaitEntry {
  COutputRequest copy;  // no input record, no list; data is the entry's own copy
  long failed;          // set after a failed write: the entry is never completed
  long station;         // first word of the request's list, 0 without one
  long written;         // the printer took this copy's bytes
  long answered;        // the printer answered for it; completes once written and oldest
  long lost;            // 0, or the ResultCode of the error to raise: its answer cannot come
  long resending;       // queued to be written again; keeps its place in the list meanwhile
};

// The claimed printer's three fixed parameters (from the device entry, set at Open). The
// channel hands them to the print-data tokenizer; the claim object carries them.
class CPrinterParameters {
 public:
  long CutDistance() const { return m_cutDistance; }
  long LineEndFlags() const { return m_lineEndFlags; }
  long Resolution() const { return m_resolution; }

 protected:
  long m_cutDistance = 0;  // nothing reads it here; kept with the others
  long m_lineEndFlags = 0;
  long m_resolution = 0;
};

// The way back from the channel's threads and callbacks to the service object holding the
// claim. Every call comes from a worker thread.
class IChannelOwner {
 public:
  virtual ~IChannelOwner() = default;
  virtual bool IsEnabled() = 0;
  virtual PrnInputProperty* CreateInputProperty() = 0;
  virtual PrnPropertySnapshot* BuildPropertySnapshot(PrnInputProperty* record) = 0;
  virtual void FreePropertyRecord(PrnInputProperty* record) = 0;
  virtual void FreePropertySnapshot(PrnPropertySnapshot* snapshot) = 0;
  virtual void ApplyStatusRecord(PrnStatusRecord* record) = 0;
  virtual void UpdateStatusProperties(PrnInputProperty* record) = 0;
  virtual void FireStatusUpdate(PrnStatusRecord* record, long code) = 0;
  virtual void QueueDirectIOEvent(PrnDirectIOEventRecord* record) = 0;
  // Raises the error event and waits for the application's answer: true to retry, false
  // to clear (also when the device is no longer enabled).
  virtual bool PostErrorAndWait(long station, long errorLevel, const std::string& text,
                                long resultCode, long resultCodeExtended, HWND window) = 0;
  virtual std::string GetErrorString() = 0;
  virtual void ClearErrorProperties() = 0;
};
