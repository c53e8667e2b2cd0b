// The per-file interpreter loop: parse a command, execute it, until the
// script ends, a command finishes the file, or something fails.
#include "EditEngine.h"

namespace tavisk {

// The loop keeps parse and execute results in one variable: "go on", "this
// file is done" and "stop" must have the same values in both.
static_assert(static_cast<int>(PARSE_COMMAND) == static_cast<int>(EXEC_CONTINUE) &&
              static_cast<int>(PARSE_END) == static_cast<int>(EXEC_FILE_DONE) &&
              static_cast<int>(PARSE_ERROR) == static_cast<int>(EXEC_WRITE_FAILED));

FileRun EditEngine::RunScriptOnFile() {
    m_nCurLine = 0;
    m_nEditPos = 0;
    m_nReplacements = 0;
    m_parser.Reset();
    m_parser.m_strCommandText.clear();
    m_strOutLine.clear();
    ChooseMadeLineEnd();

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
    // A write the stop ended fails the command: the file stopped.
    const bool writeStopped = result == EXEC_WRITE_FAILED && m_fileOutput.Stopped();
    return stopped || result == EXEC_STOPPED || writeStopped ? FileRun::Stopped : FileRun::Finished;
}

}  // namespace tavisk
