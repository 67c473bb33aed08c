#pragma once

#include <string>
#include <string_view>

namespace qk {

// The system's text for a Win32 error code (FormatMessage), in UTF-8, without the line
// end Windows puts after it: "Access is denied."
std::string Win32ErrorText(unsigned long error);

// UTF-16 from the system to UTF-8, and back.
std::string Utf8FromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);

}  // namespace qk
