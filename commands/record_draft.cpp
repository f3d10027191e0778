#include "commands/record_draft.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

#include "base/app_path.h"
#include "base/gbk_text.h"
#include "base/memory_file.h"
#include "base/scratch_file.h"
#include "base/staged_file.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/installed_key_crypt.h"
#include "filecrypt/secret_bytes.h"

namespace brindlecot {
namespace {

constexpr char kDraftExtension[] = ".draft";
constexpr mode_t kOwnerOnly = 0600;
constexpr std::string_view kLineEnd = "\r\n";

std::string_view FileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void AppendCell(std::string& text, std::string_view cell) {
    const bool quoted = cell.find_first_of("\t\r\n") != std::string_view::npos ||
                        (!cell.empty() && cell.front() == '"');
    if (!quoted) {
        text += cell;
        return;
    }
    text += '"';
    for (const char c : cell) {
        text += c;
        if (c == '"')
            text += '"';
    }
    text += '"';
}

// One row: cells up to the CR LF that ends it; `at` moves past that line end.
std::optional<std::vector<std::string>> ParseRow(std::string_view text, std::size_t& at) {
    std::vector<std::string> cells;
    std::string cell;
    while (true) {
        if (at < text.size() && text[at] == '"') {
            ++at;
            while (true) {
                if (at >= text.size())
                    return std::nullopt;
                if (text[at] == '"') {
                    if (at + 1 < text.size() && text[at + 1] == '"') {
                        cell += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                cell += text[at++];
            }
        } else {
            while (at < text.size() && text[at] != '\t' && text[at] != '\r' && text[at] != '\n')
                cell += text[at++];
        }
        cells.push_back(std::move(cell));
        cell.clear();
        if (at < text.size() && text[at] == '\t') {
            ++at;
            continue;
        }
        if (text.substr(at, kLineEnd.size()) != kLineEnd)
            return std::nullopt;
        at += kLineEnd.size();
        return cells;
    }
}

}  // namespace

std::string DraftFolder() {
    const std::string state = UserStateFolder();
    return state.empty() ? std::string() : state + "/drafts";
}

std::string DraftPathFor(const std::string& templatePath) {
    const std::string folder = DraftFolder();
    if (folder.empty())
        return {};
    return folder + "/" + std::string(FileNameOf(templatePath)) + kDraftExtension;
}

std::string DraftTemplateName(const std::string& templatePath) {
    const std::string name(FileNameOf(templatePath));
    return Utf8ToGbk(name).value_or(name);
}

std::string DraftText(std::string_view templateName, const RecordTable& records) {
    std::string text;
    text += templateName;
    text += kLineEnd;
    const int fields = records.FieldColumnCount();
    for (int row = 0; row < records.RowCount(); ++row) {
        const RecordTable::RowReader reader = records.ReadRow(row);
        for (int column = 1; column <= fields; ++column) {
            if (column > 1)
                text += '\t';
            AppendCell(text, reader.Cell(column));
        }
        text += kLineEnd;
    }
    return text;
}

std::optional<DraftContent> ParseDraftText(std::string_view text) {
    const std::size_t firstEnd = text.find(kLineEnd);
    if (firstEnd == std::string_view::npos || firstEnd == 0)
        return std::nullopt;
    DraftContent draft;
    draft.templateName = std::string(text.substr(0, firstEnd));
    std::size_t at = firstEnd + kLineEnd.size();
    while (at < text.size()) {
        std::optional<std::vector<std::string>> row = ParseRow(text, at);
        if (!row)
            return std::nullopt;
        draft.rows.push_back(std::move(*row));
    }
    return draft;
}

bool WriteDraft(const std::string& draftPath, std::string_view plainText, std::string_view key) {
    if (draftPath.empty() || key.empty() || !MakeOwnerOnlyFolders(FolderOf(draftPath)))
        return false;
    std::optional<MemoryFile> plain = MemoryFile::Holding(plainText);
    if (!plain)
        return false;
    std::optional<StagedFile> sealed = StagedFile::Create(draftPath);
    return sealed && CryptWithKey(kCryptModeSeal, key, plain->Path(), sealed->Path()) == 0 &&
           sealed->ReplaceTarget(draftPath, kOwnerOnly);
}

std::optional<std::string> OpenDraft(const std::string& draftPath, std::string_view key) {
    if (key.empty() || !FileExists(draftPath))
        return std::nullopt;
    std::optional<MemoryFile> plain = MemoryFile::Create();
    if (!plain || CryptWithKey(kCryptModeOpen, key, draftPath, plain->Path()) != 0)
        return std::nullopt;
    return plain->ReadAll();
}

std::optional<std::string> OpenDraftWithInstalledKey(const std::string& draftPath) {
    LoadInstalledKey();
    return OpenDraft(draftPath, CurrentInstalledKey().Text());
}

std::string SetDraftAside(const std::string& draftPath) {
    std::array<char, 32> stamp{};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", &local);
    const std::string base = draftPath + ".unreadable-" + stamp.data();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string aside = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, draftPath.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) ==
            0)
            return aside;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

std::string DraftTimeText(const std::string& draftPath) {
    struct stat status {};
    if (::stat(draftPath.c_str(), &status) != 0)
        return {};
    std::tm local{};
    localtime_r(&status.st_mtime, &local);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M", &local);
    return text.data();
}

int RestoreDraftRows(TemplateEditor& editor, const DraftContent& draft) {
    RecordTable& records = editor.Records();
    int added = 0;
    {
        RecordTable::BulkChange bulk(records);
        records.Reserve(records.RowCount() + static_cast<int>(draft.rows.size()));
        for (const std::vector<std::string>& cells : draft.rows) {
            const int row = records.AppendRow(cells);
            if (row < 0)
                continue;
            editor.RecheckRow(row);
            ++added;
        }
    }
    editor.RefreshStatistics();
    editor.RenumberRows();
    return added;
}

// --- the writer's thread -------------------------------------------------------

struct DraftWriter::Queue {
    enum class Job { None, Write, Remove };
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    Job pending = Job::None;
    std::string text;
    SecretBytes key;
    bool busy = false;
    bool stopping = false;
};

DraftWriter::DraftWriter(std::string draftPath, std::function<void()> failed)
    : path_(std::move(draftPath)),
      failed_(std::move(failed)),
      queue_(std::make_unique<Queue>()),
      thread_([this] { Run(); }) {}

DraftWriter::~DraftWriter() {
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->stopping = true;
    }
    queue_->wake.notify_one();
    thread_.join();
}

void DraftWriter::Write(std::string plainText) {
    const std::string_view key = CurrentInstalledKey().Text();
    // Without a key nothing can be sealed, and nothing is ever written in plain instead.
    // The program opens editors only once a key is installed.
    if (key.empty())
        return;
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->pending = Queue::Job::Write;
        queue_->text = std::move(plainText);
        queue_->key.assign(key.begin(), key.end());
    }
    queue_->wake.notify_one();
}

void DraftWriter::Remove() {
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->pending = Queue::Job::Remove;
        queue_->text.clear();
        queue_->key.clear();
    }
    queue_->wake.notify_one();
}

void DraftWriter::WaitIdle() {
    std::unique_lock lock(queue_->mutex);
    queue_->idle.wait(lock,
                      [this] { return queue_->pending == Queue::Job::None && !queue_->busy; });
}

void DraftWriter::Run() {
    Queue& queue = *queue_;
    std::unique_lock lock(queue.mutex);
    while (true) {
        queue.wake.wait(lock,
                        [&queue] { return queue.stopping || queue.pending != Queue::Job::None; });
        if (queue.pending == Queue::Job::None)
            return;
        const Queue::Job job = std::exchange(queue.pending, Queue::Job::None);
        const std::string text = std::exchange(queue.text, {});
        const SecretBytes key = std::exchange(queue.key, {});
        queue.busy = true;
        lock.unlock();
        bool done = true;
        if (job == Queue::Job::Write) {
            done =
                WriteDraft(path_, text,
                           std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
        } else {
            std::error_code ignored;  // a draft already gone is what was asked for
            std::filesystem::remove(path_, ignored);
        }
        if (!done && failed_)
            failed_();
        lock.lock();
        queue.busy = false;
        if (queue.pending == Queue::Job::None)
            queue.idle.notify_all();
    }
}

}  // namespace brindlecot
