// Local file names as zan handles them: UTF-8 text (the command line, the module's strings)
// on one side, std::filesystem::path on the other. A path made from a plain std::string would
// be read in the system's narrow code page on Windows; through char8_t it is UTF-8 on every
// system.
#ifndef ZAN_CLI_LOCAL_PATH_H_
#define ZAN_CLI_LOCAL_PATH_H_

#include <filesystem>
#include <string>

namespace zancli {

// The path named by the UTF-8 text utf8.
std::filesystem::path LocalPath(const std::string& utf8);
// The path's name as UTF-8 text.
std::string Utf8Path(const std::filesystem::path& path);

}  // namespace zancli

#endif
