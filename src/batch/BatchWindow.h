#pragma once
// The window operations a batch run needs.  The program implements them on
// its main dialog (each a blocking call into the window thread), the CLI on
// its standard streams, the tests with a fake.
#include <cstdint>
#include <string>

#include "../engine/DebugOutputSink.h"
#include "../engine/FileError.h"

namespace tavisk {

class BatchWindow : public FileErrorReport, public DebugOutputSink {
public:
    virtual void EnableStart(bool enable) = 0;
    virtual bool IsDebugChecked() = 0;
    virtual bool IsSaveResponseChecked() = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int position) = 0;
    // How far the current file has been read, in bytes; a window that shows
    // progress by files only ignores it.
    virtual void SetFileProgress(uint64_t /*bytesRead*/, uint64_t /*fileSize*/) {}
    virtual void ShowDebugWindow(bool show) = 0;
    virtual void ClearDebugText() = 0;
    // One error message box; `text` holds one or more lines, each ending in "\r\n".
    virtual void ShowErrorMessage(const std::string& text) = 0;
};

}  // namespace tavisk
