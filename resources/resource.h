#pragma once
// Numeric ids of commands, dialogs, controls, toolbars, bitmaps, icons, menus and strings.

// Strings
#define IDS_SOCKETS_INIT_FAILED 104
#define IDR_MAINFRAME 128
#define IDR_FRAMESVIEW 129
#define IDR_BANNERVIEW 130
#define AFX_IDS_APP_TITLE 57344
#define IDS_SETTINGS_KEY 61455
