// A text fingerprint of a directory tree on disk (the test server's document root, a local
// directory), so a test can show in one line that an operation left the server's data as it
// was: EXPECT_EQ(before, TreeDigest(dir)).
#ifndef ZAN_TESTS_SUPPORT_TREE_DIGEST_H_
#define ZAN_TESTS_SUPPORT_TREE_DIGEST_H_

#include <string>

namespace zan::test {

// One line per entry below dir, sorted by relative path: "sub/" for a directory, "name size
// hash" for a file (64-bit FNV-1a of its bytes, hex), "name -> target" for a symbolic link
// (not followed). "<missing>" when dir does not exist.
std::string TreeDigest(const std::string& dir);

}  // namespace zan::test

#endif
