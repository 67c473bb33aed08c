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
//   > QK+PPORT?\r\n                            bytes written to the device, escaped
//   ~ CFG MODE\r                               bytes read in the configuration-mode
//                                              handshake, escaped; they never reach the parser
//   @ SetStatusText(1,"ID:7")                  the next view call the parser must make
//   = destPort "5000"                          a record field's value at this point
//
// Any item may be preceded by a time and one space: seconds since the conversation began,
// digits, a point and digits (`12.345 < +BAUD:9600\r\n`). Times may repeat but never go
// backwards; nothing else is made of them. Comments and blank lines take no time.
//
// Escapes: \r \n \t \\ \" and \xHH. Field names are those of the record (see ListFields).
// Written bytes and handshake reads are shown, not checked. Once a conversation expects
// anything (an @ or = line), every call the parser makes must be expected by an @ line, in
// order; a conversation without expectations fails only on malformed lines, which is why a
// recording is written with them (WithExpectations) and the replay tool refuses one without.
struct ReplayResult {
    std::vector<std::string> failures;  // "line 7: ..." ; empty when the replay matched
    std::vector<std::string> calls;     // every view call made, in order
    // The conversation as replayed: its <, > and ~ lines as written, each block followed
    // by the calls it made as @ lines.
    std::vector<std::string> transcript;
    std::string finalRecord;       // name="value" lines of the record at the end
    bool expectsAnything = false;  // the conversation has @ or = lines
    bool ok() const { return failures.empty(); }
};

ReplayResult RunReplay(std::istream& script);

// The conversation with what the parser makes of it written in as expectations, so that
// its replay checks the parser: comments, blank lines and the <, > and ~ items as they
// were, earlier expectations dropped, each block followed by the calls it makes (@), and at
// the end every field of the record (=) but the log, which is the blocks themselves, and
// the login key, the operator's secret, which no answer sets.
// Malformed lines are left out and named in `failures`.
std::string WithExpectations(std::istream& conversation, std::vector<std::string>& failures);

// The received blocks of a conversation alone (the '<' lines, unescaped), for seeding
// fuzzers with what devices really send. Malformed lines are skipped.
std::vector<std::string> ReadBlocks(std::istream& script);

}  // namespace qk::replay
