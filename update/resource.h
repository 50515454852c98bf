// Resource and control identifiers of the updater (update.rc and the code).
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_UPDATE_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_PROGRESS 1000
#define IDC_SIZE_INFO 1001
#define IDC_RESULT 1002
#define IDC_ACTION_BUTTON 1003
#define IDC_CANCEL_BUTTON 1004

// System-menu command of the about entry.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
