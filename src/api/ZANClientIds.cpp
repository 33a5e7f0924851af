// The module's identifiers as exported data (C linkage), read by hosts from the module.
#include "zanclient/ZANClient_ids.h"

extern "C" {
const CLSID CLSID_ZANApi = ZANCLIENT_CLSID_ZANAPI_INIT;
const IID IID_IZANApi = ZANCLIENT_IID_IZANAPI_INIT;
const IID LIBID_ZANCLIENTLib = ZANCLIENT_LIBID_ZANCLIENTLIB_INIT;
}
