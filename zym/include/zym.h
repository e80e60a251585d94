/* zym.dll: small utility operations shared by Tickwell and its time library.
 * Every function is stdcall and exported under its plain upper-case name.
 * Texts are byte BSTRs (SysAllocStringByteLen) holding ANSI text; a NULL BSTR
 * is the empty text; returned BSTRs belong to the caller (SysFreeString). */
#ifndef ZYM_H
#define ZYM_H

#include <stdint.h>
#include <windows.h>
#include <oleauto.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One declaration a line, aligned, for readers of the interface. */
/* clang-format off */

BSTR    WINAPI APPPATH(void);
BSTR    WINAPI EXENAME(void);
int32_t WINAPI EXIST(BSTR path);
BSTR    WINAPI GETINIDATA(BSTR* file, BSTR* section, BSTR* key, BSTR* defaultValue);
int32_t WINAPI WRITEINIDATA(BSTR* file, BSTR* section, BSTR* key, BSTR* value);
int32_t WINAPI SAVESETTING(int32_t* root, BSTR keyPath, BSTR valueName, BSTR valueData);
int32_t WINAPI DELETEREGVALUE(int32_t root, BSTR* keyPath, BSTR* valueName);
int32_t WINAPI PLAYWAVFROMRESOURCE(HINSTANCE* instance, BSTR* resourceName, BSTR* resourceType);
BSTR    WINAPI GETLASTERRORDESCRIPTION(int32_t errorNumber, int32_t reserved);
int32_t WINAPI ZYMSHELLABOUT(HWND* owner, int32_t* flags, BSTR* programName, BSTR* version,
                             BSTR* credit1, BSTR* credit2, BSTR* webAddress, HICON* icon);
int32_t WINAPI INITURLCTRL(void);

/* clang-format on */

#ifdef __cplusplus
}
#endif

#endif /* ZYM_H */
