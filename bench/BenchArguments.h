#pragma once

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace qk::bench {

// A benchmark's command line: "--name value" for the names it takes values for, "--flag"
// for its flags, nothing else. Anything other, or a value missing, makes it not ok(), and
// the program prints its usage.
class BenchArguments {
  public:
    BenchArguments(int argc, char** argv, std::set<std::string_view> valued,
                   std::set<std::string_view> flags = {}) {
        for (int i = 1; i < argc && m_ok; ++i) {
            const std::string_view option = argv[i];
            const std::string_view name = option.starts_with("--") ? option.substr(2) : "";
            if (valued.contains(name) && i + 1 < argc) {
                m_values[std::string(name)] = argv[++i];
            } else if (flags.contains(name)) {
                m_flags.insert(std::string(name));
            } else {
                m_ok = false;
            }
        }
    }

    bool ok() const { return m_ok; }
    bool Has(const std::string& flag) const { return m_flags.contains(flag); }
    std::string Text(const std::string& name, std::string fallback = {}) const {
        const auto found = m_values.find(name);
        return found != m_values.end() ? found->second : fallback;
    }
    int Number(const std::string& name, int fallback) const {
        const auto found = m_values.find(name);
        return found != m_values.end() ? std::atoi(found->second.c_str()) : fallback;
    }

  private:
    bool m_ok = true;
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_flags;
};

}  // namespace qk::bench
