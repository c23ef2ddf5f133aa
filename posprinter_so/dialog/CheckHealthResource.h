// Resource numbers of the interactive check-health dialog, shared by vasselin.rc and the code.
#pragma once

#define IDD_CHECKHEALTH 18001
#define IDC_CH_RESULTCODE 18001
#define IDC_CH_RESULTCODEEXTENDED 18002
#define IDC_CH_INSTRUCTION 18003
#define IDC_CH_LABEL_RESULTCODE 18004
#define IDC_CH_LABEL_RESULTCODEEXTENDED 18005

#define IDS_CH_CAPTION 9
#define IDS_CH_INSTRUCTION 10
#define IDS_CH_LABEL_RESULTCODE 11
#define IDS_CH_LABEL_RESULTCODEEXTENDED 12
