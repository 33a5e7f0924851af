// The module entry of ZANClient.so: load and unload hooks run by the dynamic loader.
#include "api/ZANClientModule.h"

namespace {

// Module entry, process attach: the module's state is ready before dlopen returns.
__attribute__((constructor)) void ModuleAttach() { CZANClientModule::Init(); }

// Module entry, process detach: runs at dlclose or process exit.
__attribute__((destructor)) void ModuleDetach() { CZANClientModule::Term(); }

}  // namespace
