// Resource ids of the settings window (settings_window.rc). Dialogs sit at
// 310..319, controls at 1300..1399; the preview frame's child number 890 and its
// paper-size menus 650..657 with commands 1191..1198 are fixed numbers.
#pragma once

// Paper-size menus of the preview frame, one per interface language
// (650 + LanguageId - 1210); entry k (1..8) has command 1190 + k.
#define IDM_PAPER_SIZE_FIRST        650
#define IDM_PAPER_LETTER            1191
#define IDM_PAPER_LEGAL             1192
#define IDM_PAPER_A4                1193
#define IDM_PAPER_A5                1194
#define IDM_PAPER_B5                1195
#define IDM_PAPER_BUSINESS_CARD     1196
#define IDM_PAPER_PHOTO             1197
#define IDM_PAPER_LARGE_PHOTO       1198

// Pages of the settings window
#define IDD_CUSTOM_PAGE             310
#define IDD_INFO_PAGE               311
#define IDD_LANGUAGE_PAGE           312
#define IDD_CALIBRATION             313

// Custom Setting page
#define IDC_PREVIEW_FRAME           890
#define IDC_RESOLUTION_LABEL        1301
#define IDC_RESOLUTION_LIST         1302
#define IDC_INVERT                  1303
#define IDC_BLACK_WHITE             1304
#define IDC_GRAY                    1305
#define IDC_HALFTONE                1306
#define IDC_COLOR                   1307
#define IDC_BRIGHTNESS_LABEL        1308
#define IDC_BRIGHTNESS_SLIDER       1309
#define IDC_BRIGHTNESS_VALUE        1310
#define IDC_CONTRAST_LABEL          1311
#define IDC_CONTRAST_SLIDER         1312
#define IDC_CONTRAST_VALUE          1313
#define IDC_IMAGE_SIZE              1314
#define IDC_DISK_SPACE              1315
#define IDC_RESET                   1316
#define IDC_CALIBRATE               1317
#define IDC_SCAN                    1318
#define IDC_PAGE_CANCEL             1319
#define IDC_STATUS_LINE             1320
#define IDC_FILTER_LIST             1321

// Information page
#define IDC_MODEL_LABEL             1330
#define IDC_MODEL_VALUE             1331
#define IDC_VERSION_LABEL           1332
#define IDC_VERSION_VALUE           1333
#define IDC_ABOUT_TEXT              1334

// Language page: one picture per language in flag order, then the map
#define IDC_FLAG_FIRST              1340
#define IDC_FLAG_LAST               1347
#define IDC_WORLD_MAP               1348

// Calibration dialog
#define IDC_CALIBRATION_ICON        1360
#define IDC_CALIBRATION_INTRO       1361
#define IDC_CALIB                   1362
#define IDC_CALIBRATION_HINT        1363
#define IDC_CLEAN                   1364
#define IDC_CLEANING_HINT           1365
