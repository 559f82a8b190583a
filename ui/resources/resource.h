#pragma once
// Resource and control ids of Veltrox.dll's dialogs, icons and version.
// Shared by the resource script and the dialog procedures.


// ---- application icon, conversion, option and about dialogs ----
#define IDI_VELTROX                 101

#define IDD_ABOUT                   100
#define IDD_CONVERT                 102
#define IDD_LZH_OPTIONS             103
#define IDD_LEVEL_OPTIONS           178
#define IDD_CAB_OPTIONS             1058
#define IDD_7Z_OPTIONS              1082

// Conversion dialog 102
#define IDC_CONV_ABOUT              1000
#define IDC_CONV_BROWSE             1001
#define IDC_CONV_LZH                1002
#define IDC_CONV_ZIP                1003
#define IDC_CONV_CAB                1004
#define IDC_CONV_TAR                1005
#define IDC_CONV_TARGZ              1006
#define IDC_CONV_TARBZ2             1007
#define IDC_CONV_BZA                1008
#define IDC_CONV_GZA                1009
#define IDC_CONV_SFX                1010
#define IDC_CONV_DEST               1011
#define IDC_CONV_SETTINGS           1020
#define IDC_CONV_SAME_PLACE         1022
#define IDC_CONV_AFTER_DEL          1023
#define IDC_CONV_GCA                1024
#define IDC_CONV_YZ1                1025
#define IDC_CONV_SAVE_TYPE          1026
#define IDC_CONV_NO_SAME_ASK        1028
#define IDC_CONV_SAME_TIME          1045
#define IDC_CONV_7Z                 1046
#define IDC_CONV_SKIP_SFX           1048
#define IDC_CONV_USE_7ZIP           1049
#define IDC_CONV_SORT               1050

// LZH dialog 103: method and self-extractor radios (their ids are the stored values)
#define IDC_LZH_LH0                 1012
#define IDC_LZH_LH5                 1013
#define IDC_LZH_LH6                 1014
#define IDC_LZH_LH7                 1015
#define IDC_LZH_DOSSFX              1016
#define IDC_LZH_WINSFX              1017
#define IDC_LZH_WINSFXM             1018
#define IDC_LZH_WINSFX32            1019
#define IDC_LZH_UNUSED              1020
#define IDC_LZH_WINSFX32M           1021

// Level dialog 178 and CAB dialog 1058
#define IDC_LEVEL_SLIDER            1096
#define IDC_LEVEL_LOW               1101
#define IDC_LEVEL_HIGH              1102
#define IDC_LEVEL_7ZIP_NOTICE       1047
#define IDC_CAB_MSZIP               1103
#define IDC_CAB_LZX                 1104
#define IDC_CAB_SPEED               1105
#define IDC_CAB_RATIO               1106
#define IDC_CAB_LOW                 1107
#define IDC_CAB_HIGH                1108

// 7z dialog 1082
#define IDC_7Z_SOLID                1566
#define IDC_7Z_HEADER               1578
#define IDC_7Z_LEVEL                1579
#define IDC_7Z_SFX_CONSOLE          1583
#define IDC_7Z_SFX_WINDOWS          1584
#define IDC_7Z_SFX_UPX              1585

// About dialog 100
#define IDC_ABOUT_README            1024
#define IDC_ABOUT_VERSION           1033
#define IDC_ABOUT_FIRST_LINE        1034
#define IDC_ABOUT_LAST_LINE         1047
// ---- end of application icon, conversion, option and about dialogs ----

// ---- folder question dialog 104 ----
#define IDD_FOLDER_QUESTION         104
#define IDC_FOLDER_SUBFOLDERS       1031
// ---- end of folder question dialog 104 ----

// ---- ACE progress dialog 1061 and password dialog 214 ----
#define IDD_ACE_PROGRESS            1061
#define IDC_ACE_PROGRESS_BAR        1140
#define IDC_ACE_PROGRESS_TEXT       1144
#define IDD_ACE_PASSWORD            214
#define IDC_ACE_PASSWORD_PROMPT     1161
#define IDC_ACE_PASSWORD_EDIT       1006
#define IDI_ACE_PASSWORD            286
// ---- end of ACE progress dialog 1061 and password dialog 214 ----
