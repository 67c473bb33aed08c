#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <system_error>

#include "FileIO.h"

namespace qk::cli {
namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, std::string_view bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> ReadInput(const std::string& file, std::size_t limit, const StopSignals*,
                                     std::string& error) {
    std::error_code code;
    if (file != "-" && fs::is_directory(file, code)) {
        error = "is a folder";
        return std::nullopt;
    }
    std::ifstream in;
    std::istream* source = &std::cin;
    if (file != "-") {
        in.open(file, std::ios::binary);
        if (!in) {
            error = "cannot be read";
            return std::nullopt;
        }
        source = &in;
    }
    std::string text(limit + 1, '\0');
    source->read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(source->gcount()));
    if (text.size() > limit) {
        error = "is larger than " + std::to_string(limit) + " bytes";
        return std::nullopt;
    }
    return text;
}

bool WriteOutput(const std::string& path, std::string_view bytes, OutputFile how,
                 std::string& error) {
    const fs::path target(path);
    std::error_code code;
    const fs::file_status status = fs::status(target, code);
    if (fs::is_directory(status)) {
        error = "is a folder";
        return false;
    }
    const bool exists = fs::exists(status);
    if (exists && (status.permissions() & fs::perms::owner_write) == fs::perms::none &&
        !how.force) {
        error = "is read-only (--force replaces it)";
        return false;
    }
    std::random_device random;
    const fs::path temporary = target.parent_path() / ("." + target.filename().string() + "." +
                                                       std::to_string(random()) + ".tmp");
    if (!WriteFile(temporary, bytes, error)) {
        fs::remove(temporary, code);
        return false;
    }
    if (exists && how.force) {
        fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, code);
    }
    fs::rename(temporary, target, code);
    if (code) {
        error = code.message();
        fs::remove(temporary, code);
        return false;
    }
    return true;
}

bool CreateNewFile(const std::string& path, std::string_view bytes, OutputFile,
                   std::string& error) {
    std::error_code code;
    if (fs::exists(path, code)) {
        error = "exists already";
        return false;
    }
    return WriteFile(path, bytes, error);
}

}  // namespace qk::cli
