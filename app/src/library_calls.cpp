#include "library_calls.h"

#include "tw/bstr.h"
#include "zym.h"
#include "zymdate.h"

namespace tickwell::lib {

using tw::ownedBstr;
using tw::takeBstr;

std::string appPath() {
    return takeBstr(::APPPATH());
}

std::string exeName() {
    return takeBstr(::EXENAME());
}

std::string iniRead(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue) {
    auto f = ownedBstr(file), s = ownedBstr(section), k = ownedBstr(key),
         d = ownedBstr(defaultValue);
    return takeBstr(::GETINIDATA(f.addressof(), s.addressof(), k.addressof(), d.addressof()));
}

bool iniWrite(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) {
    auto f = ownedBstr(file), s = ownedBstr(section), k = ownedBstr(key), v = ownedBstr(value);
    return ::WRITEINIDATA(f.addressof(), s.addressof(), k.addressof(), v.addressof()) != 0;
}

bool saveRegistryText(int32_t root, const std::string& keyPath, const std::string& name,
                      const std::string& data) {
    auto k = ownedBstr(keyPath), n = ownedBstr(name), d = ownedBstr(data);
    return ::SAVESETTING(&root, k.get(), n.get(), d.get()) != 0;
}

bool deleteRegistryValue(int32_t root, const std::string& keyPath, const std::string& name) {
    auto k = ownedBstr(keyPath), n = ownedBstr(name);
    return ::DELETEREGVALUE(root, k.addressof(), n.addressof()) != 0;
}

std::string formatTime(const SYSTEMTIME& time, const std::string& timePicture,
                       const std::string& datePicture) {
    SYSTEMTIME copy = time;
    auto t = ownedBstr(timePicture), d = ownedBstr(datePicture);
    return takeBstr(::FORMATTIME(&copy, t.addressof(), d.addressof()));
}

double strToVbDate(const std::string& dateText) {
    auto t = ownedBstr(dateText);
    return ::STRTOVBDATE(t.get());
}

std::string vbDateToStr(double variantDate) {
    return takeBstr(::VBDATETOSTR(variantDate));
}

std::string timestamp() {
    return takeBstr(::TIMESTAMP());
}

std::string nextCheckTime(int32_t minutes) {
    return takeBstr(::SETNEXTCHECKTIME(&minutes));
}

} // namespace tickwell::lib
