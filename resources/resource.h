// Resource identifiers shared by the .rc script and the code.
#pragma once

// Strings
#define IDS_ABOUTBOX                101
#define IDS_PACKAGE_EMPTY           102
#define IDS_ERROR_OCCURED           103
#define IDS_NO_TEMP_FOLDER          104
#define IDS_TARGET_SELECTION        107
#define IDS_ACTIONS                 108
#define IDS_CLEAR_SELECTION         109
#define IDS_EXIT                    110
#define IDS_EVENT_LOG               111
#define IDS_SELECT_PACKAGE          112
#define IDS_ERR_PARSE_PACKAGE       113
#define IDS_ERR_GETPACKAGEINFO      115
#define IDS_HINT_NO_PROJECTS        116
#define IDS_ERR_ENUMERATION         117
#define IDS_NO_ACTION               118
#define IDS_VERSIONATING            119
#define IDS_TARGET_HINT             120
#define IDS_SET_VERSION             142
#define IDS_AUTO_INCREMENT          143

// Package editor strings
#define IDS_NEW_PACKAGE_NAME        150
#define IDS_ERR_SAVING              151
#define IDS_ERR_ADD_PROJECT         152
#define IDS_EDITOR_TITLE            153
#define IDS_SAVE_AND_CLOSE          154
#define IDS_CANCEL                  155
#define IDS_PROJECT_SETTINGS        156
#define IDS_PROJECT_NAME            157
#define IDS_SOURCE_PATH             158
#define IDS_REGISTER_AFTER_BUILD    159
#define IDS_DEBUG_CONFIGURATION     160
#define IDS_RELEASE_CONFIGURATION   161
#define IDS_ADD_PROJECT             162
#define IDS_REMOVE_PROJECT          163

// Captions used by the main window's message boxes
#define IDS_CAPTION_ERROR           170
#define IDS_CAPTION_HINT            171

// Strings of the interface controls
#define IDS_APP_TITLE               172

// Dialogs
#define IDD_ABOUTBOX                100

// Icons
#define IDI_KILNWORKS               129
#define IDI_PROJECT_UNKNOWN         134
#define IDI_PROJECT_VC6             135
#define IDI_PROJECT_VB6             136
#define IDI_EDIT_PACKAGE            138
#define IDI_OPEN_PACKAGE            139
#define IDI_NEW_PACKAGE             140

// Controls of the About box
#define IDC_ABOUT_LINK              1051
#define IDC_ABOUT_VERSION           1052

// ---- Main window: dialog, menu, commands and controls --------------------------------------
#define IDD_MAINWINDOW              102

// Menu of the main window and the event log's context menu
#define IDR_MAINMENU                129
#define IDR_EVENTLOG_MENU           130

// Menu commands
#define IDM_EXIT_PROGRAM            32771
#define IDM_OPEN_PACKAGE            32772
#define IDM_ABOUT                   32773
#define IDM_EDIT_PACKAGE            32774
#define IDM_NEW_PACKAGE             32775
#define IDM_COPY_ALL_LINES          32780
#define IDM_SAVE_LOG_AS             32781
#define IDM_SAVE_REPORT_AS          32782
// The recent packages of the File menu, most recent first (RecentPackages::kLimit of them)
#define IDM_RECENT_FIRST            32810
#define IDM_RECENT_LAST             32817

// System menu entry of the About box
#define IDM_ABOUTBOX                16

// Controls
#define IDC_PACKAGE_GROUP           1001
#define IDC_PACKAGE_LIST            1002
#define IDC_ACTIONS_GROUP           1003
#define IDC_START                   1004
#define IDC_BUILD                   1005
#define IDC_EXIT                    1006
#define IDC_TARGET_LIST             1007
#define IDC_ADD_SELECTED            1010
#define IDC_ADD_ALL                 1011
#define IDC_REMOVE_SELECTED         1012
#define IDC_CLEAR_TARGETS           1013
#define IDC_BUILD_FRAME             1014
#define IDC_DEBUG                   1015
#define IDC_RELEASE                 1016
#define IDC_EVENT_LOG               1017
#define IDC_REBUILD_ALL             1018
#define IDC_CLEAN                   1019
#define IDC_VERSION_FRAME           1020
#define IDC_VERSION                 1021
#define IDC_MAJOR                   1022
#define IDC_MINOR                   1023
#define IDC_BUILD_NUMBER            1024
#define IDC_REVISION                1025
#define IDC_EVENT_LOG_LABEL         1026
#define IDC_EDIT_PACKAGE            1027
#define IDC_OPEN_PACKAGE            1028
#define IDC_TARGET_GROUP            1029
#define IDC_TARGET_HINT             1030
#define IDC_NEW_PACKAGE             1031
#define IDC_SET_VERSION             1032
#define IDC_AUTO_INCREMENT          1033
#define IDC_STOP                    1050
#define IDC_PARALLEL_LABEL          1060
#define IDC_PARALLEL_BUILDS         1061

// Strings of the main window
#define IDS_RUN_IN_PROGRESS         400
#define IDS_SAVE_LOG_TITLE          401
#define IDS_LOG_FILES               402
#define IDS_TEXT_FILES              403
#define IDS_ALL_FILES               404
#define IDS_ERR_SAVE_LOG            405
#define IDS_PACKAGE_CAPTION         406
#define IDS_RUN_NOT_STARTED         407
#define IDS_SAVE_REPORT_TITLE       408
#define IDS_REPORT_FILES            409
#define IDS_ERR_SAVE_REPORT         410
#define IDS_RECENT_MISSING          440
#define IDS_DROP_ONE_PACKAGE        441
#define IDS_DROP_DURING_RUN         442

// The event log's error lines: moving between them, opening the file one names
#define IDM_NEXT_ERROR              1800
#define IDM_PREVIOUS_ERROR          1801
#define IDS_ERR_OPEN_SOURCE         1802
#define IDS_NO_PROGRAM_FOR_FILE     1803

// ---- end of main window --------------------------------------------------------------------


// ---- Package editor: dialog and controls ---------------------------------------------------
#define IDD_PACKAGE_EDITOR          131

// Controls (1 "Save and close", 2 Cancel, 3 "Add project", 4 "Remove project")
#define IDC_EDITOR_ADD_PROJECT      3
#define IDC_EDITOR_REMOVE_PROJECT   4
#define IDC_EDITOR_PROJECTS         1002
#define IDC_EDITOR_MAJOR            1022
#define IDC_EDITOR_MINOR            1023
#define IDC_EDITOR_BUILD            1024
#define IDC_EDITOR_REVISION         1025
#define IDC_EDITOR_PACKAGE_NAME     1032
#define IDC_EDITOR_SETTINGS_GROUP   1034
#define IDC_EDITOR_PROJECT_LABEL    1035
#define IDC_EDITOR_VB6              1036
#define IDC_EDITOR_VC6              1037
#define IDC_EDITOR_PROJECT_NAME     1038
#define IDC_EDITOR_SOURCE_LABEL     1039
#define IDC_EDITOR_CHOOSE_RESOURCE  1040
#define IDC_EDITOR_SOURCE_PATH      1041
#define IDC_EDITOR_CHOOSE_SOURCE    1042
#define IDC_EDITOR_RESOURCE_LABEL   1043
#define IDC_EDITOR_RESOURCE_FILE    1044
#define IDC_EDITOR_REGISTER         1045
#define IDC_EDITOR_DEBUG_CONFIG     1046
#define IDC_EDITOR_RELEASE_CONFIG   1047
#define IDC_EDITOR_DEBUG_LABEL      1048
#define IDC_EDITOR_RELEASE_LABEL    1049

// Strings of the editor's prompts
#define IDS_SELECT_RESOURCE_FILE    2101
#define IDS_FILTER_RESOURCE_FILES   2102
#define IDS_FILTER_ALL_FILES        2103
#define IDS_SELECT_SOURCE_PATH      2104
#define IDS_FILTER_DSW              2105
#define IDS_FILTER_DSP              2106
#define IDS_FILTER_VBP              2107
#define IDS_CONFIRM_REMOVE          2108
#define IDS_CONFIRMATION            2109
#define IDS_NEW_PACKAGE_TITLE       2110
#define IDS_FILTER_PACKAGE          2111

// ---- end of package editor -----------------------------------------------------------------


// ---- Package editor: a project's dependencies ----------------------------------------------
#define IDD_DEPENDENCIES            1700
#define IDC_EDITOR_DEPENDENCIES     1701
#define IDC_DEPENDENCIES_NOTE       1702
#define IDC_DEPENDENCIES_LIST       1703
#define IDS_DEPENDENCIES_TITLE      1710
#define IDS_DEPENDENCIES_NOTE       1711
#define IDS_DEPENDENCIES_NONE       1712
// ---- end of dependencies -------------------------------------------------------------------
