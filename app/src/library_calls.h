// The program's calls into zym.dll and zymdate.dll, each wrapped once so the
// rest of the program deals in std::string and owns no BSTR by hand. The write
// calls say whether the write was made.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tickwell::lib {

// zym
std::string appPath();
std::string exeName();
std::string iniRead(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue);
bool iniWrite(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value);
bool saveRegistryText(int32_t root, const std::string& keyPath, const std::string& name,
                      const std::string& data);
bool deleteRegistryValue(int32_t root, const std::string& keyPath, const std::string& name);

// zymdate
std::string formatTime(const SYSTEMTIME& time, const std::string& timePicture,
                       const std::string& datePicture);
double strToVbDate(const std::string& dateText);
std::string vbDateToStr(double variantDate);
std::string timestamp();
// The local date and time `minutes` from now, in the form vbDateToStr gives.
std::string nextCheckTime(int32_t minutes);

} // namespace tickwell::lib
