#include "ini_file.h"

#include "ini_quoting.h"

#include <windows.h>

#include <string_view>
#include <vector>

namespace zym {

namespace {

// GetPrivateProfileStringA cannot say how long a value is; it fills the buffer to
// one short of its size when the value does not fit. Beyond this size a value is
// not settings data any more and is returned as far as it was read.
constexpr std::size_t kInitialValueBuffer = 512;
constexpr std::size_t kLargestValueBuffer = 64u << 20;

} // namespace

std::string getIniData(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
    // The profile API takes a bare or empty name as a file in the Windows folder.
    if (file.empty())
        return defaultValue;
    std::vector<char> buffer(kInitialValueBuffer);
    for (;;) {
        // An empty default lets a missing key and an empty value look alike: both get ours.
        const DWORD length =
            ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), file.c_str());
        const bool filled = length + 1 >= buffer.size();
        if (!filled || buffer.size() >= kLargestValueBuffer) {
            if (length == 0)
                return defaultValue;
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool writeIniData(const std::string& file, const std::string& section, const std::string& key,
                  const std::string& value) {
    // An empty file name would land in the Windows folder; an empty section or key
    // could never be read back.
    if (file.empty() || section.empty() || key.empty())
        return false;
    // The file is lines of text: a line break would end the entry early and make
    // the rest a key or section of its own (a server name could plant settings),
    // and a zero byte would cut the text short. Neither could read back unchanged.
    for (const std::string* text : {&section, &key, &value})
        if (text->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            return false;
    const std::string stored = iniStoredForm(value);
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), stored.c_str(),
                                        file.c_str()) != FALSE;
}

} // namespace zym
