// The automation interface of the ZANClient module: IZANApi with the COM binary layout
// (IUnknown, IDispatch, then the 24 operations in interface order), the identifiers, and the
// module's exports. A host loads ZANClient.so, reads the identifiers from it (or uses the
// values below), calls DllGetClassObject for CLSID_ZANApi and creates objects through the
// class factory. Every operation returns an HRESULT; on failure the thread's error
// information (GetErrorInfo) holds the error's full text. Out strings are BSTRs the caller
// frees with SysFreeString.
#ifndef ZANCLIENT_ZANCLIENT_H_
#define ZANCLIENT_ZANCLIENT_H_

#include "zanclient/ZANClient_ids.h"
#include "zanclient/com.h"

struct IZANApi : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE CreateFolder(BSTR serverUrl, BSTR Parent, BSTR FolderName, BSTR Properties,
                                                 BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateBusinessProcess(BSTR serverUrl, BSTR Parent, BSTR BusinessProcessName,
                                                          BSTR Properties, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(BSTR serverUrl, BSTR Parent, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE Move(BSTR serverUrl, BSTR SourceParent, BSTR DestinationParent,
                                         BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE UploadBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR LocalDirectory,
                                             BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateProject(BSTR serverUrl, BSTR ProjectName, BSTR Properties,
                                                  BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProjectProperties(BSTR serverUrl, BSTR ProjectName, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProjectProperties(BSTR serverUrl, BSTR ProjectName, BSTR Properties,
                                                         BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFolderProperties(BSTR serverUrl, BSTR FolderId, BSTR Properties,
                                                        BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBusinessProcessProperties(BSTR serverUrl, BSTR BusinessProcessId,
                                                                 BSTR Properties, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFolderProperties(BSTR serverUrl, BSTR FolderId, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBusinessProcessProperties(BSTR serverUrl, BSTR BusinessProcessId,
                                                                 BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProjects(BSTR serverUrl, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteProject(BSTR serverUrl, BSTR ProjectName, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR serverUrl, BSTR FolderId, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteBusinessProcess(BSTR serverUrl, BSTR BusinessProcessId,
                                                          BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR MBP, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR* MBP) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProjectInfo(BSTR serverUrl, BSTR ProjectId, BSTR ProjectInfo,
                                                   BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProjectInfo(BSTR serverUrl, BSTR ProjectId, BSTR* ProjectInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChildren(BSTR serverUrl, BSTR Parent, BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMBPFile(BSTR serverUrl, BSTR BusinessProcessId, BSTR BPFile,
                                               BSTR* Response) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMBPFile(BSTR serverUrl, BSTR BusinessProcessId, BSTR MBPFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE DownloadBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR LocalDirectory,
                                               BSTR environment, BSTR* Response) = 0;
};

#ifndef _WIN32
// The module's exports (C linkage, Windows signatures). On Windows the SDK declares the four
// in-process server exports, and the BSTR and error-information calls belong to oleaut32.
extern "C" {
HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
HRESULT DllCanUnloadNow();
HRESULT DllRegisterServer();
HRESULT DllUnregisterServer();
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
}
#endif

#endif  // ZANCLIENT_ZANCLIENT_H_
