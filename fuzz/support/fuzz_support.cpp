#include "fuzz/support/fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "base/app_path.h"

namespace brindlecot::fuzz {

namespace {

std::string MakeFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "brindlecot-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a fuzz folder");
    const std::filesystem::path folder = pattern;
    const std::filesystem::path dist = std::filesystem::path(BRINDLECOT_SOURCE_DIR) / "dist";
    std::filesystem::copy(dist, folder, std::filesystem::copy_options::recursive);
    SetAppFolder(folder.string());
    return folder.string();
}

// Removes the folder when the process ends normally; libFuzzer exits through exit().
struct FolderRemover {
    std::string folder;
    ~FolderRemover() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

}  // namespace

const std::string& FuzzAppFolder() {
    static const FolderRemover remover{MakeFolder()};
    return remover.folder;
}

std::string WriteInputFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = FuzzAppFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

}  // namespace brindlecot::fuzz
