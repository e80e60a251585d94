/* The ids the About box's templates and its C++ share. Plain macros: the
   resource compiler reads this file too. */
#ifndef ZYM_ABOUT_BOX_IDS_H
#define ZYM_ABOUT_BOX_IDS_H

/* Dialog templates: the web address as a SysLink, or as a plain static that
   opens the address when clicked (common controls without SysLink, or an
   address that link markup cannot carry). */
#define IDD_ABOUT_LINK 100
#define IDD_ABOUT_PLAIN 101

/* Controls; OK is IDOK */
#define IDC_ABOUT_ICON 101
#define IDC_ABOUT_PROGRAM_NAME 102
#define IDC_ABOUT_VERSION 103
#define IDC_ABOUT_CREDIT1 104
#define IDC_ABOUT_CREDIT2 105
#define IDC_ABOUT_WEB_ADDRESS 106

#endif
