// One ZANApi object created the way any host creates it (DllGetClassObject -> IClassFactory ->
// CreateInstance(IID_IZANApi)) and the calls made on it: early-bound through the IZANApi
// vtable, or late-bound by name through IDispatch. Used on the creating thread only.
#ifndef ZAN_CLI_SESSION_H_
#define ZAN_CLI_SESSION_H_

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/host_types.h"
#include "cli/module.h"
#include "cli/operations.h"

namespace zancli {

// What one operation gave back.
struct Outcome {
  HRESULT hr = S_OK;
  std::string text;   // the out parameter's text (success only)
  std::string error;  // the error information's description (failure only; "" when none was set)
  bool ok() const { return SUCCEEDED(hr); }
};

// A failure of the host set-up itself (the object cannot be created), with its status.
class HostError : public std::runtime_error {
 public:
  HostError(const std::string& what, HRESULT hr) : std::runtime_error(what), hr_(hr) {}
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

class Session {
 public:
  // Creates the object; throws HostError when the module refuses. The module must outlive it.
  Session(const Module& module, std::string serverUrl);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Early-bound call; args holds one string per op.params entry.
  Outcome Call(const Operation& op, const std::vector<std::string>& args);
  // Call of the operation of that name from the table; the name must exist.
  Outcome Call(const char* name, const std::vector<std::string>& args);
  // Late-bound call: GetIDsOfNames(name), then Invoke with serverUrl and args as BSTRs.
  Outcome Invoke(const std::string& name, const std::vector<std::string>& args);

  const std::string& server() const { return server_; }

 private:
  // The description of the thread's error information ("" when none is set); clears it.
  std::string TakeErrorText();

  const Module& module_;
  std::string server_;
  Ref<IZANApi> api_;
};

}  // namespace zancli

#endif
