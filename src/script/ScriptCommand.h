#pragma once
// The plain record the parser fills for each command and the executor reads.
#include <cstdint>
#include <string>

namespace tavisk {

enum CommandCode : int32_t {
    CMD_NONE = 0,
    CMD_SKIP = 1,     // "p": move to the endpoint, dropping what is passed
    CMD_COPY = 2,     // "t": copy up to the endpoint
    CMD_REPLACE = 3,  // "r" (next occurrence) or "g" (every occurrence to the end)
    CMD_NEWLINE = 4,  // "l": end the current output line
    CMD_INSERT = 5,   // "i": insert text into the output
    CMD_LOOPEND = 6,  // after the last pass of a loop
    CMD_END = 7,      // "e", and the end of the script
};

enum QualifierCode : int32_t {
    QUAL_NONE = 0,
    QUAL_ABSOLUTE = 1,  // "#": absolute line number
    QUAL_STARTS = 2,    // "s": a line that starts with the text
    QUAL_BEFORE = 3,    // "b": where the text begins
    QUAL_AFTER = 4,     // "a": just after the text
    QUAL_CONTAINS = 5,  // "c": start of the line that contains the text
    QUAL_GLOBAL = 6,    // the command letter "g"
};

enum EndpointKind : int32_t {
    END_NONE = 0,
    END_NUMBER = 1,
    END_TEXT = 2,
    END_LINE = 3,
    END_FILE = 4,
};

// The code tables: each code keeps its listed value and 32-bit size.
static_assert(sizeof(CommandCode) == 4 && sizeof(QualifierCode) == 4 && sizeof(EndpointKind) == 4);

struct CScriptCommand {
    CommandCode m_nCommand = CMD_NONE;
    QualifierCode m_nQualifier = QUAL_NONE;
    std::string m_strText;     // find text of r/g, insert text of i
    std::string m_strReplace;  // replacement of r/g (may be empty)
    EndpointKind m_nEndKind = END_NONE;
    int32_t m_nEndLine = 0;    // -1 when the number begins with "."
    int32_t m_nEndChar = 0;
    std::string m_strEndText;
};

// Results of ParseNextCommand.
enum ParseResult : int {
    PARSE_COMMAND = 0,  // a command is in the record
    PARSE_END = 1,      // end of the script; the record holds CMD_END
    PARSE_ERROR = 2,    // syntax error, already reported
};

}  // namespace tavisk
