#include <array>

#include "Journal.h"

namespace qk {
namespace {

// By ChangeResult; these are the words the journal file holds.
constexpr std::array<std::string_view, 5> kResultNames = {"running", "ok", "failed", "sent",
                                                          "interrupted"};

}  // namespace

std::string_view ResultName(ChangeResult result) {
    return kResultNames[static_cast<std::size_t>(result)];
}

ChangeResult ResultNamed(std::string_view name) {
    for (std::size_t i = 0; i < kResultNames.size(); ++i) {
        if (name == kResultNames[i]) {
            return static_cast<ChangeResult>(i);
        }
    }
    return ChangeResult::Failed;
}

}  // namespace qk
