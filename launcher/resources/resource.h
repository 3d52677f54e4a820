// Identifiers of the launcher's resources, shared by the resource script and the code.
#pragma once

#define IDR_PROBE_CLASS 105
#define IDI_APP 107
#define IDD_VM_CHOICE 107
#define IDD_NO_VM 108

#define IDC_VM_LIST 1001
#define IDC_MESSAGE_TEXT 1002
#define IDC_BROWSE_VM 1003
#define IDC_VM_PATH 1004
#define IDC_SAVE_FOLDER 1006
#define IDC_BROWSE_FOLDER 1009
#define IDC_DOWNLOAD_ADDRESS 1010
#define IDC_OPTION_DOWNLOAD 1021
#define IDC_OPTION_RUN_VM 1022
#define IDC_OPTION_SAVE 1023

#define IDS_CONFIRM_CANCEL 1
#define IDS_CAPTION 2
#define IDS_ONE_VM_FOUND 3
#define IDS_SEVERAL_VMS_FOUND 4
#define IDS_DOWNLOAD_OFFER 5
#define IDS_USAGE 6
#define IDS_FILTER_EXECUTABLES 7
#define IDS_FILTER_CLASSES 8
#define IDS_CANNOT_SAVE 9
#define IDS_NOT_A_VM 10
#define IDS_NO_VM_PATH 11
#define IDS_NO_VM_AT_PATH 12
#define IDS_SAVED 13
#define IDS_NO_SAVE_FOLDER 14
#define IDS_CANNOT_START_VM 16
#define IDS_OPTIONS_USAGE 17
