#include "JsonLines.h"

#include <cstdio>

namespace tavisk::cli {

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, or 0 when its first
// byte does not begin one (overlong forms and surrogates are not valid).
size_t ValidSequenceLength(std::string_view s) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

void AppendEscape(std::string& out, unsigned value) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

void AppendField(std::string& out, const char* name, std::string_view value) {
    out += ",\"";
    out += name;
    out += "\":";
    AppendJsonString(out, value);
}

void AppendField(std::string& out, const char* name, long long value) {
    out += ",\"";
    out += name;
    out += "\":";
    out += std::to_string(value);
}

void AppendBool(std::string& out, const char* name, bool value) {
    out += ",\"";
    out += name;
    out += value ? "\":true" : "\":false";
}

void Emit(FILE* stream, std::string& line) {
    line[0] = '{';  // the first field's comma opens the object
    line += "}\n";
    std::fwrite(line.data(), 1, line.size(), stream);
    line.clear();
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    while (!bytes.empty()) {
        const unsigned char c = static_cast<unsigned char>(bytes.front());
        const size_t length = ValidSequenceLength(bytes);
        if (length == 0) {
            AppendEscape(out, 0xDC00u + c);
            bytes.remove_prefix(1);
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
        } else {
            out.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    out += '"';
}

namespace {

void AppendSyntaxError(std::string& out, const JsonVerdictFacts& facts) {
    const SyntaxError* error = facts.syntaxError;
    if (!error) {
        out += ",\"syntax_error\":null";
        return;
    }
    std::string object;
    AppendField(object, "file", facts.scriptName);
    AppendField(object, "line", error->m_nLineIndex + 1LL);
    AppendField(object, "column", static_cast<long long>(error->m_nColumn));
    AppendField(object, "message", error->m_strMessage);
    AppendField(object, "text", error->m_strCommandLine);
    AppendField(object, "portion", error->m_strProcessed);
    object[0] = '{';
    out += ",\"syntax_error\":" + object + "}";
}

void AppendVerdict(std::string& line, std::string_view verdict, long long errors, long long sources, long long ran,
                   long long written, bool stopped, const JsonVerdictFacts& facts) {
    AppendField(line, "type", "verdict");
    AppendField(line, "verdict", verdict);
    AppendField(line, "errors", errors);
    AppendField(line, "sources", sources);
    AppendField(line, "ran", ran);
    AppendField(line, "written", written);
    AppendBool(line, "stopped", stopped);
    AppendField(line, "exit", facts.exitStatus);
    line += ",\"complaints\":[";
    for (size_t i = 0; i < facts.complaints.size(); ++i) {
        if (i > 0) line += ',';
        AppendJsonString(line, facts.complaints[i]);
    }
    line += ']';
    AppendSyntaxError(line, facts);
    AppendField(line, "left_out", facts.leftOut);
}

}  // namespace

void WriteJsonVerdictOnly(FILE* stream, long long sources, const JsonVerdictFacts& facts) {
    std::string line;
    AppendVerdict(line, "", 0, sources, 0, 0, false, facts);
    Emit(stream, line);
}

void WriteJsonLines(FILE* stream, const BatchRun& batch, const JsonVerdictFacts& facts) {
    const auto& lines = batch.m_log.m_arrResponseLines;
    const auto& outcomes = batch.m_arrFileOutcomes;
    const size_t verdictLine = lines.empty() ? 0 : lines.size() - 1;
    std::string line;
    int written = 0;
    for (size_t i = 0; i < static_cast<size_t>(batch.m_nSourceCount); ++i) {
        const int index = static_cast<int>(i);
        const bool ran = i < outcomes.size();
        AppendField(line, "type", "source");
        AppendField(line, "source", index == batch.m_nStandardInputSource ? std::string("-") : batch.SourcePath(index));
        AppendField(line, "name", std::string_view(batch.m_arrSourceFiles[i]).substr(1));
        if (batch.IsDebugRun())
            AppendField(line, "output", "-");
        else
            AppendField(line, "output", batch.OutputPath(index));
        AppendBool(line, "ran", ran);
        AppendField(line, "replacements", ran ? static_cast<long long>(outcomes[i].nReplacements) : 0LL);
        if (ran) {
            const FileOutcome& outcome = outcomes[i];
            written += outcome.bWritten ? 1 : 0;
            AppendBool(line, "opened", outcome.bOpened);
            AppendBool(line, "written", outcome.bWritten);
            AppendBool(line, "stopped", outcome.bStopped);
            AppendField(line, "errors", outcome.nErrors);
            line += ",\"messages\":[";
            const size_t end = i + 1 < outcomes.size() ? outcomes[i + 1].nFirstLine : verdictLine;
            for (size_t k = outcome.nFirstLine + 1; k < end && k < lines.size(); ++k) {
                if (k > outcome.nFirstLine + 1) line += ',';
                std::string_view message = lines[k];
                if (message.starts_with('\t')) message.remove_prefix(1);
                AppendJsonString(line, message);
            }
            line += ']';
        }
        Emit(stream, line);
    }
    AppendVerdict(line, lines.empty() ? std::string_view() : std::string_view(lines.back()), batch.m_log.m_nErrorCount,
                  batch.m_nSourceCount, static_cast<long long>(outcomes.size()), written, batch.m_bStopped, facts);
    Emit(stream, line);
}

}  // namespace tavisk::cli
