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

// ---- Main window: dialog, menu, commands and controls --------------------------------------
#define IDD_MAINWINDOW              102

// ---- end of main window --------------------------------------------------------------------


// ---- Package editor: dialog and controls ---------------------------------------------------
#define IDD_PACKAGE_EDITOR          131

// ---- end of package editor -----------------------------------------------------------------
