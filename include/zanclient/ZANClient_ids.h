// The fixed identifiers of the ZANClient module: the class ZANApi, its interface IZANApi and
// the type library ZANCLIENTLib. The same values stand in the registry script, the type
// library and the code. The exported data objects are defined by the module; the text forms
// and the constexpr values below serve code that must not depend on the module's data.
#ifndef ZANCLIENT_ZANCLIENT_IDS_H_
#define ZANCLIENT_ZANCLIENT_IDS_H_

#include "zanclient/com.h"

#define ZANCLIENT_CLSID_ZANAPI_STR "{617F5873-9E14-49E4-ABCE-080545C0877E}"
#define ZANCLIENT_IID_IZANAPI_STR "{F1D7BC15-F642-4A1F-88BC-EB0B4DF7E9C6}"
#define ZANCLIENT_LIBID_ZANCLIENTLIB_STR "{3031F8AE-9CA0-4E65-8A65-B15136B05EE9}"

// Aggregate initialisers, e.g. `const CLSID CLSID_ZANApi = ZANCLIENT_CLSID_ZANAPI_INIT;`.
#define ZANCLIENT_CLSID_ZANAPI_INIT {0x617F5873, 0x9E14, 0x49E4, {0xAB, 0xCE, 0x08, 0x05, 0x45, 0xC0, 0x87, 0x7E}}
#define ZANCLIENT_IID_IZANAPI_INIT {0xF1D7BC15, 0xF642, 0x4A1F, {0x88, 0xBC, 0xEB, 0x0B, 0x4D, 0xF7, 0xE9, 0xC6}}
#define ZANCLIENT_LIBID_ZANCLIENTLIB_INIT {0x3031F8AE, 0x9CA0, 0x4E65, {0x8A, 0x65, 0xB1, 0x51, 0x36, 0xB0, 0x5E, 0xE9}}

namespace zanclient {
inline constexpr CLSID kClsidZANApi = ZANCLIENT_CLSID_ZANAPI_INIT;
inline constexpr IID kIidIZANApi = ZANCLIENT_IID_IZANAPI_INIT;
inline constexpr GUID kLibidZANCLIENTLib = ZANCLIENT_LIBID_ZANCLIENTLIB_INIT;
}  // namespace zanclient

extern "C" {
extern const CLSID CLSID_ZANApi;
extern const IID IID_IZANApi;
extern const IID LIBID_ZANCLIENTLib;
}

#endif  // ZANCLIENT_ZANCLIENT_IDS_H_
