#pragma once
// A list of names as -T reads it: names end at LF (or, with -0, at NUL); the
// list comes in pieces as it is read, and a name may span two pieces.  Empty
// names are skipped.  In an LF list a NUL cannot be part of a name (no file
// has one), so such an entry is handed over as an error, never cut short.
#include <string>
#include <string_view>

namespace tavisk::cli {

enum class ListEntry { Name, HoldsNul };

class NameListReader {
public:
    explicit NameListReader(bool nullSeparated) : m_separator(nullSeparated ? '\0' : '\n') {}

    // Hands every name that ends within `bytes` to `sink(name, ListEntry)`.
    template <typename Sink>
    void Feed(std::string_view bytes, Sink&& sink) {
        for (size_t end; (end = bytes.find(m_separator)) != std::string_view::npos; bytes.remove_prefix(end + 1)) {
            if (m_partial.empty()) {
                Hand(bytes.substr(0, end), sink);
            } else {
                m_partial.append(bytes.substr(0, end));
                Hand(m_partial, sink);
                m_partial.clear();
            }
        }
        m_partial.append(bytes);
    }
    // The list has ended: a last name without its separator still counts.
    template <typename Sink>
    void Finish(Sink&& sink) {
        Hand(m_partial, sink);
        m_partial.clear();
    }

private:
    template <typename Sink>
    void Hand(std::string_view name, Sink& sink) {
        if (name.empty()) return;
        const bool holdsNul = m_separator != '\0' && name.find('\0') != std::string_view::npos;
        sink(name, holdsNul ? ListEntry::HoldsNul : ListEntry::Name);
    }

    char m_separator;
    std::string m_partial;  // a name split across two pieces
};

}  // namespace tavisk::cli
