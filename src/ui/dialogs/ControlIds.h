#pragma once
// Ids of the dialogs' controls (also their object names).
namespace tavisk::ui {

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int ID_HELP = 57670;

// Main dialog.
inline constexpr int IDC_SOURCE_NAME = 1000;
inline constexpr int IDC_BROWSE_SOURCES = 1001;
inline constexpr int IDC_DEST_FOLDER_BUTTON = 1002;
inline constexpr int IDC_SCRIPT_PATH = 1003;
inline constexpr int IDC_DEST_FOLDER = 1005;
inline constexpr int IDC_FILE_COUNT = 1006;
inline constexpr int IDC_LOCATE_SCRIPT = 1007;
inline constexpr int IDC_NEW_SCRIPT = 1008;
inline constexpr int IDC_EDIT_SCRIPT = 1009;
inline constexpr int IDC_START = 1010;
inline constexpr int IDC_SAVE_SCRIPT = 1011;
inline constexpr int IDC_PROGRESS = 1012;
inline constexpr int IDC_REMEMBER = 1015;
inline constexpr int IDC_DEBUG = 1016;
inline constexpr int IDC_STATUS = 1022;
inline constexpr int IDC_VIEW_RESPONSE = 1023;
inline constexpr int IDC_SAVE_RESPONSE = 1025;
inline constexpr int IDC_RESPONSE_FILE_NAME = 1026;
inline constexpr int IDC_LINE_ENDS = 1030;
inline constexpr int IDC_LINE_ENDS_LABEL = 1031;

// Script editor, Debug Window, syntax error, response dialogs.
inline constexpr int IDC_SCRIPT_EDIT = 1013;
inline constexpr int IDC_DEBUG_TEXT = 1017;
inline constexpr int IDC_SYNTAX_MESSAGE = 1018;
inline constexpr int IDC_SYNTAX_LINE = 1019;
inline constexpr int IDC_SYNTAX_PROCESSED = 1020;
inline constexpr int IDC_SYNTAX_LINE_NO = 1021;
inline constexpr int IDC_RESPONSE_LIST = 1024;
inline constexpr int IDC_RESPONSE_NAME = 1027;

// The script editor's preview.
inline constexpr int IDC_PREVIEW = 1040;
inline constexpr int IDC_PREVIEW_SOURCE = 1041;
inline constexpr int IDC_PREVIEW_DIFF = 1042;
inline constexpr int IDC_PREVIEW_TEXT = 1043;
inline constexpr int IDC_PREVIEW_MESSAGES = 1044;

}  // namespace tavisk::ui
