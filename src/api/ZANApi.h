// CZANApi: the automation object ZANApi, the one way into the system. Each operation runs the
// connection step, converts its arguments, calls one engine operation and hands back the
// response as XML text; a failure returns 0x80040000 | code with the error's full text as the
// thread's error information. The object owns one engine for its whole life.
//
// Apartment model: one object is used by one thread at a time (several objects may run on
// several threads); the reference count is a plain counter. Created by the class factory,
// either plain or aggregated inside a controlling outer object.
#ifndef ZAN_API_ZANAPI_H_
#define ZAN_API_ZANAPI_H_

#include <memory>
#include <string>
#include <type_traits>

#include "engine/ZanEngine.h"
#include "zanclient/ZANClient.h"

class CZANApi final : public IZANApi {
 public:
  // outer: the controlling object when aggregated, else null. engine: the repository engine;
  // null makes a new CZanDavEngine. Counts as one module lock until destroyed. The new object
  // holds no reference: the creator takes one through NonDelegatingUnknown()->QueryInterface.
  explicit CZANApi(IUnknown* outer = nullptr, std::unique_ptr<CZanEngine> engine = nullptr);
  CZANApi(const CZANApi&) = delete;
  CZANApi& operator=(const CZANApi&) = delete;

  // The object's own IUnknown: it holds the reference count and answers IUnknown (the
  // aggregate's inner identity), IZANApi and IDispatch. Releasing its last reference deletes
  // the object.
  IUnknown* NonDelegatingUnknown() { return &m_inner; }

  // IUnknown of the IZANApi/IDispatch face: the outer object's when aggregated, else the
  // object's own.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch, served from the registered type library's description of IZANApi.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override;

  // IZANApi. A null out pointer gives E_POINTER before anything else happens.
  HRESULT STDMETHODCALLTYPE CreateFolder(BSTR serverUrl, BSTR Parent, BSTR FolderName, BSTR Properties,
                                         BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE CreateBusinessProcess(BSTR serverUrl, BSTR Parent, BSTR BusinessProcessName,
                                                  BSTR Properties, BSTR* Response) override;
  // Delete and Move do nothing and return S_OK at once.
  HRESULT STDMETHODCALLTYPE Delete(BSTR serverUrl, BSTR Parent, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE Move(BSTR serverUrl, BSTR SourceParent, BSTR DestinationParent,
                                 BSTR* Response) override;
  // On failure also shows the error alert with the error's full text.
  HRESULT STDMETHODCALLTYPE UploadBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR LocalDirectory,
                                     BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE CreateProject(BSTR serverUrl, BSTR ProjectName, BSTR Properties,
                                          BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE GetProjectProperties(BSTR serverUrl, BSTR ProjectName, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE SetProjectProperties(BSTR serverUrl, BSTR ProjectName, BSTR Properties,
                                                 BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE SetFolderProperties(BSTR serverUrl, BSTR FolderId, BSTR Properties,
                                                BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE SetBusinessProcessProperties(BSTR serverUrl, BSTR BusinessProcessId,
                                                         BSTR Properties, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE GetFolderProperties(BSTR serverUrl, BSTR FolderId, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE GetBusinessProcessProperties(BSTR serverUrl, BSTR BusinessProcessId,
                                                         BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE GetProjects(BSTR serverUrl, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE DeleteProject(BSTR serverUrl, BSTR ProjectName, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR serverUrl, BSTR FolderId, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE DeleteBusinessProcess(BSTR serverUrl, BSTR BusinessProcessId,
                                                  BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE SetMBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR MBP, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE GetMBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR* MBP) override;
  HRESULT STDMETHODCALLTYPE SetProjectInfo(BSTR serverUrl, BSTR ProjectId, BSTR ProjectInfo,
                                           BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE GetProjectInfo(BSTR serverUrl, BSTR ProjectId, BSTR* ProjectInfo) override;
  HRESULT STDMETHODCALLTYPE GetChildren(BSTR serverUrl, BSTR Parent, BSTR* Response) override;
  HRESULT STDMETHODCALLTYPE SetMBPFile(BSTR serverUrl, BSTR BusinessProcessId, BSTR BPFile,
                                       BSTR* Response) override;
  // Writes MBPFile + "/MBP.xml"; nothing is returned but the status.
  HRESULT STDMETHODCALLTYPE GetMBPFile(BSTR serverUrl, BSTR BusinessProcessId, BSTR MBPFile) override;
  HRESULT STDMETHODCALLTYPE DownloadBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR LocalDirectory,
                                       BSTR environment, BSTR* Response) override;

 private:
  // How an operation's catch clauses treat an error (see Run).
  enum class Catch {
    kPlain,     // COM error: converted with empty names; error object: reported unchanged
    kNamed,     // COM error: converted with "CZANApi" and the operation; error object: unchanged
    kDocument,  // as kNamed, and an error object first gains the context CZANApi::<operation>
  };

  // The object's own IUnknown (see NonDelegatingUnknown).
  class InnerUnknown final : public IUnknown {
   public:
    explicit InnerUnknown(CZANApi& owner) : m_owner(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

   private:
    CZANApi& m_owner;
  };

  ~CZANApi();

  // The connection step: connects the engine to serverUrl (one trailing separator removed)
  // unless it is connected to it already. S_OK; E_FAIL when the engine declined without error;
  // or the reported status of an error object or COM error.
  HRESULT Connect(BSTR serverUrl);
  // A reference to the body of an operation, without allocation; the referenced callable must
  // outlive the call of Run (a lambda passed to Run does).
  class BodyRef {
   public:
    template <typename F>
    BodyRef(F&& f)  // NOLINT: implicit on purpose
        : m_object(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          m_call([](void* o) { (*static_cast<std::remove_reference_t<F>*>(o))(); }) {}
    void operator()() const { m_call(m_object); }

   private:
    void* m_object;
    void (*m_call)(void*);
  };

  // Runs one operation: the connection step (other exceptions swallowed), then body, whose
  // failures are reported as catchKind says under the operation's name. S_OK when body
  // returns normally. Throws nothing: should even reporting fail, E_OUTOFMEMORY.
  HRESULT Run(const char* operation, Catch catchKind, BSTR serverUrl, BodyRef body) noexcept;
  // Writes text as a new BSTR into *out.
  static void SetResult(BSTR* out, const std::string& text);
  // An engine operation that returned false did not do its work: raises code 1
  // "<operation> did not complete for <item>" (class "CZANApi", the operation's name).
  static void RequireDone(bool done, const char* operation, const std::string& item);

  InnerUnknown m_inner{*this};
  IUnknown* m_outer;  // the controlling object; &m_inner when not aggregated
  ULONG m_refCount = 0;
  std::unique_ptr<CZanEngine> m_engine;
};

#endif
