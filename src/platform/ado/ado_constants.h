// The ADO enumeration values that the record and stream objects accept, under their
// published names and values.
#ifndef ZAN_PLATFORM_ADO_ADO_CONSTANTS_H_
#define ZAN_PLATFORM_ADO_ADO_CONSTANTS_H_

namespace zan::ado {

// ConnectModeEnum
constexpr long adModeUnknown = 0;
constexpr long adModeRead = 1;
constexpr long adModeWrite = 2;
constexpr long adModeReadWrite = 3;

// RecordCreateOptionsEnum
constexpr long adFailIfNotExists = -1;
constexpr long adCreateNonCollection = 0;
constexpr long adCreateCollection = 8192;
constexpr long adOpenIfExists = 33554432;
constexpr long adCreateOverwrite = 67108864;

// RecordOpenOptionsEnum, StreamOpenOptionsEnum
constexpr long adOpenRecordUnspecified = -1;
constexpr long adOpenStreamUnspecified = -1;

// CopyRecordOptionsEnum
constexpr long adCopyUnspecified = -1;
constexpr long adCopyOverWrite = 1;
constexpr long adCopyNonRecursive = 2;
constexpr long adCopyAllowEmulation = 4;

// MoveRecordOptionsEnum
constexpr long adMoveUnspecified = -1;
constexpr long adMoveOverWrite = 1;

// StreamWriteEnum
constexpr long adWriteChar = 0;
constexpr long adWriteLine = 1;

// StreamReadEnum
constexpr long adReadAll = -1;

// ObjectStateEnum
constexpr long adStateClosed = 0;
constexpr long adStateOpen = 1;

// The "missing" optional argument (an ActiveConnection that is not given).
struct Missing {};
inline constexpr Missing vtMissing{};

}  // namespace zan::ado

#endif
