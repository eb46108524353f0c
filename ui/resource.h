// Resource ids of Vantor.exe.
#pragma once

// The program icon, and the tray menu (a menu resource of the same number).
#define IDR_MAINFRAME 128
#define IDR_TRAY_MENU 128

// The icons of the command buttons, 24 x 24.
#define IDI_RECORD 129
#define IDI_RECORD_HOVER 130
#define IDI_PAUSE 131
#define IDI_PAUSE_HOVER 132
#define IDI_STOP 133
#define IDI_STOP_HOVER 134
#define IDI_HELP 135
// The close and hide buttons' pictures: normal, hovered, pressed side by side.
#define IDB_CLOSE 136
#define IDB_HIDE 137
// The video page's buttons: normal, hovered, pressed, locked side by side.
#define IDB_REGION 138
#define IDB_BROWSE 139
#define IDB_OPEN_FOLDER 140

#define IDD_ABOUTBOX 100
#define IDD_VANTOR_DIALOG 102
#define IDS_ABOUTBOX 101
#define IDS_WELCOME 102

// The option pages.
#define IDD_OPT_VIDEO 278
#define IDD_OPT_AUDIO 279
#define IDD_OPT_SYSTEM 280
#define IDD_OPT_HOTKEY 284

#define IDC_RECORD 1213
#define IDC_PAUSE 1008
#define IDC_STOP 1006
#define IDC_HELP_BUTTON 1009
#define IDC_CLOSE_BUTTON 1073
#define IDC_HIDE_BUTTON 1074
#define IDC_TITLE 1122
#define IDC_TAB_PLACEHOLDER 1217
#define IDC_TAB 4001

// The video page.
#define IDC_DIRECTX 1218
#define IDC_GDI 1219
#define IDC_FULLSCREEN 1220
#define IDC_REGION 1060
#define IDC_FRAMERATE_LABEL 1201
#define IDC_FRAMERATE 1199
#define IDC_OUTPUT_LABEL 1004
#define IDC_OUTPUT_FOLDER 1051
#define IDC_BROWSE 1059
#define IDC_OPEN_FOLDER 1061
// The audio page.
#define IDC_LOOPBACK 1015
#define IDC_DEVICE_LABEL 1005
#define IDC_DEVICE_LIST 1052
// The system page.
#define IDC_WND_TOP 1202
#define IDC_LANGUAGE_LABEL 1214
#define IDC_LANGUAGE_LIST 1052
// The hotkey page.
#define IDC_RECORD_KEY_LABEL 1210
#define IDC_PAUSE_KEY_LABEL 1211
#define IDC_STOP_KEY_LABEL 1212
#define IDC_RECORD_KEY 1207
#define IDC_PAUSE_KEY 1208
#define IDC_STOP_KEY 1209

// The About box's links.
#define IDC_WEB_LINK 1062
#define IDC_MAIL_LINK 1063

// The tray menu (its popup holds Record, Pause, Stop and Quit) and the one command no
// control carries.
#define IDR_TRAY_MENU 128
#define ID_TRAY_QUIT 32822
#define ID_MAXIMIZE 1075
