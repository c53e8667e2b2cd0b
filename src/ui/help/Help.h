#pragma once
// Help requests from the dialogs' help buttons.  The help file lies next to
// the program (or in its data folder when installed) and is named after it.
namespace tavisk::ui {

// Topics are the dialogs' template numbers.
inline constexpr int kHelpTopicMain = 102;
inline constexpr int kHelpTopicScriptEdit = 129;
inline constexpr int kHelpTopicSyntaxError = 131;
inline constexpr int kHelpTopicDebug = 130;
inline constexpr int kHelpTopicResponseView = 132;
inline constexpr int kHelpTopicResponseName = 133;

// Opens the help window at `topic`; shows nothing and says nothing when the
// help file or viewer cannot be had.
void ShowHelpTopic(int topic);
// Opens the help window at the help file's default topic.
void ShowHelpContents();

}  // namespace tavisk::ui
