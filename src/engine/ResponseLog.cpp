#include "ResponseLog.h"

namespace tavisk {

std::string FormatMessage(std::string_view format, std::string_view commandText, int64_t count) {
    std::string message;
    message.reserve(format.size() + commandText.size());
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                message.append(commandText);
                ++i;
                continue;
            }
            if (format[i + 1] == 'i') {
                message.append(std::to_string(count));
                ++i;
                continue;
            }
        }
        message.push_back(format[i]);
    }
    return message;
}

}  // namespace tavisk
