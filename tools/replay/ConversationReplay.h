#pragma once

#include <istream>
#include <string>
#include <vector>

namespace qk::replay {

// Replays a recorded device conversation through the answer parser, without a port or a
// window, and checks what it did. The text format, one item per line:
//
//   # comment (blank lines are ignored too)
//   < +PIPADD:10.0.0.1\r\n+PPORT:5000\r\n      a block as the device sent it, escaped
//   @ SetStatusText(1,"ID:7")                  the next view call the parser must make
//   = destPort "5000"                          a record field's value at this point
//
// Escapes: \r \n \t \\ \" and \xHH. Field names are those of the record (see ListFields).
// Every call the parser makes must be expected by an @ line, in order.
struct ReplayResult {
    std::vector<std::string> failures;  // "line 7: ..." ; empty when the replay matched
    std::vector<std::string> calls;     // every view call made, in order
    std::string finalRecord;            // name="value" lines of the record at the end
    bool ok() const { return failures.empty(); }
};

ReplayResult RunReplay(std::istream& script);

// The received blocks of a conversation alone (the '<' lines, unescaped), for seeding
// fuzzers with what devices really send. Malformed lines are skipped.
std::vector<std::string> ReadBlocks(std::istream& script);

}  // namespace qk::replay
