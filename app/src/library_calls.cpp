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

TimeQuery checkAtomicTime(const std::string& server, int32_t port, int32_t timeoutSeconds) {
    TimeQuery query;
    auto s = text(server);
    tw::unique_bstr message;
    query.result = ::CHECKATOMICTIME(s.addressof(), &port, timeoutSeconds, &query.delay,
                                     &query.serverUtc, message.addressof());
    query.server = tw::fromBstr(s.get());
    query.message = tw::fromBstr(message.get());
    return query;
}

std::string setPcTime(SYSTEMTIME& utc, int32_t& matchFlag) {
    return take(::SETPCTIME(&utc, &matchFlag));
}

std::string differenceText(const SYSTEMTIME& first, const SYSTEMTIME& second, int32_t& matchFlag) {
    SYSTEMTIME a = first, b = second; // the library writes the difference record into b
    return take(::DIFFERENCETEXT(&a, &b, &matchFlag));
}

SYSTEMTIME convertToLocalTime(const SYSTEMTIME& utc) {
    SYSTEMTIME source = utc, local{};
    ::CONVERTTOLOCALTIME(&source, &local);
    return local;
}

std::string pcTimeAndDate(int32_t useUtc, const std::string& datePicture,
                          const std::string& timePicture, const std::string& separator) {
    auto d = text(datePicture), t = text(timePicture), s = text(separator);
    return take(::GETPCTIMEANDDATE(&useUtc, d.addressof(), t.addressof(), s.addressof()));
}

long long dateDifference(const std::string& first, const std::string& second) {
    auto a = text(first), b = text(second);
    return ::DATEDIFFERENCE(a.get(), b.get());
}

std::string nextCheckTime(int32_t minutes) {
    return take(::SETNEXTCHECKTIME(&minutes));
}

bool fileExists(const std::string& path) {
    auto p = text(path);
    return ::EXIST(p.get()) != 0;
}

void playSound(HINSTANCE instance, const std::string& name, const std::string& type) {
    auto n = text(name), t = text(type);
    ::PLAYWAVFROMRESOURCE(&instance, n.addressof(), t.addressof());
}

void showAbout(HWND owner, const std::string& programName, const std::string& version,
               const std::string& credit1, const std::string& credit2,
               const std::string& webAddress, HICON icon) {
    int32_t flags = 1;
    auto p = text(programName), v = text(version), c1 = text(credit1), c2 = text(credit2),
         w = text(webAddress);
    ::ZYMSHELLABOUT(&owner, &flags, p.addressof(), v.addressof(), c1.addressof(), c2.addressof(),
                    w.addressof(), &icon);
}

void initUrlControl() {
    ::INITURLCTRL();
}

} // namespace tickwell::lib
