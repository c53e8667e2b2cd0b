// The per-file interpreter loop: parse a command, execute it, until the
// script ends, a command finishes the file, or something fails.
#include "EditEngine.h"

namespace tavisk {

void EditEngine::RunScriptOnFile() {
    m_nCurLine = 0;
    m_nEditPos = 0;
    m_parser.Reset();
    m_parser.m_strCommandText.clear();
    m_strOutLine.clear();
    ChooseMadeLineEnd();

    CScriptCommand cmd;
    int result = EXEC_CONTINUE;
    while (result < EXEC_FILE_DONE && !StopRequested()) {
        result = m_parser.ParseNextCommand(cmd);
        if (result < PARSE_ERROR) result = ExecuteCommand(cmd);
    }
    CloseFiles();
}

}  // namespace tavisk
