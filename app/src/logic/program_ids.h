/* The ids the program's resource script and its C++ share: dialog templates,
   commands (menu items, tool buttons and the tray menu share them), controls,
   resources, timers and private messages. Plain macros: the resource compiler
   reads this file too. */
#ifndef TICKWELL_PROGRAM_IDS_H
#define TICKWELL_PROGRAM_IDS_H

/* Dialog templates */
#define IDD_MAIN 100
#define IDD_SPLASH 101
#define IDD_OPTIONS 102
#define IDD_OPTIONS_GENERAL 103 /* the three pages, in tab order */
#define IDD_OPTIONS_NETWORK 104
#define IDD_OPTIONS_FORMAT 105
#define IDD_ADD_SERVER 106
#define IDD_TRAY_CHOOSER 107
#define IDD_HISTORY 108

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
#define CMD_HISTORY 3082

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

/* The options dialog: its tab control and Apply; OK and Cancel are IDOK and
   IDCANCEL */
#define IDC_TABS 1524
#define IDC_APPLY 1624

/* Its pages. The picture stands on each of them under the same id. */
#define IDC_PAGE_PICTURE 1625
/* Page "General" */
#define IDC_PROGRAM_FRAME 1530
#define IDC_AUTOSET_FRAME 1534
#define IDC_SHOW_SPLASH 1536
#define IDC_SHOW_STATUSBAR 1537
#define IDC_USE_SOUNDS 1538
#define IDC_STAY_ON_TOP 1539
#define IDC_RUN_IN_TRAY 1540
#define IDC_LOG_EVENTS 1541
#define IDC_AUTOSET_NONE 1542
#define IDC_START_WITH_WINDOWS 1543
#define IDC_ROTATE_ICONS 1544
#define IDC_CHOOSE_TRAY_ICON 1736
#define IDC_INTERVAL_30 1630 /* the eight intervals, 30 minutes to 30 days */
#define IDC_INTERVAL_60 1631
#define IDC_INTERVAL_360 1632
#define IDC_INTERVAL_720 1633
#define IDC_INTERVAL_1440 1634
#define IDC_INTERVAL_10080 1635
#define IDC_INTERVAL_20160 1636
#define IDC_INTERVAL_43200 1637
#define IDC_CHANGE_FRAME 1547
#define IDC_MAXIMUM_CHANGE_LABEL 1548
#define IDC_MAXIMUM_CHANGE 1549
#define IDC_MAXIMUM_CHANGE_UNIT 1550
/* Page "Network". The drop list and its "Add a server" button share 1626: the
   button is told apart by its notification (BN_CLICKED, 0). */
#define IDC_TIME_PORT_LABEL 1526
#define IDC_TIMEOUT_LABEL 1527
#define IDC_SERVER_LABEL 1529
#define IDC_CONNECTION_FRAME 1531
#define IDC_PORT_FRAME 1533
#define IDC_NETWORK_FRAME 1535
#define IDC_TIME_PORT 1545
#define IDC_TIMEOUT 1546
#define IDC_SERVER_LIST 1626
#define IDC_USE_PROXY 1731
#define IDC_PROXY_ADDRESS 1732
#define IDC_PROXY_PORT 1733
#define IDC_PROXY_PORT_LABEL 1734
#define IDC_PROXY_ADDRESS_LABEL 1735
#define IDC_CONNECTION_RETRY 1841
#define IDC_WAIT_FOR_CONNECTION 1842
#define IDC_ASKING_FRAME 1551
#define IDC_SERVERS_TO_ASK_LABEL 1552
#define IDC_SERVERS_TO_ASK 1553
#define IDC_SERVERS_TO_ASK_NOTE 1554
#define IDC_SAMPLES_LABEL 1555
#define IDC_SAMPLES_PER_SERVER 1556
#define IDC_SAMPLES_NOTE 1557
#define IDC_NTS_FRAME 1559
#define IDC_NTS_CA_FILE_LABEL 1560
#define IDC_NTS_CA_FILE 1561
#define IDC_NTS_CA_BROWSE 1562
/* Page "General": the Tickwell Time service's schedule, in place of the auto-set choices */
#define IDC_SERVICE_SCHEDULE 1558
/* Page "Format"; both frames are 1532 */
#define IDC_DISPLAY_FRAME 1532
#define IDC_NIST_RAW 1627
#define IDC_NIST_GMT 1628
#define IDC_NIST_LOCAL 1629
#define IDC_LOCAL_GMT 1638
#define IDC_LOCAL_LOCAL 1639
#define IDC_STYLE_LABEL 1738
#define IDC_STYLE_LONG 1739
#define IDC_STYLE_24H 1740

/* The Add-server dialog; Cancel is IDCANCEL */
#define IDC_SERVER_ADDRESS 20
#define IDC_SERVER_NAME 1725
#define IDC_ADD 1726
#define IDC_ADD_PICTURE 1727
#define IDC_ADD_FRAME 1728
#define IDC_ADDRESS_LABEL 1729
#define IDC_NAME_LABEL 1730

/* The tray icon chooser: icon n (1..14) is button IDC_TRAY_ICON_BASE + n */
#define IDC_CHOOSER_LABEL 1737
#define IDC_TRAY_ICON_BASE 1824
#define IDC_CHOOSER_OK 1839
#define IDC_CHOOSER_CANCEL 1840

/* The History window */
#define IDC_HISTORY_PLOT 1900
#define IDC_HISTORY_RANGE_LABEL 1901
#define IDC_HISTORY_DAY 1902 /* the four ranges, in this order */
#define IDC_HISTORY_WEEK 1903
#define IDC_HISTORY_MONTH 1904
#define IDC_HISTORY_ALL 1905
#define IDC_HISTORY_DRIFT 1906
#define IDC_HISTORY_LAST 1907
#define IDC_HISTORY_COUNTS 1908
#define IDC_HISTORY_BOUND_LABEL 1909
#define IDC_HISTORY_BOUND 1910
#define IDC_HISTORY_SUGGESTION 1911
#define IDC_HISTORY_APPLY 1912
#define IDC_HISTORY_EXPORT 1913
#define IDC_HISTORY_COPY 1914

/* Resources */
#define IDI_APP 1024
#define IDI_EXIT 1032
#define IDI_ABOUT 1033
#define IDI_HELP 1034
#define IDI_OPTIONS 1036
#define IDI_LOG 1037
#define IDB_SPLASH 1040
#define IDI_TRAY_BASE 1050 /* tray icon n is IDI_TRAY_BASE + n, n = 1..14 */
#define IDI_ADD_SERVER_BIG 1051
#define IDI_PAGE_PICTURE 1052
#define IDI_ADD_SERVER_PICTURE 1058
#define IDI_SET 1055
#define IDI_CHECK 1056

/* Timers: the main window's clock and the splash share the id */
#define IDT_CLOCK 1925

/* Private messages */
#define WM_TRAY_CALLBACK 1424
#define WM_QUERY_DONE (WM_APP + 1)
/* lParam: a std::string* the window takes, what the running query is doing */
#define WM_QUERY_PROGRESS (WM_APP + 2)

#endif
