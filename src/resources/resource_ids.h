// Numbers of the runtime's own resources, commands and controls; shared by
// the resource script and the window code.
#pragma once

#define IDR_MAINFRAME 128        // application icon, accelerators
#define IDI_TRAY 198             // tray icon unless the application's is used
#define IDR_CONTEXT_MENU 130     // the Flash Player popup and the system-menu items
#define IDR_TRAY_MENU 133        // the tray popup; its third item closes
#define IDD_OPEN_MOVIE 1000

#define IDC_HOST_WINDOW 1113
#define IDC_STATUS_BAR 59393
#define IDC_OPEN_LOCATION 1001
#define IDC_OPEN_BROWSE 1002

#define ID_FILE_OPEN 57601
#define ID_APP_EXIT 57665
#define ID_CONFIGURE 32777
#define ID_HELP_FILE 32778
#define ID_ABOUT 32780
#define ID_TRAY_TOGGLE 32784

// Flash Player menu commands, carried out by the control.
#define ID_FP_REWIND 20025
#define ID_FP_ZOOM_OUT 20030
#define ID_FP_SHOW_ALL 20034
#define ID_FP_QUALITY_LOW 20035
#define ID_FP_QUALITY_MEDIUM 20036
#define ID_FP_QUALITY_HIGH 20037
#define ID_FP_PLAY 20039
#define ID_FP_FORWARD 20040
#define ID_FP_BACK 20041
#define ID_FP_ZOOM_IN 20042
#define ID_FP_LOOP 20043
#define ID_FP_ABOUT 20044
#define ID_FP_NO_SCALE 20046

// The "Options" property sheet: its pages and their controls.
#define IDD_OPTIONS_MISC 1010
#define IDD_OPTIONS_BEHAVIOUR 1011
#define IDD_OPTIONS_SIZE 1012
#define IDD_OPTIONS_APPEARANCE 1013
#define IDD_OPTIONS_INTERACTION 1014

#define IDC_USE_HELP 1100
#define IDC_HELP_PATH 1101
#define IDC_MUTE 1102
#define IDC_ABOUT_SPLASH 1103
#define IDC_CUSTOM_BG 1104
#define IDC_BG_SWATCH 1105

#define IDC_ALWAYS_ON_TOP 1110
#define IDC_SHOW_IN_TRAY 1111
#define IDC_START_MINIMIZED 1112
#define IDC_AUTO_PLAY 1113
#define IDC_APP_ICON 1114
#define IDC_CM_CONFIG 1115
#define IDC_CM_PLAYER 1116
#define IDC_CM_HELP 1117
#define IDC_CM_ABOUT 1118
#define IDC_CM_EXTEND 1119

#define IDC_SIZE_MOVIE 1120
#define IDC_SIZE_FULL 1121
#define IDC_SIZE_MAXIMIZED 1122
#define IDC_SIZE_CUSTOM 1123
#define IDC_SIZE_PERCENT 1124
#define IDC_WIDTH 1125
#define IDC_HEIGHT 1126
#define IDC_PERCENT 1127
#define IDC_ALIGN 1128
#define IDC_LEFT 1129
#define IDC_TOP 1130
#define IDC_KEEP_RATIO 1131

#define IDC_SHAPE_RECT 1140
#define IDC_SHAPE_TRANSPARENT 1141
#define IDC_SHAPE_MASK 1142
#define IDC_MASK_NAME 1143
#define IDC_BORDER_NONE 1144
#define IDC_BORDER_SINGLE 1145
#define IDC_BORDER_RESIZABLE 1146
#define IDC_SMALL_CAPTION 1147
#define IDC_HIDE_TASK_BUTTON 1148
#define IDC_ICON_MAX 1149
#define IDC_ICON_MIN 1150
#define IDC_ICON_SYSMENU 1151
#define IDC_ICON_HELP 1152
#define IDC_SCALE_MODE 1153
#define IDC_CAPTION 1154

#define IDC_LEFT_SEND 1160
#define IDC_LEFT_DRAG 1161
#define IDC_LEFT_IGNORE 1162
#define IDC_RIGHT_SEND 1163
#define IDC_RIGHT_MENU 1164
#define IDC_RIGHT_IGNORE 1165
#define IDC_KEYS_SEND 1166
#define IDC_KEYS_IGNORE 1167
#define IDC_DISABLE_WINKEYS 1168
#define IDC_NO_ALT_TAB 1169
#define IDC_HIDE_CURSOR 1170
#define IDC_NO_SCREENSAVER 1171
#define IDC_EXIT_ESC 1172
#define IDC_EXIT_HOTKEY 1173
#define IDC_HOTKEY 1174
