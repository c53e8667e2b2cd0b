#pragma once
// Which help page answers which help request.  Pages are paths inside the
// help file; the dialogs' topics are their template numbers (see Help.h).
#include <string>

namespace tavisk::ui {

// The folder of the pages inside the registered help file.
inline constexpr const char* kHelpRoot = ":/help/";
// The contents page, shown for a request without a topic.
inline constexpr const char* kHelpDefaultPage = "index.html";

// The page for `nTopic`; the contents page for a topic no page belongs to.
std::string HelpPageForTopic(int nTopic);

}  // namespace tavisk::ui
