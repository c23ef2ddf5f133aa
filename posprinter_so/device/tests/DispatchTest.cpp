// Argument coercion and the dispatch table, at the level of the class.
#include <gtest/gtest.h>

#include <functional>

#include "DispatchArgs.h"
#include "ExpectedDispatch.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "TestSupport.h"

namespace {

VARIANT Long(long value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT Text(const wchar_t* text, UINT length) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocStringLen(text, length);
  return v;
}

// One argument through CDispArgs::Bind.
struct BindResult {
  HRESULT hr;
  UINT argErr;
};
BindResult BindOne(CDispArgs& args, VARIANT* value, ArgKind kind) {
  DISPPARAMS params = {value, nullptr, 1, 0};
  UINT argErr = 99;
  const HRESULT hr = args.Bind(&params, &kind, 1, &argErr);
  return {hr, argErr};
}

TEST(DispatchArgs, LongsAreCoercedFromValuesAndReferences) {
  long cell = 77;
  VARIANT inner = Long(9);
  VARIANT byRefLong;
  V_VT(&byRefLong) = VT_BYREF | VT_I4;
  V_I4REF(&byRefLong) = &cell;
  VARIANT byRefVariant;
  V_VT(&byRefVariant) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&byRefVariant) = &inner;
  VARIANT shortValue;
  V_VT(&shortValue) = VT_I2;
  V_I2(&shortValue) = -3;
  VARIANT text = Text(L"42", 2);
  const struct {
    const char* label;
    VARIANT* value;
    long expected;
  } rows[] = {
      {"VT_I4", nullptr, 5},
      {"VT_I2", &shortValue, -3},
      {"VT_BSTR digits", &text, 42},
      {"VT_BYREF|VT_I4", &byRefLong, 77},
      {"VT_BYREF|VT_VARIANT", &byRefVariant, 9},
  };
  VARIANT five = Long(5);
  for (const auto& row : rows) {
    CDispArgs args;
    const BindResult bound = BindOne(args, row.value ? row.value : &five, ArgKind::kLong);
    EXPECT_EQ(bound.hr, S_OK) << row.label;
    EXPECT_EQ(args.Long(0), row.expected) << row.label;
  }
  VariantClear(&text);
}

TEST(DispatchArgs, AnArgumentThatIsNoNumberIsATypeMismatchAtItsIndex) {
  VARIANT values[2] = {Text(L"abc", 3), Long(1)};  // rgvarg: last argument first
  DISPPARAMS params = {values, nullptr, 2, 0};
  const ArgKind kinds[] = {ArgKind::kLong, ArgKind::kLong};
  CDispArgs args;
  UINT argErr = 99;
  EXPECT_EQ(args.Bind(&params, kinds, 2, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u) << "the second argument sits at rgvarg[0]";
  VariantClear(&values[0]);
}

TEST(DispatchArgs, CountsAndNamedArgumentsAreChecked) {
  VARIANT one = Long(1);
  DISPPARAMS params = {&one, nullptr, 1, 0};
  const ArgKind kinds[] = {ArgKind::kLong, ArgKind::kLong};
  CDispArgs a;
  EXPECT_EQ(a.Bind(&params, kinds, 2, nullptr), DISP_E_BADPARAMCOUNT);
  DISPID named = 0;
  DISPPARAMS withName = {&one, &named, 1, 1};
  CDispArgs b;
  EXPECT_EQ(b.Bind(&withName, kinds, 1, nullptr), DISP_E_NONAMEDARGS);
  DISPPARAMS noArray = {nullptr, nullptr, 1, 0};
  CDispArgs c;
  EXPECT_EQ(c.Bind(&noArray, kinds, 1, nullptr), E_INVALIDARG) << "a count without arguments";
}

TEST(DispatchArgs, TextsKeepTheirLengthAndNumbersBecomeText) {
  const wchar_t binary[] = {L'a', 0, L'b'};
  VARIANT withNul = Text(binary, 3);
  VARIANT number = Long(7);
  CDispArgs a;
  ASSERT_EQ(BindOne(a, &withNul, ArgKind::kText).hr, S_OK);
  EXPECT_EQ(SysStringLen(a.Text(0)), 3u);
  EXPECT_EQ(a.Text(0)[2], L'b');
  CDispArgs b;
  ASSERT_EQ(BindOne(b, &number, ArgKind::kText).hr, S_OK);
  EXPECT_STREQ(b.Text(0), L"7");
  VariantClear(&withNul);
}

TEST(DispatchArgs, OutLongsWriteThroughTheCallersReference) {
  long cell = 1;
  VARIANT byRef;
  V_VT(&byRef) = VT_BYREF | VT_I4;
  V_I4REF(&byRef) = &cell;
  CDispArgs a;
  ASSERT_EQ(BindOne(a, &byRef, ArgKind::kLongRef).hr, S_OK);
  *a.LongRef(0) = 55;
  EXPECT_EQ(cell, 55);

  // A referenced VARIANT of another type is converted in place and written there.
  VARIANT inner = Text(L"12", 2);
  VARIANT byRefVariant;
  V_VT(&byRefVariant) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&byRefVariant) = &inner;
  CDispArgs b;
  ASSERT_EQ(BindOne(b, &byRefVariant, ArgKind::kLongRef).hr, S_OK);
  EXPECT_EQ(*b.LongRef(0), 12);
  *b.LongRef(0) = 66;
  EXPECT_EQ(V_VT(&inner), VT_I4);
  EXPECT_EQ(V_I4(&inner), 66);

  // By value: a local cell that holds the value.
  VARIANT value = Long(3);
  CDispArgs c;
  ASSERT_EQ(BindOne(c, &value, ArgKind::kLongRef).hr, S_OK);
  EXPECT_EQ(*c.LongRef(0), 3);

  // A reference to a type that could not be written back is refused.
  double real = 1.5;
  VARIANT byRefReal;
  V_VT(&byRefReal) = VT_BYREF | VT_R8;
  V_R8REF(&byRefReal) = &real;
  CDispArgs d;
  EXPECT_EQ(BindOne(d, &byRefReal, ArgKind::kLongRef).hr, DISP_E_TYPEMISMATCH);
}

TEST(DispatchArgs, OutTextsWriteThroughTheCallersReference) {
  BSTR text = SysAllocString(L"in");
  VARIANT byRef;
  V_VT(&byRef) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&byRef) = &text;
  CDispArgs a;
  ASSERT_EQ(BindOne(a, &byRef, ArgKind::kTextRef).hr, S_OK);
  EXPECT_EQ(a.TextRef(0), &text);
  SysReAllocString(a.TextRef(0), L"out");
  EXPECT_STREQ(text, L"out");
  SysFreeString(text);

  VARIANT inner;
  VariantInit(&inner);  // VT_EMPTY becomes an empty text
  VARIANT byRefVariant;
  V_VT(&byRefVariant) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&byRefVariant) = &inner;
  CDispArgs b;
  ASSERT_EQ(BindOne(b, &byRefVariant, ArgKind::kTextRef).hr, S_OK);
  SysReAllocString(b.TextRef(0), L"xml");
  EXPECT_EQ(V_VT(&inner), VT_BSTR);
  EXPECT_STREQ(V_BSTR(&inner), L"xml");
  VariantClear(&inner);
}

// An IDispatch that only counts references.
class CountingDispatch : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** o) override {
    *o = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  ULONG refs = 0;
};

TEST(DispatchArgs, ADispatchArgumentIsHeldOnlyForTheCall) {
  CountingDispatch object;
  VARIANT value;
  V_VT(&value) = VT_DISPATCH;
  V_DISPATCH(&value) = &object;
  {
    CDispArgs a;
    ASSERT_EQ(BindOne(a, &value, ArgKind::kDispatch).hr, S_OK);
    EXPECT_EQ(a.Dispatch(0), &object);
  }
  EXPECT_EQ(object.refs, 0u);
  VARIANT empty;
  VariantInit(&empty);
  CDispArgs b;
  ASSERT_EQ(BindOne(b, &empty, ArgKind::kDispatch).hr, S_OK);
  EXPECT_EQ(b.Dispatch(0), nullptr);
}

class DispatchTable : public ::testing::Test {
 protected:
  void SetUp() override { so_ = sotest::NewServiceObject(); }
  void TearDown() override { so_->Release(); }
  CPOSPrinter* so_ = nullptr;
};

TEST_F(DispatchTable, EveryNameResolvesToItsDispid) {
  for (const ExpectedName& row : kExpectedNames) {
    LPOLESTR name = const_cast<LPOLESTR>(row.name);
    DISPID id = -7;
    EXPECT_EQ(so_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id), S_OK)
        << row.dispid;
    EXPECT_EQ(id, row.dispid);
  }
}

TEST_F(DispatchTable, NameLookUpRefusals) {
  LPOLESTR unknown = const_cast<LPOLESTR>(L"SOData");
  DISPID id = 0;
  EXPECT_EQ(so_->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  LPOLESTR lower = const_cast<LPOLESTR>(L"printnormal");
  EXPECT_EQ(so_->GetIDsOfNames(IID_NULL, &lower, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 21);
  LPOLESTR withParameter[] = {const_cast<LPOLESTR>(L"PrintNormal"),
                              const_cast<LPOLESTR>(L"Station")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(so_->GetIDsOfNames(IID_NULL, withParameter, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 21);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(so_->GetIDsOfNames(IID_IDispatch, &lower, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchTable, InvokeRoutesAndAnswers) {
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(so_->Invoke(28, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(V_VT(&result), VT_I4);
  EXPECT_EQ(V_I4(&result), 0) << "GetOpenResult";
  EXPECT_EQ(so_->Invoke(6, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result,
                        nullptr, nullptr),
            S_OK);
  EXPECT_EQ(V_I4(&result), OPOS_E_CLOSED) << "Close of a closed object";
  EXPECT_EQ(so_->Invoke(6, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(so_->Invoke(40, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(so_->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(so_->Invoke(21, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);

  // DirectIO with its out-arguments by reference: routed, refused before touching them.
  long data = 5;
  BSTR text = SysAllocString(L"keep");
  VARIANT args[3];
  V_VT(&args[0]) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&args[0]) = &text;
  V_VT(&args[1]) = VT_BYREF | VT_I4;
  V_I4REF(&args[1]) = &data;
  args[2] = Long(1);
  DISPPARAMS params = {args, nullptr, 3, 0};
  EXPECT_EQ(so_->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(V_I4(&result), OPOS_E_NOTCLAIMED);
  EXPECT_EQ(data, 5);
  EXPECT_STREQ(text, L"keep");
  SysFreeString(text);

  // GetPropertyString answers a BSTR; ResultCode reads what the last method set.
  VARIANT pidx = Long(1000003);
  DISPPARAMS one = {&pidx, nullptr, 1, 0};
  EXPECT_EQ(so_->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &one, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(V_VT(&result), VT_BSTR);
  VariantClear(&result);
  pidx = Long(6);
  EXPECT_EQ(so_->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &one, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(V_I4(&result), OPOS_E_NOTCLAIMED);
}

// A call with the parameters of an ExpectedParameters row. A reference parameter gets a
// VT_BYREF|VT_VARIANT holding the other type ("12" for a long, 5 for a text): bound by
// reference, it is converted in place; bound by value, it stays as it was.
class KindCall {
 public:
  // `refusedAt` (or -1): that parameter gets a value of the wrong kind: text that is no
  // number for a number or an object, a reference of the other type for a reference.
  // `extra`: arguments more (negative: one fewer).
  KindCall(const std::string& kinds, int refusedAt, int extra) : m_kinds(kinds) {
    if (extra < 0) m_kinds.resize(m_kinds.size() - 1);
    if (extra > 0) m_kinds += 'L';
    m_args.resize(m_kinds.size());
    m_inner.resize(m_kinds.size());
    for (size_t i = 0; i < m_kinds.size(); ++i) {
      Fill(m_kinds[i], static_cast<int>(i) == refusedAt, &m_args[m_kinds.size() - 1 - i],
           &m_inner[i]);
    }
  }
  ~KindCall() {
    for (VARIANT& v : m_args) {
      if (V_VT(&v) == VT_BSTR) VariantClear(&v);
    }
    for (VARIANT& v : m_inner) VariantClear(&v);
    SysFreeString(m_text);
  }

  HRESULT Invoke(CPOSPrinter* so, long dispid, UINT* argErr) {
    DISPPARAMS params = {m_args.empty() ? nullptr : m_args.data(), nullptr,
                         static_cast<UINT>(m_args.size()), 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr =
        so->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, argErr);
    VariantClear(&result);
    return hr;
  }

  // Every reference parameter was bound to the caller's own VARIANT.
  bool ReferencesBoundInPlace() const {
    for (size_t i = 0; i < m_kinds.size(); ++i) {
      if (m_kinds[i] == 'l' && V_VT(&m_inner[i]) != VT_I4) return false;
      if (m_kinds[i] == 't' && V_VT(&m_inner[i]) != VT_BSTR) return false;
    }
    return true;
  }

 private:
  void Fill(char kind, bool refused, VARIANT* v, VARIANT* inner) {
    VariantInit(v);
    VariantInit(inner);
    if (refused) {
      kind = (kind == 'l') ? 'b' : (kind == 't') ? 'i' : 'T';
    }
    switch (kind) {
      case 'T': V_VT(v) = VT_BSTR; V_BSTR(v) = SysAllocString(L"abc"); break;
      case 'D': V_VT(v) = VT_DISPATCH; V_DISPATCH(v) = nullptr; break;  // no object given
      case 'i': V_VT(v) = VT_BYREF | VT_I4; V_I4REF(v) = &m_cell; break;
      case 'b': V_VT(v) = VT_BYREF | VT_BSTR; V_BSTRREF(v) = &m_text; break;
      case 'l':
        V_VT(inner) = VT_BSTR;
        V_BSTR(inner) = SysAllocString(L"12");
        V_VT(v) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(v) = inner;
        break;
      case 't':
        V_VT(inner) = VT_I4;
        V_I4(inner) = 5;
        V_VT(v) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(v) = inner;
        break;
      default: V_VT(v) = VT_I4; V_I4(v) = 0; break;
    }
  }

  std::string m_kinds;
  std::vector<VARIANT> m_args;   // rgvarg: last parameter first
  std::vector<VARIANT> m_inner;  // what the reference parameters point at, parameter order
  long m_cell = 0;
  BSTR m_text = SysAllocString(L"abc");  // no number either
};

TEST_F(DispatchTable, EveryEntryTakesTheParametersOfTheInterface) {
  for (const ExpectedParameters& row : kExpectedParameters) {
    const std::string kinds = row.kinds;
    UINT argErr = 99;
    KindCall valid(kinds, -1, 0);
    EXPECT_EQ(valid.Invoke(so_, row.dispid, &argErr), S_OK) << row.dispid;
    EXPECT_TRUE(valid.ReferencesBoundInPlace()) << row.dispid;
    EXPECT_EQ(KindCall(kinds, -1, 1).Invoke(so_, row.dispid, &argErr), DISP_E_BADPARAMCOUNT)
        << row.dispid << ": one more";
    if (!kinds.empty()) {
      EXPECT_EQ(KindCall(kinds, -1, -1).Invoke(so_, row.dispid, &argErr), DISP_E_BADPARAMCOUNT)
          << row.dispid << ": one fewer";
    }
    for (size_t i = 0; i < kinds.size(); ++i) {
      if (kinds[i] == 'T') continue;  // a text parameter takes any value that becomes text
      argErr = 99;
      EXPECT_EQ(KindCall(kinds, static_cast<int>(i), 0).Invoke(so_, row.dispid, &argErr),
                DISP_E_TYPEMISMATCH)
          << row.dispid << " parameter " << i;
      EXPECT_EQ(argErr, kinds.size() - 1 - i) << row.dispid << " parameter " << i;
    }
  }
}

TEST_F(DispatchTable, InterfacesOfTheObject) {
  // {8A62E03A-60D5-4CA3-8536-64B694C503B5}: the dispatch interface's own identifier.
  const IID dispatchInterface = {
      0x8a62e03a, 0x60d5, 0x4ca3, {0x85, 0x36, 0x64, 0xb6, 0x94, 0xc5, 0x03, 0xb5}};
  for (const IID& iid : {IID_IUnknown, IID_IDispatch, dispatchInterface}) {
    void* object = nullptr;
    ASSERT_EQ(so_->QueryInterface(iid, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDispatch*>(so_));
    so_->Release();
  }
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(so_->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

}  // namespace
