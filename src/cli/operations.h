// The 24 operations of IZANApi as the host knows them: name, parameter names after serverUrl,
// the out parameter, and an early-bound invoker through the interface's vtable. `zan call`
// uses the names and parameter lists for its help and argument check; the call itself goes
// through IDispatch.
#ifndef ZAN_CLI_OPERATIONS_H_
#define ZAN_CLI_OPERATIONS_H_

#include <string_view>
#include <vector>

#include "zanclient/ZANClient.h"

namespace zancli {

struct Operation {
  const char* name;
  std::vector<const char*> params;  // in-parameters after serverUrl, in order
  const char* out;                  // the out parameter's name; nullptr when there is none
  // Calls the operation; in holds params.size() strings; out is null when the operation has none.
  HRESULT (*invoke)(IZANApi* api, BSTR serverUrl, const BSTR* in, BSTR* out);
};

// All 24, in interface order.
const std::vector<Operation>& Operations();

// The operation with this exact name; nullptr when there is none.
const Operation* FindOperation(std::string_view name);

}  // namespace zancli

#endif
