// Test-data generator for the throughput benchmarks.
//
//   tavisk-benchgen DIR [--big-mb N] [--small-count N] [--small-kb-max N]
//                       [--long-lines N] [--long-mb N] [--seed N]
//
// Writes into DIR (which must exist):
//   big-lf.txt, big-crlf.txt   the same lines (about N MB), ended by LF resp. CR LF
//   small/f0000.txt ...        many small files of 1 to small-kb-max KB, half LF, half CR LF
//   long.txt                   long-lines lines of long-mb MB each, ended by LF
// Lines are made of English-like words, 20 to 120 bytes mostly, with a few
// empty and indented lines; about one line in eight holds "old" (also inside
// words such as "gold" or "folder").  Every file ends with a line end.
// The output depends only on the options and the seed.  On standard output it
// lists each file written: "NAME BYTES LINES LONGEST-LINE" (the small files as
// one entry "small").
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed) {}
    uint64_t Next() {  // splitmix64
        uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>((Next() >> 32) * n >> 32); }
};

constexpr std::string_view kWords[] = {
    "the", "of", "and", "to", "in", "is", "that", "for", "it", "as", "was", "with", "be", "by", "on",
    "not", "he", "this", "are", "or", "his", "from", "at", "which", "but", "have", "an", "had", "they",
    "you", "were", "their", "one", "all", "we", "can", "her", "has", "there", "been", "if", "more",
    "when", "will", "would", "who", "so", "no", "she", "other", "its", "may", "these", "about", "them",
    "any", "time", "into", "only", "some", "could", "new", "than", "first", "then", "two", "also",
    "over", "after", "should", "such", "value", "record", "system", "number", "file", "line", "text",
    "report", "account", "customer", "invoice", "amount", "total", "balance", "address", "status",
    "return", "string", "buffer", "index", "result", "count", "error", "window", "control", "source",
    "output", "input", "header", "section", "program", "version", "update", "format", "column",
    "between", "through", "because", "without", "another", "however", "product", "service", "market",
    "company", "process", "general", "history", "question", "together", "important", "information",
    "government", "development", "2019-04-17", "12:45:07", "#1024", "0x7f3a", "42", "3.14159",
    "(see", "below)", "e.g.", "etc.", "[draft]", "<tag>", "key=value", "C:\\data\\in.txt", "/usr/lib",
};
// Words holding "old", drawn about once in ten lines.
constexpr std::string_view kOldWords[] = {
    "old", "old", "old", "older", "oldest", "bold", "gold", "told", "hold", "holder", "folder",
    "threshold", "household", "scaffold", "cold", "sold", "old-style", "OLD", "Old",
};

class Output {
public:
    explicit Output(const std::string& path) : m_path(path) {
        m_file = std::fopen(path.c_str(), "wb");
        if (!m_file) Die();
        std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
    }
    ~Output() {
        if (m_file && std::fclose(m_file) != 0) Die();
    }
    void Write(std::string_view bytes) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) Die();
    }

private:
    [[noreturn]] void Die() const {
        std::fprintf(stderr, "tavisk-benchgen: %s: %s\n", m_path.c_str(), std::strerror(errno));
        std::exit(1);
    }
    std::string m_path;
    std::FILE* m_file = nullptr;
};

// Appends words (and the odd punctuation) to `out` until it holds `length` bytes.
void AppendWords(Rng& rng, std::string& out, size_t length) {
    const size_t start = out.size();
    while (out.size() - start < length) {
        std::string_view word;
        const uint32_t pick = rng.Below(1000);
        if (pick < 11)
            word = kOldWords[rng.Below(std::size(kOldWords))];
        else
            word = kWords[rng.Below(std::size(kWords))];
        if (out.size() > start) out += (rng.Below(40) == 0 ? ", " : " ");
        out += word;
        if (rng.Below(60) == 0) out += '.';
    }
    out.resize(start + length);
    if (length > 0 && out.back() == ' ') out.back() = '.';
}

// One line of text without its line end.
void MakeLine(Rng& rng, std::string& line) {
    line.clear();
    const uint32_t kind = rng.Below(100);
    if (kind < 3) return;                                    // empty line
    if (kind < 6) {                                          // short line
        AppendWords(rng, line, 1 + rng.Below(19));
        return;
    }
    if (kind < 20) line.append(1 + rng.Below(2), '\t');      // indented
    else if (kind < 30) line.append(4 * (1 + rng.Below(3)), ' ');
    // 20..120 bytes, more of the middle lengths than of the ends.
    const size_t length = 20 + (rng.Below(51) + rng.Below(51));
    AppendWords(rng, line, length - std::min(line.size(), length - 20));
}

struct Stats {
    uint64_t bytes = 0, lines = 0, longest = 0;  // longest: bytes of a line without its line end
    void Add(size_t lineBytes, size_t endBytes) {
        bytes += lineBytes + endBytes;
        ++lines;
        longest = std::max<uint64_t>(longest, lineBytes);
    }
    void Print(const char* name) const {
        std::printf("%s %llu %llu %llu\n", name, static_cast<unsigned long long>(bytes),
                    static_cast<unsigned long long>(lines), static_cast<unsigned long long>(longest));
    }
};

void WriteBig(const std::string& dir, uint64_t bytes, Rng& rng) {
    Stats lfStats, crlfStats;
    Output lf(dir + "/big-lf.txt");
    Output crlf(dir + "/big-crlf.txt");
    std::string line, chunkLf, chunkCrlf;
    uint64_t written = 0;
    while (written < bytes) {
        chunkLf.clear();
        chunkCrlf.clear();
        while (chunkLf.size() < (1u << 20) && written + chunkLf.size() < bytes) {
            MakeLine(rng, line);
            lfStats.Add(line.size(), 1);
            crlfStats.Add(line.size(), 2);
            chunkLf += line;
            chunkLf += '\n';
            chunkCrlf += line;
            chunkCrlf += "\r\n";
        }
        lf.Write(chunkLf);
        crlf.Write(chunkCrlf);
        written += chunkLf.size();
    }
    lfStats.Print("big-lf.txt");
    crlfStats.Print("big-crlf.txt");
}

void WriteSmall(const std::string& dir, unsigned count, unsigned kbMax, Rng& rng) {
    const std::string folder = dir + "/small";
    std::string line, text;
    Stats stats;
    for (unsigned i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%04u.txt", i);
        const size_t size = 1024 + rng.Below(kbMax * 1024 - 1024 + 1);
        const bool crlf = (i % 2) == 1;
        text.clear();
        while (text.size() < size) {
            MakeLine(rng, line);
            stats.Add(line.size(), crlf ? 2 : 1);
            text += line;
            text += crlf ? "\r\n" : "\n";
        }
        Output(folder + name).Write(text);
    }
    stats.Print("small");
}

void WriteLong(const std::string& dir, unsigned lines, uint64_t lineBytes, Rng& rng) {
    Output out(dir + "/long.txt");
    std::string line;
    Stats stats;
    for (unsigned i = 0; i < lines; ++i) {
        line.clear();
        AppendWords(rng, line, lineBytes);
        stats.Add(line.size(), 1);
        line += '\n';
        out.Write(line);
    }
    stats.Print("long.txt");
}

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: tavisk-benchgen DIR [--big-mb N] [--small-count N] [--small-kb-max N]\n"
                 "                       [--long-lines N] [--long-mb N] [--seed N]\n");
    std::exit(64);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) Usage();
    const std::string dir = argv[1];
    double bigMb = 200, longMb = 10;
    unsigned smallCount = 2000, smallKbMax = 8, longLines = 10;
    uint64_t seed = 20240601;
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc) Usage();
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--big-mb") bigMb = std::atof(value);
        else if (option == "--small-count") smallCount = static_cast<unsigned>(std::atoi(value));
        else if (option == "--small-kb-max") smallKbMax = static_cast<unsigned>(std::max(1, std::atoi(value)));
        else if (option == "--long-lines") longLines = static_cast<unsigned>(std::atoi(value));
        else if (option == "--long-mb") longMb = std::atof(value);
        else if (option == "--seed") seed = std::strtoull(value, nullptr, 10);
        else Usage();
    }
    Rng rng(seed);
    WriteBig(dir, static_cast<uint64_t>(bigMb * 1e6), rng);
    WriteSmall(dir, smallCount, smallKbMax, rng);
    WriteLong(dir, longLines, static_cast<uint64_t>(longMb * 1e6), rng);
    return 0;
}
