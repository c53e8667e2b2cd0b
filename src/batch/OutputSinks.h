#pragma once
// Where the outputs of a run go.  A real run writes each output beside its
// final name and puts it in place in source order; a dry run hands it to the
// preview (the text or the diff) and writes nothing; a debug run shows it in
// the debug window.  The batch loop is the same for all three.
#include <memory>
#include <string>
#include <vector>

#include "../engine/EditEngine.h"
#include "../engine/FolderHandle.h"
#include "BatchSources.h"
#include "BatchWindow.h"
#include "FileResult.h"
#include "OutputPreview.h"

namespace tavisk {

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // Whether files may run on several engines at once; outputs that are
    // shown go one after another.
    virtual bool AllowsJobs() const = 0;
    // Begins the output of source `i` on `engine` (any thread); false when it
    // cannot be, reported on the engine.
    virtual bool Begin(EditEngine& engine, int i, std::vector<std::string>* madeFolders) const = 0;
    // The script's run on the file is over: a kept output is readied, any
    // other one dropped so that its name keeps what it held (any thread).
    virtual void End(EditEngine& engine, bool keep, FileResult& file) const = 0;
    // On the loop's thread, in source order: puts the file's output in place;
    // true when it was written whole.  A failure is reported on `reporter`.
    virtual bool Take(FileResult& file, EditEngine& reporter) const = 0;
};

// What the outputs of a run are made from.
struct OutputPlace {
    const BatchSources& sources;
    const std::string& destFolder;
    std::string OutputPath(int i) const { return destFolder + sources.Element(i); }
};

// A real run: each output is a new file that the loop puts in place.
class WrittenOutputs final : public OutputSink {
public:
    // `dest`: the destination, opened for the run (null, with `destError`,
    // when it could not be); every output is reached from it without
    // following a link.  `outputPresent`: per source, whether its output
    // name existed at the start checks.
    WrittenOutputs(OutputPlace place, const SharedFolder& dest, int destError, const std::vector<bool>& outputPresent)
        : m_place(place), m_dest(dest), m_nDestError(destError), m_outputPresent(outputPresent) {}
    bool AllowsJobs() const override { return true; }
    bool Begin(EditEngine& engine, int i, std::vector<std::string>* madeFolders) const override;
    void End(EditEngine& engine, bool keep, FileResult& file) const override;
    bool Take(FileResult& file, EditEngine& reporter) const override;

private:
    OutputPlace m_place;
    const SharedFolder& m_dest;
    int m_nDestError;
    const std::vector<bool>& m_outputPresent;
};

// A dry run: each output goes to the preview, if any, after the checks a
// real run's creation would meet.
class PreviewOutputs final : public OutputSink {
public:
    // `destMadeFirst`: a real run makes the destination and its missing
    // parents first, so a missing one counts as made.
    PreviewOutputs(OutputPlace place, OutputPreview* preview, bool destMadeFirst)
        : m_place(place), m_pPreview(preview), m_bDestMadeFirst(destMadeFirst) {}
    bool AllowsJobs() const override { return false; }
    bool Begin(EditEngine& engine, int i, std::vector<std::string>* madeFolders) const override;
    void End(EditEngine& engine, bool keep, FileResult& file) const override;
    bool Take(FileResult&, EditEngine&) const override { return false; }

private:
    // What creating output `i` would meet, found without creating anything.
    bool CheckOutputCreatable(int i, FileError& error) const;

    OutputPlace m_place;
    OutputPreview* m_pPreview;
    bool m_bDestMadeFirst;
};

// A debug run: the output is the debug window's text.
class DebugOutputs final : public OutputSink {
public:
    explicit DebugOutputs(BatchWindow& window) : m_window(window) {}
    bool AllowsJobs() const override { return false; }
    bool Begin(EditEngine& engine, int i, std::vector<std::string>* madeFolders) const override;
    void End(EditEngine& engine, bool keep, FileResult& file) const override;
    bool Take(FileResult&, EditEngine&) const override { return false; }

private:
    BatchWindow& m_window;
};

}  // namespace tavisk
