#include "library_calls.h"

#include "tw/bstr.h"
#include "zym.h"
#include "zymdate.h"

namespace tickwell::lib {

namespace {

// A by-reference text argument: the callee may replace it, so it owns its BSTR.
class TextArg {
  public:
    explicit TextArg(const std::string& text) : value_(tw::makeBstr(text)) {}
    ~TextArg() { ::SysFreeString(value_); }
    TextArg(const TextArg&) = delete;
    TextArg& operator=(const TextArg&) = delete;
    BSTR* ref() { return &value_; }
    BSTR get() const { return value_; }

  private:
    BSTR value_;
};

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
    TextArg f(file), s(section), k(key), d(defaultValue);
    return take(::GETINIDATA(f.ref(), s.ref(), k.ref(), d.ref()));
}

void iniWrite(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) {
    TextArg f(file), s(section), k(key), v(value);
    ::WRITEINIDATA(f.ref(), s.ref(), k.ref(), v.ref());
}

void saveRegistryText(int32_t root, const std::string& keyPath, const std::string& name,
                      const std::string& data) {
    TextArg k(keyPath), n(name), d(data);
    ::SAVESETTING(&root, k.get(), n.get(), d.get());
}

void deleteRegistryValue(int32_t root, const std::string& keyPath, const std::string& name) {
    TextArg k(keyPath), n(name);
    ::DELETEREGVALUE(root, k.ref(), n.ref());
}

std::string formatTime(const SYSTEMTIME& time, const std::string& timePicture,
                       const std::string& datePicture) {
    SYSTEMTIME copy = time;
    TextArg t(timePicture), d(datePicture);
    return take(::FORMATTIME(&copy, t.ref(), d.ref()));
}

double strToVbDate(const std::string& text) {
    TextArg t(text);
    return ::STRTOVBDATE(t.get());
}

std::string vbDateToStr(double variantDate) {
    return take(::VBDATETOSTR(variantDate));
}

std::string timestamp() {
    return take(::TIMESTAMP());
}

} // namespace tickwell::lib
