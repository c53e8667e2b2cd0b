// The per-file interpreter loop: parse a command, execute it, until the
// script ends, a command finishes the file, or something fails.
#include "EditEngine.h"

namespace tavisk {

FileRun EditEngine::RunScriptOnFile() {
    m_nCurLine = 0;
    m_nEditPos = 0;
    m_parser.Reset();
    m_parser.m_strCommandText.clear();
    m_strOutLine.clear();

    CScriptCommand cmd;
    int result = EXEC_CONTINUE;
    bool stopped = false;
    while (result < EXEC_FILE_DONE) {
        if (StopRequested()) {
            stopped = true;
            break;
        }
        result = m_parser.ParseNextCommand(cmd);
        if (result < PARSE_ERROR) result = ExecuteCommand(cmd);
    }
    m_fileSource.Close();
    return stopped || result == EXEC_STOPPED ? FileRun::Stopped : FileRun::Finished;
}

}  // namespace tavisk
