// The History window "Tickwell - History": the plot of every check kept in the
// history file, the drift the checks tell, the last check and the counts, the
// interval the drift suggests for a chosen bound (and a button that makes it
// the auto-set interval), Export... and Copy. Modeless and resizable; it reads
// the file again whenever the main window reports a new record.
#pragma once

#include "history.h"
#include "history_plot.h"
#include "tw/dialog.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tickwell {

struct HistoryHost {
    std::function<std::vector<history::Record>()> records; // what the file holds, oldest first
    std::function<int64_t()> nowMs;                        // UTC milliseconds
    std::function<std::string(int64_t utcMs)> timeText;    // as the main window shows a time
    std::function<void(int minutes)> applyInterval;        // auto-set every this many minutes
};

class HistoryWindow final : public tw::Dialog {
  public:
    HistoryWindow(HINSTANCE instance, HistoryHost host);
    ~HistoryWindow() override;

    // Opens it, or brings the open one forward.
    void open(HWND owner);
    // Reads the records again and repaints, when open.
    void refresh();
    bool isOpen() const { return window() != nullptr && ::IsWindow(window()); }

    // What Copy puts on the clipboard: the texts under the plot, one per line.
    std::string summary() const;

  protected:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    void onDestroy() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    struct Placed {
        int id;
        RECT rect; // in the client area as the template made it
    };
    void layout();
    void updateTexts();
    void drawPlot(const DRAWITEMSTRUCT& item) const;
    void exportRecords();
    void copySummary();
    void applySuggestion();
    int64_t boundMs() const;

    HINSTANCE instance_;
    HistoryHost host_;
    std::vector<history::Record> records_;
    std::optional<history::Drift> drift_;
    HistoryRange range_ = HistoryRange::Week;
    std::vector<Placed> placed_;
    SIZE templateClient_{};
    SIZE minimumWindow_{};
};

} // namespace tickwell
