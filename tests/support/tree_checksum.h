// A listing with checksums of everything below a directory, to show that an operation left a
// tree byte for byte as it was.
#ifndef ZAN_TESTS_SUPPORT_TREE_CHECKSUM_H_
#define ZAN_TESTS_SUPPORT_TREE_CHECKSUM_H_

#include <string>

namespace zan::test {

// One line per entry below dir, sorted by relative path: "d path/" for a directory,
// "f path size checksum" for a file (FNV-1a 64 of its bytes), "l path -> target" for a
// symbolic link (never followed), "o path" for anything else. "" for a missing directory.
std::string TreeChecksums(const std::string& dir);

}  // namespace zan::test

#endif
