#include "base/staged_file.h"

#include "base/file_content.h"
#include "base/file_descriptor.h"
#include "base/platform/file_identity.h"
#include "base/scratch_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <dirent.h>
#include <signal.h>
#endif

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>

namespace brindlecot {
namespace {

// Staged files hold plain records until the moment they become an output.
constexpr mode_t kOwnerOnly = 0600;
constexpr int kNameAttempts = 64;
constexpr std::size_t kRandomLength = 6;
constexpr std::size_t kMaxHostLength = 24;
constexpr std::string_view kNamePrefix = ".brindlecot-";
constexpr std::string_view kNameSuffix = ".part";
constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool IsAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string RandomPiece() {
    static std::mutex guard;
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kNameCharacters.size() - 1);
    std::string piece(kRandomLength, ' ');
    const std::lock_guard lock(guard);
    for (char& c : piece)
        c = kNameCharacters[pick(generator)];
    return piece;
}

// The host part of a staged name: a process id alone says nothing about a file made by
// another machine in a shared folder.
const std::string& HostTag() {
    static const std::string tag = [] {
        std::string kept;
#ifdef _WIN32
        const char* host = std::getenv("COMPUTERNAME");
        if (host == nullptr)
            host = "";
#else
        char host[HOST_NAME_MAX + 1] = {};
        if (::gethostname(host, sizeof host - 1) != 0)
            host[0] = '\0';
#endif
        for (const char* c = host; *c != '\0' && kept.size() < kMaxHostLength; ++c)
            if (IsAlphanumeric(*c))
                kept += *c;
        return kept.empty() ? std::string("host") : kept;
    }();
    return tag;
}

std::string NewStagedName() {
    return std::string(kNamePrefix) + HostTag() + "-" + std::to_string(::getpid()) + "-" +
           RandomPiece() + std::string(kNameSuffix);
}

struct StagedName {
    std::string_view host;
    pid_t process = 0;
};

std::optional<StagedName> ParseStagedName(std::string_view name) {
    if (!name.starts_with(kNamePrefix) || !name.ends_with(kNameSuffix))
        return std::nullopt;
    name.remove_prefix(kNamePrefix.size());
    name.remove_suffix(kNameSuffix.size());
    const std::size_t firstDash = name.find('-');
    const std::size_t lastDash = name.rfind('-');
    if (firstDash == std::string_view::npos || firstDash == 0 || lastDash == firstDash ||
        name.size() - lastDash - 1 != kRandomLength)
        return std::nullopt;
    StagedName parsed{name.substr(0, firstDash), 0};
    for (char c : parsed.host)
        if (!IsAlphanumeric(c))
            return std::nullopt;
    const std::string_view digits = name.substr(firstDash + 1, lastDash - firstDash - 1);
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), parsed.process);
    if (error != std::errc() || end != digits.data() + digits.size() || parsed.process <= 0)
        return std::nullopt;
    for (char c : name.substr(lastDash + 1))
        if (!IsAlphanumeric(c))
            return std::nullopt;
    return parsed;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

#ifndef _WIN32
struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
#endif

// Removes the staged files that a process of this host, now gone, left in `folder` (it
// was killed before it could remove them). Only regular files of this user are touched.
void RemoveStaleStagedFiles(const std::string& folder) {
#ifdef _WIN32
    // Not yet on Windows: there the staged names stay until removed by hand.
    (void)folder;
#else
    const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.c_str()));
    if (!directory)
        return;
    const int folderDescriptor = ::dirfd(directory.get());
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::optional<StagedName> name = ParseStagedName(entry->d_name);
        if (!name || name->host != HostTag() || name->process == ::getpid())
            continue;
        if (::kill(name->process, 0) == 0 || errno != ESRCH)
            continue;
        struct stat status {};
        if (::fstatat(folderDescriptor, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode) || status.st_uid != ::geteuid())
            continue;
        ::unlinkat(folderDescriptor, entry->d_name, 0);
    }
#endif
}

#ifndef _WIN32
mode_t CurrentUmask() {
    // Read without changing it: umask() can only be read by setting it, which would race
    // with files other threads create meanwhile.
    if (const std::optional<std::string> status = ReadWholeFile("/proc/self/status")) {
        const std::size_t at = status->find("\nUmask:");
        if (at != std::string::npos) {
            const std::size_t begin = status->find_first_of("01234567", at + 7);
            if (begin != std::string::npos) {
                unsigned value = 0;
                const char* first = status->data() + begin;
                if (std::from_chars(first, status->data() + status->size(), value, 8).ec ==
                    std::errc())
                    return static_cast<mode_t>(value);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}
#endif

void SyncFolder(const std::string& folder) {
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}

#ifdef O_TMPFILE
std::string DescriptorPath(int descriptor) {
    return "/proc/self/fd/" + std::to_string(descriptor);
}
#endif

// Open staged files by descriptor, with the target each was made for.
class StagedRegistry {
public:
    static StagedRegistry& Instance() {
        static StagedRegistry registry;
        return registry;
    }
    void Add(int descriptor, const std::string& target) {
        const std::lock_guard lock(guard_);
        targets_[descriptor] = target;
    }
    void Remove(int descriptor) {
        const std::lock_guard lock(guard_);
        targets_.erase(descriptor);
    }
    std::uint64_t BytesFor(const std::string& target) {
        const std::lock_guard lock(guard_);
        std::uint64_t largest = 0;
        for (const auto& [descriptor, madeFor] : targets_) {
            struct stat status {};
            if (madeFor == target && ::fstat(descriptor, &status) == 0)
                largest = std::max(largest, static_cast<std::uint64_t>(status.st_size));
        }
        return largest;
    }

private:
    std::mutex guard_;
    std::map<int, std::string> targets_;
};

}  // namespace

std::optional<StagedFile> StagedFile::Create(const std::string& target) {
    const std::string folder = FolderOf(target);
    RemoveStaleStagedFiles(folder);
#ifdef O_TMPFILE
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, kOwnerOnly);
    if (unnamed >= 0) {
        std::string path = DescriptorPath(unnamed);
        // Without /proc the file could not be reached by path; a named one can.
        if (::access(path.c_str(), R_OK | W_OK) == 0)
            return StagedFile(unnamed, std::move(path), {}, target);
        ::close(unnamed);
    }
#endif
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string path = JoinPath(folder, NewStagedName());
        const int named = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
        if (named >= 0) {
            std::string name = path;
            return StagedFile(named, std::move(path), std::move(name), target);
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

StagedFile::StagedFile(int descriptor, std::string path, std::string name, std::string beside)
    : descriptor_(descriptor),
      path_(std::move(path)),
      name_(std::move(name)),
      beside_(std::move(beside)) {
    StagedRegistry::Instance().Add(descriptor_, beside_);
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : descriptor_(other.descriptor_),
      path_(std::move(other.path_)),
      name_(std::move(other.name_)),
      beside_(std::move(other.beside_)) {
    other.descriptor_ = -1;
    other.name_.clear();
}

StagedFile::~StagedFile() {
    // Closed first: Windows removes no file that is still open.
    if (descriptor_ >= 0) {
        StagedRegistry::Instance().Remove(descriptor_);
        ::close(descriptor_);
    }
    if (!name_.empty())
        ::unlink(name_.c_str());
}

bool StagedFile::WriteAll(std::span<const unsigned char> bytes) {
    if (descriptor_ < 0 || ::ftruncate(descriptor_, 0) != 0)
        return false;
    off_t offset = 0;
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(descriptor_, bytes.data(), bytes.size(), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        offset += written;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool StagedFile::ReplaceTarget(const std::string& target, mode_t mode) {
    if (descriptor_ < 0 || IsOccupiedByNonRegularFile(target) || ::fsync(descriptor_) != 0)
        return false;
    const std::string folder = FolderOf(target);
#ifdef O_TMPFILE
    if (name_.empty()) {
        // A file without a name gets one only now, for the instant before the rename; a
        // kill in that instant leaves a name the next staged file in this folder removes.
        for (int attempt = 0; attempt < kNameAttempts && name_.empty(); ++attempt) {
            std::string name = JoinPath(folder, NewStagedName());
            if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                name_ = std::move(name);
            else if (errno != EEXIST)
                return false;
        }
        if (name_.empty())
            return false;
    }
#endif
#ifdef _WIN32
    // Windows renames no file that is still open; the content is complete and flushed.
    StagedRegistry::Instance().Remove(descriptor_);
    ::close(descriptor_);
    descriptor_ = -1;
#endif
    if (!platform::ReplaceFileAtomically(name_, target))
        return false;
    name_.clear();
    // Only the output itself ever gets wider permissions, and only once it is in place; a
    // failure here leaves it owner-only, which loses nothing.
#ifdef _WIN32
    (void)mode;  // access lists, not modes, narrow a file there (platform::RestrictToOwner)
#else
    ::fchmod(descriptor_, mode & ~CurrentUmask());
#endif
    // The rename itself is durable only once the folder is flushed; the content already
    // is, so a failure here loses nothing that the old file held.
    SyncFolder(folder);
    return true;
}

std::uint64_t StagedBytesFor(const std::string& target) {
    return StagedRegistry::Instance().BytesFor(target);
}

bool IsStagedFileName(const std::string& name) {
    return ParseStagedName(name).has_value();
}

}  // namespace brindlecot
