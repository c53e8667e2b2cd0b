#pragma once
// Where a "t" or "p" command stops: pure arithmetic on the command's endpoint
// and the stream position, kept apart from the stream so it can be tested
// case by case.
#include <cstdint>
#include <string_view>

#include "../script/ScriptCommand.h"

namespace tavisk {

// A stream position: a line of the source and a character index in it.
struct EndpointTarget {
    int64_t line = 0;
    int64_t character = 0;
    friend bool operator==(const EndpointTarget&, const EndpointTarget&) = default;
};

// A numeric endpoint is fixed once, before any line is read; an absolute one
// may lie behind the edit position, which ends the file with a message.
enum class NumberEndpointCheck { Ahead, CharBeforeEditPos, LineBeforeCurrent };

struct NumberEndpoint {
    EndpointTarget target;
    NumberEndpointCheck check = NumberEndpointCheck::Ahead;
};

// The target of an END_NUMBER endpoint, from the position at the command's start.
NumberEndpoint ResolveNumberEndpoint(const CScriptCommand& cmd, int64_t curLine, int64_t editPos);

// The target on the current source line `line` (line number `curLine`, edit
// position `editPos`).  A target line after `curLine` means: pass the rest of
// this line.  `number` is what ResolveNumberEndpoint gave (used for END_NUMBER).
EndpointTarget TargetOnLine(const CScriptCommand& cmd, const EndpointTarget& number, std::string_view line,
                            int64_t curLine, int64_t editPos);

}  // namespace tavisk
