#pragma once
// Numeric ids of commands, dialogs, controls, toolbars, bitmaps, icons, menus and strings.
//
// One number often names several resources of different kinds: 128 is the main frame's menu,
// accelerator table, toolbar, toolbar bitmap, icon and title string; 129 and 130 are the two
// document templates' menus, icons and document strings, and 130 is also the Background dialog.
// Ids that come from the window framework keep the framework's values (57344 and up).

// ---------------------------------------------------------------------------------------------
// Multi-purpose resources (menu, accelerators, toolbar + bitmap, icon, string)
#define IDR_MAINFRAME 128 // main menu (no document), accelerator table, main toolbar, program icon, title
#define IDR_FRAMESVIEW 129 // Frames View template: menu, icon, document string
#define IDR_BANNERVIEW 130 // Banner View template: menu, icon, document string
#define IDR_TOOLPALETTE 137 // tool palette toolbar and its bitmap
#define IDR_ANIMATION 139 // animation toolbar and its bitmap
#define IDR_SERVER 187 // server toolbar and its bitmap

// Bitmaps
#define IDB_LOGO 143 // logo behind the document windows, 430 x 210
#define IDB_SPLASH 190 // splash picture, 450 x 200
#define IDB_SPLASH_ALT 191 // second splash picture

// Icons (the templates' icons share IDR_FRAMESVIEW and IDR_BANNERVIEW)
#define IDI_PROGRAM IDR_MAINFRAME

// ---------------------------------------------------------------------------------------------
// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_BACKGROUND 130
#define IDD_TEXTPROPERTIES 132
#define IDD_FRAMEDELAY 136
#define IDD_ITEMPROPERTIES 140
#define IDD_BROWSERFALLBACK 146
#define IDD_UPLOAD 157
#define IDD_GIFWARN 174
#define IDD_LOGIN 201

// Standard dialog buttons
#ifndef IDOK
#define IDOK 1 // also the command sent by Enter in the zoom box
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

// Controls of the Background dialog (IDD_BACKGROUND)
#define IDC_BKG_LOAD 1001
#define IDC_BKG_ZOOMIN 1002
#define IDC_BKG_ZOOMOUT 1003
#define IDC_BKG_LOCK 1017
#define IDC_BKG_PICTURE 1018 // imaging control showing the picture

// Controls of the Text Properties dialog (IDD_TEXTPROPERTIES)
#define IDC_TEXT_FONT 3
#define IDC_TEXT_COLOR 4
#define IDC_TEXT_EDIT 1004

// Controls of the Item properties dialog (IDD_ITEMPROPERTIES)
#define IDC_LINECOLOR 1013
#define IDC_FILLCOLOR 1014
#define IDC_FILL 1015
#define IDC_PENWIDTH 1016
#define IDC_FILLCOLOR_LABEL 1017
#define IDC_FILLGROUP 1022

// Controls of the Frame Delay dialog (IDD_FRAMEDELAY)
#define IDC_DELAY 1004

// Controls of the animated-GIF warning (IDD_GIFWARN)
#define IDC_SHOWAGAIN 1018

// Controls of the About box (IDD_ABOUTBOX)
#define IDC_ABOUT_ICON 1026
#define IDC_ABOUT_VERSION 1027

// Controls of the Login dialog (IDD_LOGIN)
#define IDC_REMEMBER 1001
#define IDC_LOGINNAME 1002
#define IDC_PASSWORD 1005

// Controls of the upload dialog (IDD_UPLOAD)
#define IDC_BROWSER 1005
#define IDC_UPLOAD_STOP 1023

// Controls of the browser fallback dialog (IDD_BROWSERFALLBACK)
#define IDC_FALLBACK_ADDRESS 1004
#define IDC_FALLBACK_MESSAGE 1016

// ---------------------------------------------------------------------------------------------
// Child window ids
#define IDC_FILEDLG_CONTROL 100 // hidden file-dialog control of the image item
#define IDC_VIEW_CONTROL 20000 // imaging control filling a view (Banner View and Frames View)
#define IDC_RENDERCTRL 15634 // hidden imaging controls owned by the application
#define IDC_FILECTRL 29912
#define IDC_STAMPCTRL 29913
#define IDC_WORKCTRL 29914
#define AFX_IDW_STATUS_BAR 0xE801 // 59393
#define IDT_SPLASH 1 // the splash window's timer

// ---------------------------------------------------------------------------------------------
// Commands of the window framework
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_CLOSE 57602
#define ID_FILE_SAVE 57603
#define ID_FILE_SAVE_AS 57604
#define ID_FILE_PRINT_SETUP 57606
#define ID_FILE_PRINT 57607
#define ID_FILE_PRINT_PREVIEW 57609
#define ID_FILE_MRU_FILE1 57616 // "Recent File": expands into up to four entries
#define ID_FILE_MRU_FILE2 57617
#define ID_FILE_MRU_FILE3 57618
#define ID_FILE_MRU_FILE4 57619
#define ID_FILE_MRU_COUNT 4
#define ID_EDIT_COPY 57634
#define ID_EDIT_CUT 57635
#define ID_EDIT_PASTE 57637
#define ID_EDIT_UNDO 57643
#define ID_EDIT_REDO 57644
#define ID_WINDOW_ARRANGE 57649
#define ID_WINDOW_CASCADE 57650
#define ID_WINDOW_TILE_HORZ 57651
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680 // accelerator only; no split windows exist
#define ID_PREV_PANE 57681
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393

// Commands of the program
#define ID_VIEW_ZOOMIN 32771
#define ID_VIEW_ZOOMOUT 32772
#define ID_VIEW_NORMAL 32773
#define ID_TOOLS_RECTANGLE 32775
#define ID_TOOLS_SELECT 32776
#define ID_TOOLS_LINE 32777
#define ID_TOOLS_ELLIPSE 32778
#define ID_TOOLS_TEXT 32779
#define ID_TOOLS_IMAGE 32780
#define ID_TOOLS_FREEHAND 32781
#define ID_ARRANGE_MOVETOBACK 32782
#define ID_ARRANGE_MOVETOFRONT 32783
#define ID_ARRANGE_MOVEBACKWARD 32784
#define ID_ARRANGE_MOVEFORWARD 32785
#define ID_FRAME_ADD 32786
#define ID_FRAME_DELETE 32787
#define ID_FRAME_COPY 32788
#define ID_FRAME_PASTE 32789
#define ID_FRAME_CUT 32790
#define ID_FRAME_COPYBACKGROUND 32791
#define ID_FRAME_PASTEBACKGROUND 32792
#define ID_FRAME_LOADBACKGROUND 32793
#define ID_FRAME_DELAY 32794
#define ID_ANIMATION_PLAY 32795
#define ID_ANIMATION_STOP 32796
#define ID_ANIMATION_NEXTFRAME 32799
#define ID_ANIMATION_FIRSTFRAME 32800
#define ID_ANIMATION_LASTFRAME 32801
#define ID_ANIMATION_PREVIOUSFRAME 32802
#define ID_ANIMATION_LOOP 32803
#define ID_VIEW_TOOLPALETTE 32816
#define ID_VIEW_ANIMATION 32817
#define ID_VIEW_FRAMES 32818
#define ID_VIEW_BANNER 32819
#define ID_EDIT_DELETE 32820
#define ID_HELP_HELP 32822
#define ID_HELP_HOMEPAGE 32833 // Help > Go to Corvantaplex
#define ID_FRAME_DELETEBACKGROUND 32834
#define ID_SERVER_LOGIN 32855 // menu item: Login... / Logout
#define ID_SERVER_UPLOADGIF 32856
#define ID_VIEW_SERVER 32861
#define ID_SERVER_LOGINBUTTON 32863 // server toolbar
#define ID_SERVER_LOGOUTBUTTON 32864

// Status bar panes (ids of the panes after the message pane)
#define ID_INDICATOR_POSITION 32797 // "X : 0,  Y : 0"
#define ID_INDICATOR_FRAME 32798 // "Frame : 0,  Total : 0"

// The zoom box on the main toolbar; also its toolbar slot's id
#define ID_ZOOMCOMBO 32805

// ---------------------------------------------------------------------------------------------
// Strings (besides the prompts of the commands above, which share the command ids)
#define IDS_SOCKETS_INIT_FAILED 104
#define AFX_IDS_APP_TITLE 57344
#define AFX_IDS_IDLEMESSAGE 57345 // "For Help, press F1"
#define IDS_BANNER_MAGIC 61447 // the banner file's magic text
#define IDS_HOMEPAGE_URL 61450
#define IDS_HELP_TITLE 61452 // "the on-line help."
#define IDS_HOMEPAGE_TITLE 61453 // "the Corvantaplex home page."
#define IDS_SETTINGS_KEY 61455
