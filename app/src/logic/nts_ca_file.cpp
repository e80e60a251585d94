#include "nts_ca_file.h"

#include "tw/trim.h"

namespace tickwell {

namespace {

// "C:\...", "C:...", "\..." and "\\server\share\..." name their place already.
bool isRooted(const std::string& path) {
    return path[0] == '\\' || path[0] == '/' || (path.size() >= 2 && path[1] == ':');
}

} // namespace

std::string ntsCaFilePath(const Settings& s) {
    const std::string path(tw::trimmed(s.ntsCaFile, tw::kSpaceAndTab));
    if (path.empty() || isRooted(path))
        return path;
    const size_t folderEnd = s.iniPath.find_last_of("\\/");
    return folderEnd == std::string::npos ? path : s.iniPath.substr(0, folderEnd + 1) + path;
}

std::string ntsCaFileUnreadableText(const std::string& path) {
    return "The NTS CA file " + path +
           " cannot be read: NTS servers are checked against the Windows certificate store";
}

} // namespace tickwell
