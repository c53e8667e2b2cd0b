#pragma once
// A dry run's outputs shown as unified diffs against their sources.  Texts
// within kSizeLimit bytes and kLineLimit lines are diffed; a larger source or
// output is compared as a stream and reported in one line with the line
// counts, so memory stays bounded.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "OutputPreview.h"

namespace tavisk {

class DiffPreview final : public OutputPreview, private OutputCapture {
public:
    static constexpr size_t kSizeLimit = size_t{32} << 20;  // bytes of a source or an output
    static constexpr size_t kLineLimit = size_t{1} << 20;   // lines of a source or an output

    // `print` takes the diff text of each file as it is ready.
    explicit DiffPreview(std::function<void(std::string_view)> print, size_t sizeLimit = kSizeLimit,
                         size_t lineLimit = kLineLimit)
        : m_print(std::move(print)), m_nSizeLimit(sizeLimit), m_nLineLimit(lineLimit) {}
    ~DiffPreview() override;

    OutputCapture* BeginFile(const std::string& sourcePath, const std::string& outputPath) override;
    void EndFile(bool complete) override;

private:
    bool Take(std::string_view bytes) override;
    // From here on the output is only compared with the source, not kept.
    void StopKeeping();
    void CompareWithSource(std::string_view bytes, uint64_t offset);
    void ShowFile();
    void ReportLargeFile();
    void CloseSource();

    std::function<void(std::string_view)> m_print;
    size_t m_nSizeLimit;
    size_t m_nLineLimit;
    std::string m_strSourcePath;
    std::string m_strOutputPath;
    std::string m_output;       // the output while it is within the limit
    bool m_bKeeping = true;     // m_output holds all of the output
    uint64_t m_nOutputBytes = 0;
    uint64_t m_nOutputLines = 0;  // LFs, and a last line without one
    bool m_bOutputEndsInLineFeed = true;
    int m_nSourceFd = -1;       // read alongside a large output
    bool m_bSameSoFar = true;
    std::string m_buffer;       // source bytes being compared
};

}  // namespace tavisk
