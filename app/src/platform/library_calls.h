// The program's calls into zym.dll and zymdate.dll, each wrapped once so the
// rest of the program deals in std::string and owns no BSTR by hand. The write
// calls say whether the write was made.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tickwell::lib {

// zym
std::string appPath();
std::string exeName();
// The system's text for an error number, without the line end it may carry.
std::string errorDescription(int32_t error);
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
// The local date and time `minutes` from now, in the form vbDateToStr gives
// (SETNEXTCHECKTIME).
std::string nextCheckText(int32_t minutes);

// The time query and the clock, as the check-and-set cycle's worker calls them.
struct TimeQuery {
    int32_t result = 0;     // 1: a server time was obtained
    std::string server;     // as the query left it (cleaned)
    std::string message;    // the reply, or why it failed
    double delay = 0;       // milliseconds
    SYSTEMTIME serverUtc{}; // delay-corrected
};
TimeQuery checkAtomicTime(const std::string& server, int32_t port, int32_t timeoutSeconds);

// Several servers that must agree, a burst from each (ASKTIMESERVERS).
struct AskedServer {
    std::string server;  // cleaned
    int32_t verdict = 0; // ZYMDATE_ANSWER_...
    bool rateKiss = false;
    double offsetMs = 0;
    std::string message;
};
struct ServersQuery {
    TimeQuery time; // result, source as server, message, delay and the agreed time
    double errorBoundMs = 0; // the true time lies within the agreed one +- this
    std::vector<AskedServer> asked;
};
ServersQuery askTimeServers(const std::vector<std::string>& servers, int32_t port,
                            int32_t timeoutSeconds, int32_t serversToAsk,
                            int32_t samplesPerServer,
                            const std::function<void(const std::string&)>& progress);
// The PEM file NTS servers' certificates are checked against from now on, for
// the whole process; empty for the Windows certificate store. False when the
// file cannot be read: the library then keeps what it had.
bool setNtsCaFile(const std::string& path);
// Sets the clock to utc (whose milliseconds the library adjusts); the worded change.
std::string setPcTime(SYSTEMTIME& utc, int32_t& matchFlag);
std::string differenceText(const SYSTEMTIME& first, const SYSTEMTIME& second, int32_t& matchFlag);
SYSTEMTIME convertToLocalTime(const SYSTEMTIME& utc);
std::string pcTimeAndDate(int32_t useUtc, const std::string& datePicture,
                          const std::string& timePicture, const std::string& separator);
long long dateDifference(const std::string& first, const std::string& second);

// zym: the program's own resources and the shell
bool fileExists(const std::string& path);
void playSound(HINSTANCE instance, const std::string& name, const std::string& type);
void showAbout(HWND owner, const std::string& programName, const std::string& version,
               const std::string& credit1, const std::string& credit2,
               const std::string& webAddress, HICON icon);
void initUrlControl();

} // namespace tickwell::lib
