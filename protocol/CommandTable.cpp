#include "CommandTable.h"

#include <algorithm>

namespace qk {

std::string_view CommandTable::Text(CommandId id) const {
    return res::LoadString(m_language, static_cast<int>(id));
}

std::string BuildQuery(const CommandTable& table, CommandId id) {
    std::string command(table.Text(id));
    command += "?\r\n";
    return command;
}

std::string BuildSet(const CommandTable& table, CommandId id, std::string_view value) {
    std::string command(table.Text(id));
    command += '=';
    command += value;
    command += "\r\n";
    return command;
}

std::string BuildLogin(const CommandTable& table, std::string_view key) {
    std::string command(table.Text(CommandId::Login));
    command += key;
    command += "\r\n";
    return command;
}

std::string MaskLoginKey(const CommandTable& table, std::string_view command) {
    std::string masked(command);
    const std::string_view login = table.Text(CommandId::Login);
    if (command.starts_with(login)) {
        const std::size_t end = std::min(masked.find_first_of("\r\n", login.size()), masked.size());
        std::fill(masked.begin() + static_cast<long>(login.size()),
                  masked.begin() + static_cast<long>(end), '*');
    }
    return masked;
}

std::string BuildHandshakeRequest(const CommandTable& table) {
    return std::string(table.Text(CommandId::ConfigModeRequest));
}

std::string EncodeDigit(char base, int value) {
    const auto low = static_cast<unsigned char>(static_cast<unsigned>(value) & 0xFFu);
    return std::string(1, static_cast<char>(static_cast<unsigned char>(base) + low));
}

}  // namespace qk
