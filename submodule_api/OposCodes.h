// OPOS result codes and the POSPrinter extended codes that cross the sub-module interface.
#pragma once

enum OposResult : long {
  OPOS_SUCCESS = 0,
  OPOS_E_CLOSED = 101,
  OPOS_E_CLAIMED = 102,
  OPOS_E_NOTCLAIMED = 103,
  OPOS_E_NOSERVICE = 104,
  OPOS_E_DISABLED = 105,
  OPOS_E_ILLEGAL = 106,
  OPOS_E_NOHARDWARE = 107,
  OPOS_E_OFFLINE = 108,
  OPOS_E_NOEXIST = 109,
  OPOS_E_EXISTS = 110,
  OPOS_E_FAILURE = 111,
  OPOS_E_TIMEOUT = 112,
  OPOS_E_BUSY = 113,
  OPOS_E_EXTENDED = 114,
};

// ResultCodeExtended: the standard's POSPrinter codes and this driver's own (1001-1014).
enum OposExtended : long {
  OPOS_EPTR_COVER_OPEN = 201,
  OPOS_EPTR_JRN_EMPTY = 202,
  OPOS_EPTR_REC_EMPTY = 203,
  OPOS_EPTR_TOOBIG = 206,
  OPOS_EPTR_BADFORMAT = 207,
  OPOS_ESTATS_ERROR = 280,
  KVR_EPTR_VP_VOLTAGE = 1001,
  KVR_EPTR_AUTOCUTTER = 1002,
  KVR_EPTR_HEAD_TEMPERATURE = 1005,
  KVR_EPTR_MEMORY_TOO_SMALL = 1009,
  KVR_EPTR_UNRECOVERABLE = 1010,
  KVR_EPTR_BATTERY = 1013,
  KVR_EPTR_MARK_PAPER_JAM = 1014,
};

// ErrorLevel / severity that goes with an error notice.
enum OposSeverity : long {
  OPOS_SEVERITY_NONE = 1,
  OPOS_SEVERITY_RECOVERABLE = 2,
  OPOS_SEVERITY_FATAL = 3,
};

// UnifiedPOS PowerState values.
enum OposPowerState : long {
  OPOS_PS_UNKNOWN = 2000,
  OPOS_PS_ONLINE = 2001,
  OPOS_PS_OFF = 2002,
  OPOS_PS_OFFLINE = 2003,
  OPOS_PS_OFF_OFFLINE = 2004,
};
