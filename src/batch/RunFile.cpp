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

bool OpenSource(EditEngine& engine, const BatchSources& sources, SourceOpener* opener, int i) {
    engine.m_nLastLineRead = -1;
    FileError error;
    if (opener) {
        if (opener->Open(sources.Path(i), engine.m_fileSource, error)) return true;
    } else if (sources.IsStandardInput(i)) {
        if (engine.m_fileSource.OpenStandardInput(error)) return true;
    } else if (sources.IsInTree(i)) {
        if (engine.m_fileSource.OpenBeneath(sources.Folder(i), std::string(sources.Name(i)), ShareMode::Exclusive, error))
            return true;
    } else if (engine.m_fileSource.Open(sources.Path(i), ShareMode::Exclusive, error)) {
        return true;
    }
    engine.ReportFileError(error);
    return false;
}

FileResult RunFile(EditEngine& engine, ResponseLog& log, const FileStepPlaces& places, int i,
                   FileStepStart* stepStart) {
    const BatchSources& sources = places.sources;
    const OutputSink& sink = places.sink;
    FileResult file;
    log.AddLine(std::string(sources.Name(i)));
    const int64_t fileErrorsBefore = engine.FileErrorCount();
    file.bOpened = OpenSource(engine, sources, places.opener, i);
    file.bWideText = file.bOpened && RefuseWideText(engine);
    if (file.bOpened && !file.bWideText) file.bOutputOpened = sink.Begin(engine, i, &file.madeFolders);
    if (stepStart && (file.bWideText || file.bOutputOpened)) stepStart->FileStepStarts(i);
    if (file.bOutputOpened) {
        file.run = engine.RunScriptOnFile();
        file.nReplacements = engine.m_nReplacements;
        sink.End(engine, file.run == FileRun::Finished && engine.FileErrorCount() == fileErrorsBefore, file);
    }
    // Its output's open or last write, ended by the stop while it waited on a FIFO: the file stopped.
    if (file.bOpened && !file.bWideText && !engine.m_bDebug && engine.m_fileOutput.Stopped()) file.run = FileRun::Stopped;
    engine.DiscardFiles();  // whatever a failed step left open
    file.bStopRequested = engine.StopRequested();
    return file;
}

}  // namespace tavisk
