#include "HelpFile.h"

namespace tavisk::ui {

namespace {

constexpr const char* kHelpExtension = ".rcc";
constexpr const char* kDataFolder = "../share/tavisk/";

// Index just past the last "/" (0 when the path has none).
std::string::size_type FileNameStart(const std::string& strPath) {
    const auto nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? 0 : nSlash + 1;
}

}  // namespace

std::string HelpFileNameFor(const std::string& strProgramPath) {
    const auto nNameStart = FileNameStart(strProgramPath);
    // Only a dot inside the file name starts an extension: a dot in a folder
    // name must not cut the path short.  A leading dot names a hidden file.
    const auto nDot = strProgramPath.rfind('.');
    const bool bHasExtension = nDot != std::string::npos && nDot > nNameStart;
    const std::string strStem = bHasExtension ? strProgramPath.substr(0, nDot) : strProgramPath;
    return strStem + kHelpExtension;
}

std::vector<std::string> HelpFileCandidates(const std::string& strProgramPath) {
    const std::string strBesideProgram = HelpFileNameFor(strProgramPath);
    const auto nNameStart = FileNameStart(strBesideProgram);
    const std::string strFolder = strBesideProgram.substr(0, nNameStart);
    const std::string strName = strBesideProgram.substr(nNameStart);
    return {strBesideProgram, strFolder + kDataFolder + strName};
}

}  // namespace tavisk::ui
