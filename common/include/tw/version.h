// Version and identity of the Tickwell binaries, shared by the resource scripts
// (VERSIONINFO) and the code. Plain macros so the resource compiler reads them.
// The numbers and the texts describe the same version: change them together.
#ifndef TW_VERSION_H
#define TW_VERSION_H

#define TW_VERSION_MAJOR 1
#define TW_VERSION_MINOR 50
#define TW_VERSION_TEXT "1.50"
#define TW_FILE_VERSION_TEXT "1.50.0.0"

#define TW_PRODUCT_NAME "Tickwell"
#define TW_COMPANY_NAME "The Tickwell developers"
#define TW_COPYRIGHT "Copyright (C) The Tickwell developers"

#endif
