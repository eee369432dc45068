#pragma once
// Resource identifiers, one range per kind.

#define IDR_MAINMENU 100
#define IDR_POPUP 101
#define IDR_ACCEL 102
#define IDI_VORPA 103
#define IDD_ABOUT 104

// Menu commands (IDM_). The Settings pairs are index 0 and index 1 of one
// handler each.
#define IDM_OPEN 1001
#define IDM_DESKTOPADDOPEN 1002    // in the menu design but never shown
#define IDM_FAVORITESADDOPEN 1003  // in the menu design but never shown
#define IDM_EXCEL 1004
#define IDM_SAVE 1005
#define IDM_CLOSE 1006
#define IDM_ALLSELECT 1010
#define IDM_ALLNOTSELECT 1011
#define IDM_DEL 1012
#define IDM_ALLDEL 1013
#define IDM_FAVORITESDESKTOP0 1020
#define IDM_FAVORITESDESKTOP1 1021
#define IDM_NEWADD0 1022
#define IDM_NEWADD1 1023
#define IDM_SUBFOLDER0 1024
#define IDM_SUBFOLDER1 1025
#define IDM_VER 1030
#define IDM_PALLSELECT 1040
#define IDM_PALLNOTSELECT 1041
#define IDM_PDEL 1042
#define IDM_PALLDEL 1043

// Controls (IDC_).
#define IDC_LSTVIEW 2000
#define IDC_PICICON 2101
#define IDC_LBLTITLE 2102
#define IDC_LBLVERSION 2103
#define IDC_LBLDESCRIPTION 2104
#define IDC_LBLDISCLAIMER 2105
#define IDC_LINE1_0 2106
#define IDC_LINE1_1 2107

// Strings (IDS_).
#define IDS_APP_TITLE 3000
