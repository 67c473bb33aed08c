#include "AppOptionTable.h"

#include <algorithm>

namespace qk::ui {
namespace {

using tools::OptionSpec;
using tools::ValueCompletion;

const OptionSpec kOptions[] = {
    {kAppHelp, "help", 'h', "", ""},
    {kAppVersion, "version", '\0', "", ""},
    {kAppDemo, "demo", '\0', "", ""},
    {kAppCom, "com", '\0', "N=PATH", "", ValueCompletion::ComPin},
    {kAppLang, "lang", '\0', "LANG", "", ValueCompletion::Words, "en zh_CN"},
    {kAppJournal, "journal", '\0', "FILE", "", ValueCompletion::File},
    {kAppNoJournal, "no-journal", '\0', "", ""},
};

}  // namespace

std::span<const OptionSpec> AppOptionTable() {
    return kOptions;
}

const OptionSpec& AppOption(AppOptionId id) {
    return *std::ranges::find(kOptions, static_cast<int>(id), &OptionSpec::id);
}

}  // namespace qk::ui
