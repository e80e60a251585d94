// Exports of the formatter: thin adapters over formatting.
#include "zymdate.h"

#include "formatting/formatting.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

#include <climits>

namespace {

// A text the caller passes by reference: read on entry; when it was empty and
// the call filled in a default, the default is stored back into the variable.
class InOutText {
  public:
    explicit InOutText(BSTR* variable)
        : variable_(variable), value_(tw::fromBstrRef(variable)), wasEmpty_(value_.empty()) {}
    std::string& value() { return value_; }
    void storeDefault() const {
        if (wasEmpty_ && !value_.empty())
            tw::assignBstr(variable_, value_);
    }

  private:
    BSTR* variable_;
    std::string value_;
    bool wasEmpty_;
};

} // namespace

extern "C" BSTR WINAPI FORMATTIME(SYSTEMTIME* time, BSTR* timePicture, BSTR* datePicture) {
    return tw::textAtEdge([&] {
        InOutText timePic(timePicture), datePic(datePicture);
        const std::string text =
            zymdate::formatTime(time ? *time : SYSTEMTIME{}, timePic.value(), datePic.value());
        timePic.storeDefault();
        datePic.storeDefault();
        return text;
    });
}

extern "C" BSTR WINAPI GETPCTIME(BSTR* timePicture) {
    return tw::textAtEdge([&] {
        InOutText timePic(timePicture);
        const std::string text = zymdate::pcTime(timePic.value());
        timePic.storeDefault();
        return text;
    });
}

extern "C" BSTR WINAPI GETPCDATE(BSTR* datePicture) {
    return tw::textAtEdge([&] {
        InOutText datePic(datePicture);
        const std::string text = zymdate::pcDate(datePic.value());
        datePic.storeDefault();
        return text;
    });
}

extern "C" BSTR WINAPI GETPCTIMEANDDATE(int32_t* useUtc, BSTR* datePicture, BSTR* timePicture,
                                        BSTR* separator) {
    return tw::textAtEdge([&] {
        InOutText datePic(datePicture), timePic(timePicture), sep(separator);
        const std::string text = zymdate::pcTimeAndDate(
            useUtc != nullptr && *useUtc != 0, datePic.value(), timePic.value(), sep.value());
        sep.storeDefault();
        datePic.storeDefault();
        timePic.storeDefault();
        return text;
    });
}

extern "C" BSTR WINAPI TIMESTAMP() {
    return tw::textAtEdge([] { return zymdate::timestamp(); });
}

extern "C" BSTR WINAPI USTRING(BSTR text) {
    // Twice the length must still fit a BSTR's 32-bit byte count.
    if (::SysStringByteLen(text) > UINT_MAX / 2)
        return nullptr;
    return tw::textAtEdge([&] { return zymdate::ustring(tw::fromBstr(text)); });
}

extern "C" double WINAPI STRTOVBDATE(BSTR dateText) {
    // A failure reads as text the parser cannot read.
    return tw::atEdge(0.0, [&] { return zymdate::strToVbDate(tw::fromBstr(dateText)); });
}

extern "C" BSTR WINAPI VBDATETOSTR(double variantDate) {
    return tw::textAtEdge([&] { return zymdate::vbDateToStr(variantDate); });
}
