/* The ids the program's resource script and its C++ share: dialog templates,
   commands (menu items, tool buttons and the tray menu share them), controls,
   resources, timers and private messages. Plain macros: the resource compiler
   reads this file too. */
#ifndef TICKWELL_PROGRAM_IDS_H
#define TICKWELL_PROGRAM_IDS_H

/* Dialog templates */
#define IDD_MAIN 100
#define IDD_SPLASH 101

/* Commands */
#define CMD_EXIT 3072
#define CMD_CHECK 3073
#define CMD_SET 3074
#define CMD_OPTIONS 3075
#define CMD_LOGFILE 3076
#define CMD_ABOUT 3077
#define CMD_HELP 3078
#define CMD_STATUSBAR_TOGGLE 3079
#define CMD_RESTORE 3080
#define CMD_UPDATES 3081

/* Controls of the main window */
#define IDC_VALUES_FRAME 1424
#define IDC_SERVER_CAPTION 1425
#define IDC_PC_CAPTION 1426
#define IDC_DIFFERENCE_CAPTION 1427
#define IDC_SERVER_TIME 1428
#define IDC_PC_TIME 1429
#define IDC_DIFFERENCE 1430
#define IDC_STATUSBAR 1431

/* Controls of the splash screen */
#define IDC_SPLASH_PICTURE 1041

/* Resources */
#define IDI_APP 1024
#define IDI_EXIT 1032
#define IDI_ABOUT 1033
#define IDI_HELP 1034
#define IDI_OPTIONS 1036
#define IDI_LOG 1037
#define IDB_SPLASH 1040
#define IDI_TRAY_BASE 1050 /* tray icon n is IDI_TRAY_BASE + n, n = 1..14 */
#define IDI_SET 1055
#define IDI_CHECK 1056

/* Timers: the main window's clock and the splash share the id */
#define IDT_CLOCK 1925

/* Private messages */
#define WM_TRAY_CALLBACK 1424
#define WM_QUERY_DONE (WM_APP + 1)

#endif
