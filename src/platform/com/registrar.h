// The registry-script registrar: runs a module's registry script (the ATL ".rgs" syntax)
// against the registry (registry.h) in register or unregister mode.
//
// Script syntax: root blocks `HKCR { ... }` (or HKEY_CLASSES_ROOT; the only root this
// registry holds). Inside a block, keys: `[ForceRemove|NoRemove|Delete] name [= s 'text' |
// = d number] [{ ... }]`, and named values of the enclosing key: `val name = s 'text'`.
// Tokens are separated by white space, as the platform's registrar reads them ("{", "}" and
// "=" stand alone; "{GUID}" is a name). Names and texts are words or single-quoted strings
// ('' stands for one quote); a quoted word is never a keyword. `%NAME%` is replaced by the
// text given for NAME (names compare case-insensitively) before the script is read; `%%`
// stands for one '%'.
//
// Register mode creates keys and sets values; a ForceRemove key is deleted with its tree
// first, a Delete key is deleted (its body ignored). Unregister mode deletes named values,
// deletes ForceRemove keys with their trees, never deletes NoRemove keys (their subkeys are
// processed), and deletes any other key after its subkeys were processed, provided no
// subkeys remain (others may have added some). Missing keys are skipped. The system's own
// keys directly below the root (CLSID, Interface, TypeLib, AppID, ...) are never deleted, as
// if marked NoRemove.
//
// The whole script is read before the registry is touched, and its changes are applied in
// one registry update: a malformed script changes nothing (DISP_E_EXCEPTION), and neither
// does a failure while applying.
#ifndef ZAN_PLATFORM_COM_REGISTRAR_H_
#define ZAN_PLATFORM_COM_REGISTRAR_H_

#include <map>
#include <string>
#include <string_view>

#include "zanclient/com.h"

namespace zan::reg {

// Creates the registrar and runs the script; S_OK, DISP_E_EXCEPTION for a malformed script,
// a registry failure (registry.h), or REGDB_E_CLASSNOTREG when the registrar is not available
// (SetRegistrarAvailable).
HRESULT RunRegistryScript(std::string_view script, const std::map<std::string, std::string>& replacements,
                          bool registerMode);

// For tests: makes the registrar's creation fail with REGDB_E_CLASSNOTREG, as on a machine
// without the platform's registrar component. Process-wide; default available.
void SetRegistrarAvailable(bool available);

}  // namespace zan::reg

#endif
