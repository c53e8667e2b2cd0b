// Any bytes as a -T list, LF- or NUL-separated (the first byte chooses, and
// how the list is cut into reads), fed to the list reader in pieces as a
// read loop would feed it.  The names must be exactly those of the whole
// list split at once: none lost, none cut in two at a read boundary, none
// empty, and no LF-list name with a NUL inside handed over as a name.
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "cli/NameList.h"

namespace {

using namespace tavisk::cli;

struct Entry {
    std::string name;
    ListEntry kind;
    bool operator==(const Entry&) const = default;
};

// The plain reading of a whole list.
std::vector<Entry> SplitWhole(std::string_view list, char separator) {
    std::vector<Entry> entries;
    size_t start = 0;
    for (size_t i = 0; i <= list.size(); ++i) {
        if (i < list.size() && list[i] != separator) continue;
        const std::string_view name = list.substr(start, i - start);
        start = i + 1;
        if (name.empty()) continue;
        bool holdsNul = false;
        for (char c : name) holdsNul = holdsNul || (separator == '\n' && c == '\0');
        entries.push_back({std::string(name), holdsNul ? ListEntry::HoldsNul : ListEntry::Name});
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool nullSeparated = data[0] & 1;
    const size_t pieceSize = 1 + (data[0] >> 1);  // 1 to 128 bytes a read
    const std::string_view list(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<Entry> read;
    const auto take = [&](std::string_view name, ListEntry kind) { read.push_back({std::string(name), kind}); };
    NameListReader reader(nullSeparated);
    for (size_t at = 0; at < list.size(); at += pieceSize) reader.Feed(list.substr(at, pieceSize), take);
    reader.Finish(take);

    FUZZ_CHECK(read == SplitWhole(list, nullSeparated ? '\0' : '\n'));
    for (const Entry& entry : read) {
        FUZZ_CHECK(!entry.name.empty());
        FUZZ_CHECK((entry.kind == ListEntry::Name) == (nullSeparated || entry.name.find('\0') == std::string::npos));
    }
    return 0;
}
