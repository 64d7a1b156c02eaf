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
