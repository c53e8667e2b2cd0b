#include "HelpTopics.h"

#include "Help.h"

namespace tavisk::ui {

std::string HelpPageForTopic(int nTopic) {
    switch (nTopic) {
        case kHelpTopicMain:        return "main-dialog.html";
        case kHelpTopicScriptEdit:  return "script-editor.html";
        case kHelpTopicSyntaxError: return "syntax-error.html";
        default:                    return kHelpDefaultPage;
    }
}

}  // namespace tavisk::ui
