#include "OutputSinks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "OutputFolders.h"

namespace tavisk {

namespace {

// The outputs of a dry run nobody looks at.
class DiscardedOutput final : public OutputCapture {
public:
    bool Take(std::string_view) override { return true; }
};

DiscardedOutput g_discardedOutput;

}  // namespace

bool WrittenOutputs::Begin(EditEngine& engine, int i, std::vector<std::string>* madeFolders) const {
    OutputOptions options;
    options.mustDiffer = engine.m_fileSource.Identity();  // a last guard: the start checks refused it already
    options.permissions = engine.m_fileSource.Permissions();
    // A name that was absent at the start holds nothing a new file could harm.
    const auto index = static_cast<size_t>(i);
    options.nameWasAbsent = index < m_outputPresent.size() && !m_outputPresent[index];
    FileError error;
    if (!m_dest)
        error = FileError{m_place.OutputPath(i), DescribeErrno(m_nDestError)};
    else
        options.folder = OpenOutputFolder(m_dest, m_place.destFolder, m_place.sources.Element(i), error, madeFolders);
    if (options.folder && engine.m_fileOutput.Create(m_place.OutputPath(i), error, options)) return true;
    if (!engine.m_fileOutput.Stopped()) engine.ReportFileError(error);  // a stop is no error
    return false;
}

void WrittenOutputs::End(EditEngine& engine, bool keep, FileResult& file) const {
    if (keep)
        engine.FinishFiles(*file.output);
    else
        engine.DiscardFiles();
}

bool WrittenOutputs::Take(FileResult& file, EditEngine& reporter) const {
    if (!file.output->IsOpen()) return false;  // dropped, or its last write failed (reported)
    FileError error;
    if (file.output->Commit(error)) return true;
    reporter.ReportFileError(error);
    return false;
}

bool PreviewOutputs::Begin(EditEngine& engine, int i, std::vector<std::string>*) const {
    FileError error;
    if (!CheckOutputCreatable(i, error)) {
        engine.ReportFileError(error);
        return false;
    }
    const std::string outputPath = m_place.OutputPath(i);
    OutputCapture* capture = m_pPreview ? m_pPreview->BeginFile(m_place.sources.Path(i), outputPath) : &g_discardedOutput;
    engine.m_fileOutput.CreateCaptured(outputPath, capture);
    return true;
}

void PreviewOutputs::End(EditEngine& engine, bool keep, FileResult&) const {
    if (keep)
        engine.CloseFiles();  // the last bytes go to the capture
    else
        engine.DiscardFiles();
    if (m_pPreview) m_pPreview->EndFile(keep);
}

bool PreviewOutputs::CheckOutputCreatable(int i, FileError& error) const {
    const std::string path = m_place.OutputPath(i);
    error = FileError{path, {}};
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error.m_strCause = DescribeErrno(EISDIR);
            return false;
        }
        if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return true;  // written directly, not beside
    }
    // The output is made as a new file in its folder; a folder below the
    // destination that is missing would be made in the nearest one there is.
    // A real run reports the first folder it cannot make, or else the output.
    std::string folder = path;
    std::string toMake;
    for (;;) {
        const size_t slash = folder.rfind('/');
        folder = slash == 0 ? "/" : slash == std::string::npos ? "." : folder.substr(0, slash);
        if (access(folder.c_str(), W_OK | X_OK) == 0) return true;
        if (errno != ENOENT || (folder.size() <= m_place.destFolder.size() && !m_bDestMadeFirst)) break;
        toMake = folder;
    }
    error.m_strCause = DescribeErrno(errno);
    if (!toMake.empty()) error.m_strPath = toMake;
    return false;
}

bool DebugOutputs::Begin(EditEngine&, int, std::vector<std::string>*) const {
    m_window.ShowDebugWindow(true);
    m_window.ClearDebugText();
    return true;
}

void DebugOutputs::End(EditEngine& engine, bool keep, FileResult&) const {
    if (keep)
        engine.CloseFiles();
    else
        engine.DiscardFiles();
}

}  // namespace tavisk
