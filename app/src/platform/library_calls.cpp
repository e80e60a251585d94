#include "library_calls.h"

#include <memory>

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

std::string errorDescription(int32_t error) {
    std::string text = takeBstr(::GETLASTERRORDESCRIPTION(error, 0));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
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

std::string nextCheckText(int32_t minutes) {
    return takeBstr(::SETNEXTCHECKTIME(&minutes));
}

TimeQuery checkAtomicTime(const std::string& server, int32_t port, int32_t timeoutSeconds) {
    TimeQuery query;
    auto s = ownedBstr(server);
    tw::unique_bstr message;
    query.result = ::CHECKATOMICTIME(s.addressof(), &port, timeoutSeconds, &query.delay,
                                     &query.serverUtc, message.addressof());
    query.server = tw::fromBstr(s.get());
    query.message = tw::fromBstr(message.get());
    return query;
}

namespace {

void WINAPI tellProgress(void* context, BSTR text) {
    const auto& progress = *static_cast<std::function<void(const std::string&)>*>(context);
    if (progress)
        progress(tw::fromBstr(text));
}

} // namespace

ServersQuery askTimeServers(const std::vector<std::string>& servers, int32_t port,
                            int32_t timeoutSeconds, int32_t serversToAsk,
                            int32_t samplesPerServer,
                            const std::function<void(const std::string&)>& progress) {
    std::string list;
    for (const std::string& server : servers)
        list += server + "\n";
    const auto listText = ownedBstr(list);
    auto outcome = std::make_unique<ZYMDATE_TIME_OUTCOME>();
    outcome->size = sizeof(ZYMDATE_TIME_OUTCOME);
    ServersQuery query;
    std::function<void(const std::string&)> told = progress; // the callback's context
    query.time.result = ::ASKTIMESERVERS(listText.get(), port, timeoutSeconds, serversToAsk,
                                         samplesPerServer, &tellProgress, &told, outcome.get());
    // Every text of the outcome is ours: taken, then freed.
    for (int32_t i = 0; i < ZYMDATE_MAX_ANSWERS; ++i) {
        const tw::unique_bstr server(outcome->answers[i].server);
        const tw::unique_bstr message(outcome->answers[i].message);
        if (i >= outcome->answerCount)
            continue;
        const ZYMDATE_SERVER_ANSWER& a = outcome->answers[i];
        query.asked.push_back({tw::fromBstr(server.get()), a.verdict,
                               (a.flags & ZYMDATE_ANSWER_RATE_KISS) != 0, a.offsetMs,
                               tw::fromBstr(message.get())});
    }
    const tw::unique_bstr source(outcome->source);
    const tw::unique_bstr message(outcome->message);
    query.time.server = tw::fromBstr(source.get());
    query.time.message = tw::fromBstr(message.get());
    query.time.delay = outcome->delayMs;
    query.errorBoundMs = outcome->errorBoundMs;
    query.time.serverUtc = outcome->serverTime;
    return query;
}

bool setNtsCaFile(const std::string& path) {
    const auto p = ownedBstr(path);
    return ::SETNTSCAFILE(p.get()) != 0;
}

std::string setPcTime(SYSTEMTIME& utc, int32_t& matchFlag) {
    return takeBstr(::SETPCTIME(&utc, &matchFlag));
}

std::string differenceText(const SYSTEMTIME& first, const SYSTEMTIME& second, int32_t& matchFlag) {
    SYSTEMTIME a = first, b = second; // the library writes the difference record into b
    return takeBstr(::DIFFERENCETEXT(&a, &b, &matchFlag));
}

SYSTEMTIME convertToLocalTime(const SYSTEMTIME& utc) {
    SYSTEMTIME source = utc, local{};
    ::CONVERTTOLOCALTIME(&source, &local);
    return local;
}

std::string pcTimeAndDate(int32_t useUtc, const std::string& datePicture,
                          const std::string& timePicture, const std::string& separator) {
    auto d = ownedBstr(datePicture), t = ownedBstr(timePicture), s = ownedBstr(separator);
    return takeBstr(::GETPCTIMEANDDATE(&useUtc, d.addressof(), t.addressof(), s.addressof()));
}

long long dateDifference(const std::string& first, const std::string& second) {
    auto a = ownedBstr(first), b = ownedBstr(second);
    return ::DATEDIFFERENCE(a.get(), b.get());
}

bool fileExists(const std::string& path) {
    auto p = ownedBstr(path);
    return ::EXIST(p.get()) != 0;
}

void playSound(HINSTANCE instance, const std::string& name, const std::string& type) {
    auto n = ownedBstr(name), t = ownedBstr(type);
    ::PLAYWAVFROMRESOURCE(&instance, n.addressof(), t.addressof());
}

void showAbout(HWND owner, const std::string& programName, const std::string& version,
               const std::string& credit1, const std::string& credit2,
               const std::string& webAddress, HICON icon) {
    int32_t flags = 1;
    auto p = ownedBstr(programName), v = ownedBstr(version), c1 = ownedBstr(credit1),
         c2 = ownedBstr(credit2), w = ownedBstr(webAddress);
    ::ZYMSHELLABOUT(&owner, &flags, p.addressof(), v.addressof(), c1.addressof(), c2.addressof(),
                    w.addressof(), &icon);
}

void initUrlControl() {
    ::INITURLCTRL();
}

} // namespace tickwell::lib
