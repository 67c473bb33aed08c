#include "ProfileTemplate.h"

namespace qk {
namespace {

constexpr std::string_view kOpen = "${";

// Calls `literal` for each piece of plain text (escapes kept as written) and `reference`
// for each name; false, with `error`, at a reference that is never closed or empty.
template <typename Literal, typename Reference>
bool Walk(std::string_view written, Literal literal, Reference reference, std::string& error) {
    std::size_t i = 0;
    while (i < written.size()) {
        if (written[i] == '\\') {
            // An escape is two characters at least; "\x41" passes as "\x" then "41".
            literal(written.substr(i, 2));
            i += 2;
            continue;
        }
        if (written.substr(i, kOpen.size()) != kOpen) {
            literal(written.substr(i, 1));
            ++i;
            continue;
        }
        const auto close = written.find('}', i);
        if (close == std::string_view::npos) {
            error = "\"${\" without its \"}\" (a literal \"${\" is written \"\\${\")";
            return false;
        }
        const std::string_view name = written.substr(i + kOpen.size(), close - i - kOpen.size());
        if (name.empty()) {
            error = "\"${}\" names nothing";
            return false;
        }
        reference(name);
        i = close + 1;
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::string>> TemplateNames(std::string_view written,
                                                      std::string& error) {
    std::vector<std::string> names;
    if (!Walk(
            written, [](std::string_view) {},
            [&](std::string_view name) { names.emplace_back(name); }, error)) {
        return std::nullopt;
    }
    return names;
}

std::string ExpandTemplate(std::string_view written, const TemplateValues& values) {
    std::string expanded;
    std::string ignored;
    Walk(
        written, [&](std::string_view text) { expanded += text; },
        [&](std::string_view name) {
            if (const auto found = values.find(name); found != values.end()) {
                expanded += found->second;
            }
        },
        ignored);
    return expanded;
}

std::string EscapeTemplate(std::string_view written) {
    std::string escaped;
    // Only what Walk would take for a reference changes; escapes stay as they are.
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '\\' && i + 1 < written.size()) {
            escaped += written.substr(i, 2);
            ++i;
        } else if (written.substr(i, kOpen.size()) == kOpen) {
            escaped += "\\$";
        } else {
            escaped += written[i];
        }
    }
    return escaped;
}

}  // namespace qk
