#include "LineEndHint.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>
#include <vector>

namespace tavisk::cli {

namespace {

// A look at the start of the first few sources is enough to tell.
constexpr int kSourcesLookedAt = 8;
constexpr size_t kBytesLookedAt = size_t{1} << 16;

bool StartsWithLfOnlyLines(const std::string& path, std::vector<char>& buffer) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not wait
    if (fd < 0) return false;
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    close(fd);
    if (got <= 0) return false;
    const std::string_view text(buffer.data(), static_cast<size_t>(got));
    return text.find('\n') != std::string_view::npos && text.find("\r\n") == std::string_view::npos;
}

}  // namespace

void HintAtKeepingLineEnds(const BatchRun& batch, bool dryRun) {
    std::vector<char> buffer(kBytesLookedAt);
    int looked = 0;
    for (size_t i = 0; i < batch.m_arrFileOutcomes.size() && looked < kSourcesLookedAt; ++i) {
        const FileOutcome& outcome = batch.m_arrFileOutcomes[i];
        const bool previewed = dryRun && outcome.bOpened && outcome.nErrors == 0;
        const int index = static_cast<int>(i);
        if (!(outcome.bWritten || previewed) || index == batch.m_nStandardInputSource) continue;
        ++looked;
        if (StartsWithLfOnlyLines(batch.SourcePath(index), buffer)) {
            std::fputs("tavisk-cli: the output lines end in CR LF where the sources had LF; "
                       "--line-ends keep keeps them as they were\n", stderr);
            return;
        }
    }
}

}  // namespace tavisk::cli
