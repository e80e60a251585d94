// Sectioned key=value initialization files, through the system's profile API.
#pragma once

#include <string>

namespace zym {

// The value stored under section/key of file, or defaultValue when the file, the
// section or the key is missing or the stored value is empty. Values of any
// length are returned whole.
std::string getIniData(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& defaultValue);

// Stores value under section/key of file, creating the file, the section and the
// key as needed, in a form that getIniData returns unchanged. False, with the
// file left as it was, when file, section or key is empty, when any text holds a
// line break or a zero byte (it could not read back unchanged), or when the
// system refused the write.
bool writeIniData(const std::string& file, const std::string& section, const std::string& key,
                  const std::string& value);

} // namespace zym
