// The OPOS POSPrinter service dispatch interface: one row per DISPID with the names a
// Control Object looks up (the service-object names of the OPOS standard and the older
// Close/Claim/Release), the argument kinds and the handler.
#include <new>

#include "DispatchArgs.h"
#include "POSPrinter.h"

namespace {

enum class Result : unsigned char { kLong, kText, kNone };

using Handler = void (*)(CPOSPrinter& so, CDispArgs& a, VARIANT* result);

struct DispatchRow {
  DISPID id;
  const wchar_t* names[2];
  Result result;
  unsigned argc;
  ArgKind args[7];
};

struct DispatchEntry {
  DispatchRow row;
  Handler handler;
};

constexpr ArgKind L = ArgKind::kLong;
constexpr ArgKind T = ArgKind::kText;
constexpr ArgKind LR = ArgKind::kLongRef;
constexpr ArgKind TR = ArgKind::kTextRef;
constexpr ArgKind D = ArgKind::kDispatch;

void SetLong(VARIANT* result, long value) {
  V_VT(result) = VT_I4;
  V_I4(result) = value;
}

#define LONG_RESULT(call) [](CPOSPrinter& so, CDispArgs& a, VARIANT* r) { SetLong(r, so.call); }

const DispatchEntry kDispatch[] = {
    {{1, {L"GetPropertyNumber"}, Result::kLong, 1, {L}},
     LONG_RESULT(GetPropertyNumber(a.Long(0)))},
    {{2, {L"SetPropertyNumber"}, Result::kNone, 2, {L, L}},
     [](CPOSPrinter& so, CDispArgs& a, VARIANT*) { so.SetPropertyNumber(a.Long(0), a.Long(1)); }},
    {{3, {L"GetPropertyString"}, Result::kText, 1, {L}},
     [](CPOSPrinter& so, CDispArgs& a, VARIANT* r) {
       V_VT(r) = VT_BSTR;
       V_BSTR(r) = so.GetPropertyString(a.Long(0));
     }},
    {{4, {L"SetPropertyString"}, Result::kNone, 2, {L, T}},
     [](CPOSPrinter& so, CDispArgs& a, VARIANT*) { so.SetPropertyString(a.Long(0), a.Text(1)); }},
    {{5, {L"OpenService"}, Result::kLong, 3, {T, T, D}},
     LONG_RESULT(OpenService(a.Text(0), a.Text(1), a.Dispatch(2)))},
    {{6, {L"CloseService", L"Close"}, Result::kLong, 0, {}}, LONG_RESULT(Close())},
    {{7, {L"ClaimDevice", L"Claim"}, Result::kLong, 1, {L}}, LONG_RESULT(Claim(a.Long(0)))},
    {{8, {L"ReleaseDevice", L"Release"}, Result::kLong, 0, {}}, LONG_RESULT(ReleaseDevice())},
    {{9, {L"CheckHealth"}, Result::kLong, 1, {L}}, LONG_RESULT(CheckHealth(a.Long(0)))},
    {{10, {L"DirectIO"}, Result::kLong, 3, {L, LR, TR}},
     LONG_RESULT(DirectIO(a.Long(0), a.LongRef(1), a.TextRef(2)))},
    {{11, {L"COFreezeEvents"}, Result::kLong, 1, {L}}, LONG_RESULT(COFreezeEvents(a.Long(0)))},
    {{12, {L"ClearOutput"}, Result::kLong, 0, {}}, LONG_RESULT(ClearOutput())},
    {{13, {L"BeginInsertion"}, Result::kLong, 1, {L}}, LONG_RESULT(BeginInsertion(a.Long(0)))},
    {{14, {L"BeginRemoval"}, Result::kLong, 1, {L}}, LONG_RESULT(BeginRemoval(a.Long(0)))},
    {{15, {L"EndInsertion"}, Result::kLong, 0, {}}, LONG_RESULT(EndInsertion())},
    {{16, {L"EndRemoval"}, Result::kLong, 0, {}}, LONG_RESULT(EndRemoval())},
    {{17, {L"CutPaper"}, Result::kLong, 1, {L}}, LONG_RESULT(CutPaper(a.Long(0)))},
    {{18, {L"PrintBarCode"}, Result::kLong, 7, {L, T, L, L, L, L, L}},
     LONG_RESULT(PrintBarCode(a.Long(0), a.Text(1), a.Long(2), a.Long(3), a.Long(4), a.Long(5),
                              a.Long(6)))},
    {{19, {L"PrintBitmap"}, Result::kLong, 4, {L, T, L, L}},
     LONG_RESULT(PrintBitmap(a.Long(0), a.Text(1), a.Long(2), a.Long(3)))},
    {{20, {L"PrintImmediate"}, Result::kLong, 2, {L, T}},
     LONG_RESULT(PrintImmediate(a.Long(0), a.Text(1)))},
    {{21, {L"PrintNormal"}, Result::kLong, 2, {L, T}},
     LONG_RESULT(PrintNormal(a.Long(0), a.Text(1)))},
    {{22, {L"PrintTwoNormal"}, Result::kLong, 3, {L, T, T}},
     LONG_RESULT(PrintTwoNormal(a.Long(0), a.Text(1), a.Text(2)))},
    {{23, {L"RotatePrint"}, Result::kLong, 2, {L, L}},
     LONG_RESULT(RotatePrint(a.Long(0), a.Long(1)))},
    {{24, {L"SetBitmap"}, Result::kLong, 5, {L, L, T, L, L}},
     LONG_RESULT(SetBitmap(a.Long(0), a.Long(1), a.Text(2), a.Long(3), a.Long(4)))},
    {{25, {L"SetLogo"}, Result::kLong, 2, {L, T}}, LONG_RESULT(SetLogo(a.Long(0), a.Text(1)))},
    {{26, {L"TransactionPrint"}, Result::kLong, 2, {L, L}},
     LONG_RESULT(TransactionPrint(a.Long(0), a.Long(1)))},
    {{27, {L"ValidateData"}, Result::kLong, 2, {L, T}},
     LONG_RESULT(ValidateData(a.Long(0), a.Text(1)))},
    {{28, {L"GetOpenResult"}, Result::kLong, 0, {}}, LONG_RESULT(GetOpenResult())},
    {{29, {L"ChangePrintSide"}, Result::kLong, 1, {L}}, LONG_RESULT(ChangePrintSide(a.Long(0)))},
    {{30, {L"MarkFeed"}, Result::kLong, 1, {L}}, LONG_RESULT(MarkFeed(a.Long(0)))},
    {{31, {L"ClearPrintArea"}, Result::kLong, 0, {}}, LONG_RESULT(ClearPrintArea())},
    {{32, {L"PageModePrint"}, Result::kLong, 1, {L}}, LONG_RESULT(PageModePrint(a.Long(0)))},
    {{33, {L"CompareFirmwareVersion"}, Result::kLong, 2, {T, LR}},
     LONG_RESULT(CompareFirmwareVersion(a.Text(0), a.LongRef(1)))},
    {{34, {L"ResetStatistics"}, Result::kLong, 1, {T}}, LONG_RESULT(ResetStatistics(a.Text(0)))},
    {{35, {L"RetrieveStatistics"}, Result::kLong, 1, {TR}},
     LONG_RESULT(RetrieveStatistics(a.TextRef(0)))},
    {{36, {L"UpdateFirmware"}, Result::kLong, 1, {T}}, LONG_RESULT(UpdateFirmware(a.Text(0)))},
    {{37, {L"UpdateStatistics"}, Result::kLong, 1, {T}},
     LONG_RESULT(UpdateStatistics(a.Text(0)))},
    {{38, {L"PrintMemoryBitmap"}, Result::kLong, 5, {L, T, L, L, L}},
     LONG_RESULT(PrintMemoryBitmap(a.Long(0), a.Text(1), a.Long(2), a.Long(3), a.Long(4)))},
    {{39, {L"DrawRuledLine"}, Result::kLong, 6, {L, T, L, L, L, L}},
     LONG_RESULT(DrawRuledLine(a.Long(0), a.Text(1), a.Long(2), a.Long(3), a.Long(4),
                               a.Long(5)))},
};
static_assert(sizeof(kDispatch) / sizeof(kDispatch[0]) == 39, "DISPIDs 1-39");

const DispatchEntry* FindById(DISPID id) {
  if (id < 1 || id > 39) return nullptr;
  const DispatchEntry& entry = kDispatch[id - 1];
  return entry.row.id == id ? &entry : nullptr;
}

const DispatchEntry* FindByName(const wchar_t* name) {
  if (!name) return nullptr;
  for (const DispatchEntry& entry : kDispatch) {
    for (const wchar_t* candidate : entry.row.names) {
      // Automation names are case-insensitive.
      if (candidate && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, candidate, -1, name,
                                      -1) == CSTR_EQUAL) {
        return &entry;
      }
    }
  }
  return nullptr;
}

}  // namespace

HRESULT CPOSPrinter::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT CPOSPrinter::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT CPOSPrinter::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                   DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids || count == 0) return E_INVALIDARG;
  const DispatchEntry* entry = FindByName(names[0]);
  ids[0] = entry ? entry->row.id : DISPID_UNKNOWN;
  // Further names would be parameter names, which the interface does not publish.
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return (entry && count == 1) ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT CPOSPrinter::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO*, UINT* argErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const DispatchEntry* entry = FindById(id);
  if (!entry) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  // Nothing thrown inside may cross the COM boundary.
  try {
    CDispArgs args;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    const HRESULT bound =
        args.Bind(params ? params : &none, entry->row.args, entry->row.argc, argErr);
    if (FAILED(bound)) return bound;
    VARIANT value;
    VariantInit(&value);
    // The object outlives a call that drops the Control Object's last reference; the
    // reference is given back when the handler throws too.
    struct CallReference {
      explicit CallReference(CPOSPrinter* so) : so(so) { so->AddOwnReference(); }
      ~CallReference() { so->ReleaseOwnReference(); }
      CPOSPrinter* so;
    };
    {
      CallReference hold(this);
      entry->handler(*this, args, &value);
    }
    if (result) {
      VariantInit(result);
      *result = value;
    } else {
      VariantClear(&value);
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
