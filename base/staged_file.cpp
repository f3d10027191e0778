#include "base/staged_file.h"

#include "base/file_descriptor.h"
#include "base/platform/file_identity.h"
#include "base/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace brindlecot {
namespace {

constexpr int kNameAttempts = 64;
constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string RandomPiece() {
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kNameCharacters.size() - 1);
    std::string piece(6, ' ');
    for (char& c : piece)
        c = kNameCharacters[pick(generator)];
    return piece;
}

bool SyncPath(const std::string& path, int flags) {
    FileDescriptor fd(::open(path.c_str(), flags | O_CLOEXEC));
    if (fd.Get() < 0)
        return false;
    return ::fsync(fd.Get()) == 0;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace

std::optional<StagedFile> StagedFile::Create(const std::string& prefix, std::string_view suffix,
                                             mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string path = prefix + RandomPiece();
        path += suffix;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::close(fd);
            return StagedFile(std::move(path));
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

StagedFile::StagedFile(StagedFile&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

StagedFile::~StagedFile() {
    if (!path_.empty())
        ::unlink(path_.c_str());
}

bool StagedFile::WriteAll(std::span<const unsigned char> bytes) {
    FileDescriptor fd(::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (fd.Get() < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd.Get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return ::fsync(fd.Get()) == 0 && fd.Close();
}

bool StagedFile::ReplaceTarget(const std::string& target) {
    if (path_.empty() || IsOccupiedByNonRegularFile(target))
        return false;
    if (!SyncPath(path_, O_RDONLY))
        return false;
    if (!platform::ReplaceFileAtomically(path_, target))
        return false;
    path_.clear();
    // The rename itself is durable only once the folder is flushed; the content already
    // is, so a failure here loses nothing that the old file held.
    SyncPath(FolderOf(target), O_RDONLY | O_DIRECTORY);
    return true;
}

}  // namespace brindlecot
