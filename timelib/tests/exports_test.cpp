// zymdate.dll must be usable by any program that knows only the plain export
// names: each one is looked up with GetProcAddress, as a VBA or ctypes caller would.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

const char* const kZymdateExports[] = {
    "CHECKATOMICTIME",
    "RFC868TOSYSTEMTIME",
    "SETTIMEPRIVILEGE",
    "SETPCTIME",
    "DIFFERENCETEXT",
    "STTONISTTIME",
    "RFC868TIME",
    "INETTIME",
    "SETNEXTCHECKTIME",
    "CALDATETOJULIAN",
    "JULIANTOCALDATE",
    "MODIFIEDJULIANDATE",
    "ISLEAPYEAR",
    "DAYSINMONTH",
    "JULTODATE",
    "FIRSTSUNDAYOFAPRIL",
    "LASTSUNDAYOFMARCH",
    "LASTSUNDAYOFOCTOBER",
    "DATEOFFIRSTSUNDAYOFAPRIL",
    "DATEOFLASTSUNDAYOFOCTOBER",
    "GETMONTHNAME",
    "DAYOFTHEWEEK",
    "FORMATTIME",
    "GETPCTIME",
    "GETPCDATE",
    "GETPCTIMEANDDATE",
    "TIMESTAMP",
    "USTRING",
    "STRTOVBDATE",
    "VBDATETOSTR",
    "INCRSYSTEMTIME",
    "DECRSYSTEMTIME",
    "CONVERTTOLOCALTIME",
    "CONVERTTOGMTTIME",
    "CONVERTTOSYSTEMTIME",
    "DATEDIFFERENCE",
    "ISFILEDATENEWER",
};

TEST(ZymdateExports, EveryExportIsFoundByItsPlainName) {
    HMODULE dll = ::LoadLibraryA("zymdate.dll");
    ASSERT_NE(dll, nullptr) << "LoadLibrary failed: " << ::GetLastError();
    for (const char* name : kZymdateExports)
        EXPECT_NE(::GetProcAddress(dll, name), nullptr) << name << " is not exported";
    ::FreeLibrary(dll);
}

} // namespace
