// Resource and control ids of the dialogs, shared by the dialog logic and
// the Windows resource script.
#pragma once

#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_ZENTACLEANUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_CUSTOM_MODE 129
#define IDB_BROOM 133

#define IDC_PRODUCT_LIST 1000
#define IDC_FAMILY_LIST 1001
#define IDC_BASIC_MODE 1002
#define IDC_CUSTOM_MODE 1004
#define IDC_DRY_RUN 1005
#define IDC_HELP_BUTTON 9

#define IDM_ABOUTBOX 0x0010
