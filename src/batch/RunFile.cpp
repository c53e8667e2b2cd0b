#include "RunFile.h"

#include "../engine/WideText.h"

namespace tavisk {

namespace {

// A source in UTF-16 or UTF-32 is reported and left alone; true when it is one.
bool RefuseWideText(EditEngine& engine) {
    const char* encoding = WideEncodingName(engine.m_fileSource.Peek(4));
    if (!encoding) return false;
    engine.ReportFileError(FileError{engine.m_fileSource.Path(), std::string(encoding) + " text cannot be edited"});
    engine.m_fileSource.Close();
    return true;
}

}  // namespace

bool OpenSource(EditEngine& engine, const BatchSources& sources, int i) {
    engine.m_nLastLineRead = -1;
    FileError error;
    if (sources.IsStandardInput(i)) {
        if (engine.m_fileSource.OpenStandardInput(error)) return true;
    } else if (engine.m_fileSource.Open(sources.Path(i), ShareMode::Exclusive, error)) {
        return true;
    }
    engine.ReportFileError(error);
    return false;
}

FileResult RunFile(EditEngine& engine, ResponseLog& log, const BatchSources& sources, const OutputSink& sink, int i,
                   FileStepStart* stepStart) {
    FileResult file;
    log.AddLine(std::string(sources.Name(i)));
    const int64_t fileErrorsBefore = engine.FileErrorCount();
    file.bOpened = OpenSource(engine, sources, i);
    file.bWideText = file.bOpened && RefuseWideText(engine);
    if (file.bOpened && !file.bWideText) file.bOutputOpened = sink.Begin(engine, i, &file.madeFolders);
    if (stepStart && (file.bWideText || file.bOutputOpened)) stepStart->FileStepStarts(i);
    if (file.bOutputOpened) {
        file.run = engine.RunScriptOnFile();
        file.nReplacements = engine.m_nReplacements;
        sink.End(engine, file.run == FileRun::Finished && engine.FileErrorCount() == fileErrorsBefore, file);
    }
    engine.DiscardFiles();  // whatever a failed step left open
    file.bStopRequested = engine.StopRequested();
    return file;
}

}  // namespace tavisk
