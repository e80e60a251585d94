#include "library_calls.h"

#include "tw/bstr.h"
#include "zym.h"
#include "zymdate.h"

namespace tickwell::lib {

namespace {

// A text argument: by reference the callee may replace it, so it is owned here.
tw::unique_bstr text(const std::string& value) {
    return tw::unique_bstr(tw::makeBstr(value));
}

std::string take(BSTR result) {
    tw::unique_bstr owned(result);
    return tw::fromBstr(owned.get());
}

} // namespace

std::string appPath() {
    return take(::APPPATH());
}

std::string exeName() {
    return take(::EXENAME());
}

std::string iniRead(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue) {
    auto f = text(file), s = text(section), k = text(key), d = text(defaultValue);
    return take(::GETINIDATA(f.addressof(), s.addressof(), k.addressof(), d.addressof()));
}

void iniWrite(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) {
    auto f = text(file), s = text(section), k = text(key), v = text(value);
    ::WRITEINIDATA(f.addressof(), s.addressof(), k.addressof(), v.addressof());
}

void saveRegistryText(int32_t root, const std::string& keyPath, const std::string& name,
                      const std::string& data) {
    auto k = text(keyPath), n = text(name), d = text(data);
    ::SAVESETTING(&root, k.get(), n.get(), d.get());
}

void deleteRegistryValue(int32_t root, const std::string& keyPath, const std::string& name) {
    auto k = text(keyPath), n = text(name);
    ::DELETEREGVALUE(root, k.addressof(), n.addressof());
}

std::string formatTime(const SYSTEMTIME& time, const std::string& timePicture,
                       const std::string& datePicture) {
    SYSTEMTIME copy = time;
    auto t = text(timePicture), d = text(datePicture);
    return take(::FORMATTIME(&copy, t.addressof(), d.addressof()));
}

double strToVbDate(const std::string& dateText) {
    auto t = text(dateText);
    return ::STRTOVBDATE(t.get());
}

std::string vbDateToStr(double variantDate) {
    return take(::VBDATETOSTR(variantDate));
}

std::string timestamp() {
    return take(::TIMESTAMP());
}

} // namespace tickwell::lib
