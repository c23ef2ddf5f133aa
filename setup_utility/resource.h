// Resource and command identifiers of quorret (shared by the .rc files and the code).
#pragma once

#define IDR_MAINFRAME 128            // icon, menu, document-template string
#define IDP_OLE_INIT_FAILED 129
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_ICON 1001
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define ID_ADD_DEVICE 32772
#define ID_ADD_LOGICAL_DEVICE_NAME 32773
#define ID_DELETE 32774
#define ID_CHECK_HEALTH 32775
#define ID_APP_ABOUT 0xE140          // 57664, the class library's standard About command
#define ID_APP_EXIT 0xE141           // 57665, standard Exit

#define AFX_IDS_APP_TITLE 0xE000     // 57344
#define AFX_IDS_IDLEMESSAGE 0xE001   // "Ready"
#define ID_INDICATOR_CAPS 0xE701
#define ID_INDICATOR_NUM 0xE702
#define ID_INDICATOR_SCRL 0xE703
#define AFX_IDW_STATUS_BAR 0xE801    // 59393
#define AFX_IDW_PANE_FIRST 0xE900    // the splitter, and its first pane

#define IDC_DEVICE_TREE 100          // the tree control inside CLeftTreeView
