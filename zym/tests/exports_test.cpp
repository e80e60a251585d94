// zym.dll must be usable by any program that knows only the plain export names.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

const char* const kZymExports[] = {
    "APPPATH",
    "EXENAME",
    "EXIST",
    "GETINIDATA",
    "WRITEINIDATA",
    "SAVESETTING",
    "DELETEREGVALUE",
    "PLAYWAVFROMRESOURCE",
    "GETLASTERRORDESCRIPTION",
    "ZYMSHELLABOUT",
    "INITURLCTRL",
};

TEST(ZymExports, EveryExportIsFoundByItsPlainName) {
    HMODULE dll = ::LoadLibraryA("zym.dll");
    ASSERT_NE(dll, nullptr) << "LoadLibrary failed: " << ::GetLastError();
    for (const char* name : kZymExports)
        EXPECT_NE(::GetProcAddress(dll, name), nullptr) << name << " is not exported";
    ::FreeLibrary(dll);
}

} // namespace
