// What the end-to-end tests of the real tickwell.exe share: the program, its
// DLLs and its settings in a folder of their own, the program started from
// there and found by its window, a scripted Daytime server on 127.0.0.1 whose
// answer the test switches, and the messages a user's clicks send.
#pragma once

#include "demo_line.h"
#include "identity.h"
#include "program_ids.h"
#include "scripted_server.h"
#include "tw/find_control.h"
#include "tw/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace tickwell::program_testing {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using tw::testing::findControl;
using tw::testing::TempFolder;

inline constexpr const char* kTitle = kMainWindowTitle;
using tickwell::kCreditLine;

inline std::string testFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Asks the window itself: for a window of another process GetWindowText gives
// only the caption the system keeps, which a status bar does not use. Within
// a time limit: a window of a thread that is busy elsewhere (a query's thread
// owns one while it shows a question) must not hold the test for ever.
inline std::string windowText(HWND window) {
    char text[1024] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}

// What the server sends, switched by the test between queries.
enum class Serve { Now, Ahead90, Nothing, SilentThenNothing };

// A Daytime server whose answer the test chooses. "Now" waits for the start of a
// second, so the whole-second time it sends is within a few milliseconds of the
// PC clock and a clock set to it changes nothing.
class SwitchableServer {
  public:
    SwitchableServer() : server_({tw::testserver::sendFn([this] { return answer(); })}) {}
    std::atomic<Serve> mode{Serve::Now};
    uint16_t port() const { return server_.port(); }
    int served() const { return server_.connectionsServed(); }

  private:
    std::string answer() {
        switch (mode.load()) {
        case Serve::Now: {
            SYSTEMTIME now{};
            do {
                ::GetSystemTime(&now);
                if (now.wMilliseconds >= 30)
                    ::Sleep(1000 - now.wMilliseconds);
            } while (now.wMilliseconds >= 30);
            return tw::demo::daytimeLine();
        }
        case Serve::Ahead90:
            return tw::demo::daytimeLine(90);
        case Serve::Nothing:
            return "";
        case Serve::SilentThenNothing:
            std::this_thread::sleep_for(3s);
            return "";
        }
        return "";
    }
    tw::testserver::ScriptedServer server_;
};

// The program, its DLLs and its settings file in a folder of their own.
class Installation {
  public:
    Installation() {
        for (const char* name : {"tickwell.exe", "zym.dll", "zymdate.dll"})
            ::CopyFileA((testFolder() + name).c_str(), folder_.file(name).c_str(), FALSE);
    }
    // Its settings name the scripted server, with a note the query drops.
    explicit Installation(const SwitchableServer& server) : Installation() {
        set("Network", "CurrentNISTServer", "127.0.0.1 (scripted)");
        set("Network", "Time Port", std::to_string(server.port()));
        set("Network", "Network Timeout", "10");
    }
    void set(const char* section, const char* key, const std::string& value) const {
        ::WritePrivateProfileStringA(section, key, value.c_str(), ini().c_str());
    }
    std::string ini() const { return folder_.file("Tickwell.ini"); }
    std::string log() const { return tw::testing::readFile(folder_.file("tickwell.log")); }
    std::string exe() const { return folder_.file("tickwell.exe"); }

  private:
    TempFolder folder_;
};

class Running {
  public:
    Running(const Installation& installation, const std::string& arguments) {
        std::string commandLine = "\"" + installation.exe() + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        started_ = ::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &process_) != FALSE;
    }
    ~Running() {
        if (!started_)
            return;
        if (!exited(0ms)) {
            if (window_ != nullptr)
                ::PostMessageA(window_, WM_COMMAND, CMD_EXIT, 0);
            if (!exited(10s))
                ::TerminateProcess(process_.hProcess, 1);
        }
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    // The main window once it exists (after the splash), shown or hidden.
    HWND window(std::chrono::milliseconds limit = 20s) {
        waitFor([this] { return (window_ = find(kTitle)) != nullptr || exited(0ms); }, limit);
        return window_;
    }
    // A top-level window of this process with the given title.
    HWND find(const std::string& title) const {
        return findWhere([&title](HWND w) { return windowText(w) == title; });
    }
    // A shown dialog of this process with the given title, other than `except`
    // (the icon chooser bears the main window's title); waits for it a little.
    HWND dialog(const std::string& title, HWND except = nullptr) const {
        HWND found = nullptr;
        waitFor(
            [&] {
                found = findWhere([&](HWND w) {
                    char name[16] = {};
                    ::GetClassNameA(w, name, sizeof(name));
                    return w != except && std::string(name) == "#32770" && ::IsWindowVisible(w) &&
                           windowText(w) == title;
                });
                return found != nullptr;
            },
            10s);
        return found;
    }
    bool exited(std::chrono::milliseconds limit) const {
        return ::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) ==
               WAIT_OBJECT_0;
    }
    bool started() const { return started_; }

  private:
    HWND findWhere(const std::function<bool(HWND)>& match) const {
        struct Search {
            DWORD pid;
            const std::function<bool(HWND)>* match;
            HWND found;
        } search{process_.dwProcessId, &match, nullptr};
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                if (pid == s->pid && (*s->match)(w)) {
                    s->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    PROCESS_INFORMATION process_{};
    bool started_ = false;
    HWND window_ = nullptr;
};

inline std::string text(HWND window, int id) {
    return windowText(::GetDlgItem(window, id));
}

inline std::string iniValue(const std::string& file, const char* section, const char* key) {
    char buffer[1024] = {};
    ::GetPrivateProfileStringA(section, key, "<missing>", buffer, sizeof(buffer), file.c_str());
    return buffer;
}

inline size_t iniKeyCount(const std::string& file, const char* section) {
    char buffer[16384] = {};
    const DWORD length =
        ::GetPrivateProfileStringA(section, nullptr, "", buffer, sizeof(buffer), file.c_str());
    size_t count = 0;
    for (DWORD i = 0; i < length; ++i)
        count += buffer[i] == '\0' ? 1 : 0;
    return count;
}

inline void command(HWND window, int id) {
    ::PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

inline int height(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r.bottom - r.top;
}

} // namespace tickwell::program_testing
