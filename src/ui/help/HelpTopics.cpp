#include "HelpTopics.h"

#include "Help.h"

namespace tavisk::ui {

std::string HelpPageForTopic(int nTopic) {
    switch (nTopic) {
        case kHelpTopicMain:        return "main-dialog.html";
        case kHelpTopicScriptEdit:  return "script-editor.html";
        case kHelpTopicSyntaxError: return "syntax-error.html";
        case kHelpTopicDebug:       return "debug-mode.html";
        case kHelpTopicResponseView:
        case kHelpTopicResponseName: return "response-file.html";
        default:                    return kHelpDefaultPage;
    }
}

}  // namespace tavisk::ui
