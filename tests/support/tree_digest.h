// A digest of a directory tree on disk (names, kinds and file contents, dead-property files
// included), so a test can show in one line that a failed operation left the server's data
// as it was: compare the digest of the document root before and after.
#ifndef ZAN_TESTS_SUPPORT_TREE_DIGEST_H_
#define ZAN_TESTS_SUPPORT_TREE_DIGEST_H_

#include <string>

namespace zan::test {

// "<entries>:<hex>" over every entry below directory, in name order; "missing" when the
// directory does not exist.
std::string TreeDigest(const std::string& directory);

}  // namespace zan::test

#endif
