#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "commands/template_editor.h"
#include "template/record_table.h"

namespace brindlecot {

// Drafts keep the rows of an open editor until they are exported, so that a crash, a kill
// or a power cut loses nothing a clerk typed. One draft per template, sealed with the
// installed key like every file the program writes that holds records (account numbers,
// names): nothing of a record lies on disk in plain text, not even on the way.
//
// The plain draft, as `brindlecot-cli open` gives it back, is text a person can read, in
// GBK with CR LF: the first line names the template's file, then one line per row with
// the cells of the visible fields separated by tabs, error rows included, as typed. A
// cell holding a tab, a line break or starting with a quote is quoted, its quotes doubled.

// $XDG_STATE_HOME/brindlecot/drafts (~/.local/state/brindlecot/drafts); empty when no
// home folder is known.
std::string DraftFolder();
// The draft of the template at `templatePath`: its file name with ".draft" in
// DraftFolder(); empty when there is no such folder.
std::string DraftPathFor(const std::string& templatePath);
// The template's file name as the draft's first line names it (GBK).
std::string DraftTemplateName(const std::string& templatePath);

std::string DraftText(std::string_view templateName, const RecordTable& records);

struct DraftContent {
    std::string templateName;
    std::vector<std::vector<std::string>> rows;  // field cells, columns 1, 2, ...
};
// Nothing when the text is not a draft (no first line ending in CR LF, a row not ended
// by CR LF, a quote that does not close).
std::optional<DraftContent> ParseDraftText(std::string_view text);

// Seals `plainText` with `key` into the draft at `draftPath`, replacing it atomically
// (a staged file beside it, flushed, renamed, the folder flushed); the folder is created
// owner-only, the file is the owner's only. The plain text goes to the library through
// a file that exists in memory only. False when nothing was written (no key, no library,
// no folder, no space); an earlier draft is then as it was.
[[nodiscard]] bool WriteDraft(const std::string& draftPath, std::string_view plainText,
                              std::string_view key);
// The plain text of the draft, opened with `key` in memory; nothing when it does not open.
std::optional<std::string> OpenDraft(const std::string& draftPath, std::string_view key);
// The same with the installed key, reloaded from keyConf first.
std::optional<std::string> OpenDraftWithInstalledKey(const std::string& draftPath);
// Renames a draft that does not open beside itself ("<draft>.unreadable-<time>"), never
// over another file; answers the new path, empty when it could not be renamed.
std::string SetDraftAside(const std::string& draftPath);
// When the draft was last written, as local time "YYYY-MM-DD HH:MM"; empty when unknown.
std::string DraftTimeText(const std::string& draftPath);

// Appends the rows of a draft to the editor's records, each checked again as a typed
// edit checks its row (error rows marked), then the statistics and the row numbers.
// Answers the number of rows added.
int RestoreDraftRows(TemplateEditor& editor, const DraftContent& draft);

// Writes and removes one draft on a thread of its own, in the order asked, so that
// sealing a big table never holds up the window. A write asked while another waits
// replaces it: only the newest rows matter. Removal drops a waiting write.
class DraftWriter {
public:
    // `failed` is told, on the writer's thread, when a write did not succeed.
    DraftWriter(std::string draftPath, std::function<void()> failed);
    // Finishes what was asked.
    ~DraftWriter();
    DraftWriter(const DraftWriter&) = delete;
    DraftWriter& operator=(const DraftWriter&) = delete;

    const std::string& Path() const { return path_; }
    // Seals with the installed key as it is when this is called; nothing without one.
    void Write(std::string plainText);
    void Remove();
    // Waits until everything asked so far is done.
    void WaitIdle();

private:
    struct Queue;  // what waits for the thread, the key among it kept in wiped memory
    void Run();

    std::string path_;
    std::function<void()> failed_;
    std::unique_ptr<Queue> queue_;
    std::thread thread_;
};

}  // namespace brindlecot
