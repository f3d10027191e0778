#pragma once

// File helpers shared by every module's tests. Header-only and free of program code, so
// the library's tests can use it without linking the program's core.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace brindlecot::testing {

// Every byte of the file; throws when it cannot be opened, so that a missing file is never
// mistaken for an empty one.
inline std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replaces the file with exactly `bytes`.
inline void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "brindlecot-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // The path of `relative` inside the folder.
    std::filesystem::path operator/(std::string_view relative) const { return path_ / relative; }

    // Writes `bytes` to `relative`, creating the folders on the way; returns the file's path.
    std::string Write(std::string_view relative, std::string_view bytes) const {
        const std::filesystem::path file = *this / relative;
        std::filesystem::create_directories(file.parent_path());
        WriteFileBytes(file, bytes);
        return file.string();
    }

    // Copies `from` to `relative`, creating the folders on the way; returns the copy's path.
    std::string Copy(const std::filesystem::path& from, std::string_view relative) const {
        const std::filesystem::path file = *this / relative;
        std::filesystem::create_directories(file.parent_path());
        std::filesystem::copy_file(from, file, std::filesystem::copy_options::overwrite_existing);
        return file.string();
    }

    // The names directly in the folder, sorted: what a test sees was left behind.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace brindlecot::testing
