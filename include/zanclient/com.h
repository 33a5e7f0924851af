// COM binary conventions: on Windows the SDK's own headers; elsewhere the status type,
// identifiers, wide strings, the automation value types and the base interfaces, laid out as
// a Windows COM host expects. A host that loads the module needs only this header and
// ZANClient.h.
#ifndef ZANCLIENT_COM_H_
#define ZANCLIENT_COM_H_

#include <cstdint>

#ifdef _WIN32
// On Windows the system's own definitions serve: the SDK's COM and OLE Automation headers.
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#define MAKE_HRESULT_U(x) static_cast<HRESULT>(static_cast<uint32_t>(x))
static_assert(sizeof(OLECHAR) == sizeof(char16_t), "OLECHAR is one UTF-16 code unit");

#else  // !_WIN32: the conventions laid out for a host without a COM runtime

#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type

typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t SCODE;
typedef uint32_t LCID;
typedef int32_t DISPID;
typedef int16_t VARIANT_BOOL;
typedef uint16_t VARTYPE;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
// A length-prefixed UTF-16 string: a 32-bit byte count stands before the first code unit,
// and the text is followed by a terminating zero. Allocated by SysAllocString*.
typedef OLECHAR* BSTR;

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define MAKE_HRESULT_U(x) static_cast<HRESULT>(static_cast<uint32_t>(x))

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MAKE_HRESULT_U(0x80004001);
constexpr HRESULT E_NOINTERFACE = MAKE_HRESULT_U(0x80004002);
constexpr HRESULT E_POINTER = MAKE_HRESULT_U(0x80004003);
constexpr HRESULT E_ABORT = MAKE_HRESULT_U(0x80004004);
constexpr HRESULT E_FAIL = MAKE_HRESULT_U(0x80004005);
constexpr HRESULT E_UNEXPECTED = MAKE_HRESULT_U(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MAKE_HRESULT_U(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MAKE_HRESULT_U(0x8007000E);
constexpr HRESULT E_INVALIDARG = MAKE_HRESULT_U(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = MAKE_HRESULT_U(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MAKE_HRESULT_U(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MAKE_HRESULT_U(0x80040154);
constexpr HRESULT REGDB_E_READREGDB = MAKE_HRESULT_U(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = MAKE_HRESULT_U(0x80040151);
constexpr HRESULT REGDB_E_IIDNOTREG = MAKE_HRESULT_U(0x80040155);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MAKE_HRESULT_U(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MAKE_HRESULT_U(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MAKE_HRESULT_U(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = MAKE_HRESULT_U(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = MAKE_HRESULT_U(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = MAKE_HRESULT_U(0x80020007);
constexpr HRESULT DISP_E_EXCEPTION = MAKE_HRESULT_U(0x80020009);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MAKE_HRESULT_U(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MAKE_HRESULT_U(0x8002000F);
constexpr HRESULT DISP_E_UNKNOWNLCID = MAKE_HRESULT_U(0x8002000C);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MAKE_HRESULT_U(0x8002802B);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MAKE_HRESULT_U(0x8002801D);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MAKE_HRESULT_U(0x80029C4A);

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ITypeLib = {0x00020402, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I8 = 20,
  VT_UI4 = 19,
  VT_INT = 22,
  VT_UINT = 23,
  VT_HRESULT = 25,
  VT_BYREF = 0x4000,
};

struct IUnknown;
struct IDispatch;

// The automation value: 24 bytes on 64-bit, the type tag first, as on Windows.
struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    int64_t llVal;
    LONG lVal;
    int16_t iVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    BSTR* pbstrVal;
    VARIANT* pvarVal;
    void* byref;
    struct {
      void* pvRecord;
      void* pRecInfo;
    } brecVal;
  };
};
typedef VARIANT VARIANTARG;

struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct ITypeInfo;

struct IDispatch : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                                  DISPID* rgDispId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                           DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                           UINT* puArgErr) = 0;
};

struct IClassFactory : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(int fLock) = 0;
};

struct IErrorInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) = 0;
};

struct ICreateErrorInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) = 0;
};


// ---- Type information: ITypeLib / ITypeInfo with the COM vtable order ---------------------
// Only the members that dispatch needs are served (see src/platform/com/typelib.h); the
// structures of the members that are not served are declared opaquely.

typedef DISPID MEMBERID;
typedef DWORD HREFTYPE;
typedef uint16_t USHORT;
typedef int BOOL;
typedef void* PVOID;

constexpr MEMBERID MEMBERID_NIL = DISPID_UNKNOWN;

constexpr HRESULT TYPE_E_REGISTRYACCESS = MAKE_HRESULT_U(0x8002801C);
constexpr HRESULT DISP_E_BADINDEX = MAKE_HRESULT_U(0x8002000B);
constexpr HRESULT CO_E_CLASSSTRING = MAKE_HRESULT_U(0x800401F3);

// The system kinds a type library is registered for; SYS_LINUX64 is this platform's,
// registered under the key name "linux64" (Windows uses "win32" / "win64").
enum SYSKIND { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3, SYS_LINUX64 = 0x100 };

enum TYPEKIND {
  TKIND_ENUM = 0,
  TKIND_RECORD = 1,
  TKIND_MODULE = 2,
  TKIND_INTERFACE = 3,
  TKIND_DISPATCH = 4,
  TKIND_COCLASS = 5,
  TKIND_ALIAS = 6,
  TKIND_UNION = 7,
};

enum INVOKEKIND { INVOKE_FUNC = 1, INVOKE_PROPERTYGET = 2, INVOKE_PROPERTYPUT = 4, INVOKE_PROPERTYPUTREF = 8 };

struct TLIBATTR {
  GUID guid;
  LCID lcid;
  SYSKIND syskind;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  WORD wLibFlags;
};

struct TYPEATTR;
struct FUNCDESC;
struct VARDESC;
struct ITypeComp;
struct ITypeLib;

struct ITypeInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** ppVarDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                           VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                                     DWORD* pdwHelpContext, BSTR* pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName,
                                                BSTR* pBstrName, WORD* pwOrdinal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind, PVOID* ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR* pBstrMops) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) = 0;
  virtual void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
  virtual void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;
  virtual void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* pVarDesc) = 0;
};

struct ITypeLib : IUnknown {
  virtual UINT STDMETHODCALLTYPE GetTypeInfoCount() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                                     DWORD* pdwHelpContext, BSTR* pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo,
                                             MEMBERID* rgMemId, USHORT* pcFound) = 0;
  virtual void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) = 0;
};

#endif  // _WIN32

#endif  // ZANCLIENT_COM_H_
