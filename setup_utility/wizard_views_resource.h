// Resource identifiers of the add-device wizard and the right-hand forms (wizard_views.rc).
// Control identifiers are per dialog.
#pragma once

// Dialog templates
#define IDD_SELECT_CLASS 147      // CAddSelectClassDlg
#define IDD_WIZ_CLASS 130         // CAddDeviceCommPage
#define IDD_WIZ_MODEL 131         // CAddDevicePagePtr1
#define IDD_WIZ_DRIVER 132        // CAddDevicePagePtr2
#define IDD_WIZ_SETTINGS 133      // CAddDevicePagePtr3
#define IDD_WIZ_END 134           // CAddDeviceEndPage
#define IDD_WIZ_DRAWER_COUNT 135  // CAddDevicePageDrw1
#define IDD_WIZ_DRAWER1 136       // CAddDevicePageDrw2
#define IDD_WIZ_DRAWER2 137       // CAddDevicePageDrw3
#define IDD_WIZ_LOGICAL 138       // CAddLDDevicePage
#define IDD_VIEW_CLASS 103        // CRight00View
#define IDD_VIEW_BLANK 104        // CRightBlankView
#define IDD_VIEW_DRAWER 105       // CRight03View
#define IDD_VIEW_PRINTER 152      // CRight22View

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Class choice dialog and class page
#define IDC_CLASS_COMBO 1018
#define IDC_SELECT_BACK 1033

// Logical-name page
#define IDC_LD_DEVICE 1019
#define IDC_LD_NAME 1026

// Model and driver pages
#define IDC_MODEL_COMBO 1018
#define IDC_NEW_DEVICE_NAME 1019
#define IDC_DRIVER_COMBO 1018

// Printer settings page
#define IDC_SET_SEND_TIMEOUT 1019
#define IDC_SET_RECEIVE_TIMEOUT 1022
#define IDC_SET_COMPLETION 1018
#define IDC_SET_PAPER 1020
#define IDC_SET_PAPER_LABEL 1034
#define IDC_SET_WIDTH 1027
#define IDC_SET_WIDTH_LABEL 1035
#define IDC_SET_MARK 1028
#define IDC_SET_MARK_LABEL 1029
#define IDC_SET_SPEED 1026
#define IDC_SET_SPEED_LABEL 1025
#define IDC_SET_CODEPAGE 1021
#define IDC_SET_NEAREND 1023
#define IDC_SET_NEAREND_LABEL 1024

// Drawer pages
#define IDC_DRW_PRINTER 1019
#define IDC_DRW_COUNT 1018
#define IDC_DRW_NAME 1019
#define IDC_DRW_PULSE 1018
#define IDC_DRW_INVERT 1020

// Forms
#define IDC_VIEW_DEVICE_NAME 1022
#define IDC_VIEW_DRIVER 1023
#define IDC_VIEW_CHECKHEALTH 1021
#define IDC_VIEW_CORE_LEVEL 1007
#define IDC_VIEW_SUB_LEVEL 1013
#define IDC_VIEW_RETENTION 1016
#define IDC_VIEW_LOG_FOLDER 1008
#define IDC_VIEW_VERSION 1029
// printer form
#define IDC_VIEW_SEND_TIMEOUT 1001
#define IDC_VIEW_RECEIVE_TIMEOUT 1015
#define IDC_VIEW_COMPLETION 1003
#define IDC_VIEW_PAPER 1004
#define IDC_VIEW_PAPER_LABEL 1036
#define IDC_VIEW_CODEPAGE 1005
#define IDC_VIEW_SPEED 1014
#define IDC_VIEW_SPEED_LABEL 1026
#define IDC_VIEW_MARK 1018
#define IDC_VIEW_MARK_LABEL 1027
// drawer form
#define IDC_VIEW_PULSE 1025
#define IDC_VIEW_INVERT 1026
