#pragma once

#include <memory>
#include <string>

#include "Line.h"

namespace qk {

// A Windows COM port: opened without sharing, reads that return at once, writes allowed
// 100 ms per byte plus 500 ms, and its DCB put back when it is let go. nullptr, with why in
// `failure`, when it cannot be opened; `portMapping` is named when the port is missing.
std::unique_ptr<Line> OpenComLine(const std::string& path, const std::string& portMapping,
                                  std::string& failure);

}  // namespace qk
