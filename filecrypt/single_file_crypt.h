#pragma once

#include <string>
#include <string_view>

#include "base/user_interface.h"

namespace brindlecot {

// Catalogue section of single-file sealing and opening; its msg1 is the caption of
// every message below unless said otherwise.
inline constexpr char kSingleFileSection[] = "DialogSingleFileCrypt";
inline constexpr char kFileCryptConfigName[] = "conf/filecrypt.config";

// What conf/filecrypt.config decides: whether a workbook (input extension exactly "xls")
// is turned into delimited text before sealing and back into a workbook after opening,
// and the byte that separates the cells of that text ('\0': none).
struct FileCryptSettings {
    bool bChange = false;
    char separator = '\0';
};

// Reads the token stream of filecrypt.config: each "$file" (any case) is followed by a
// bChange entry and a splite entry. A block that breaks this shows msg11 (no bChange
// entry) or msg12 (no splite entry) and ends the reading with what was read so far.
FileCryptSettings ParseFileCryptConfig(std::string_view text, UserInterface& ui);

// ParseFileCryptConfig of conf/filecrypt.config beside the executable; a missing or empty
// file gives the defaults without a message. Read once when the single-file dialog opens.
FileCryptSettings ReadFileCryptConfig(UserInterface& ui);

// The extension of the path's last component (after its last dot, without the dot);
// empty when that component has no dot.
std::string FileExtension(std::string_view path);

// Seals the file at `inputPath` into `outputPath` under the key in keyConf (reloaded
// first). Shows exactly one message for the outcome (msg13 to msg18 and msg21 for
// failures, msg22 on success) or the conversion's own message, and answers success.
// Something other than a regular file at `outputPath` (a device, a FIFO, a folder) is
// refused with msg23 and left alone.
// The sealed file is made under a temporary name beside the output and renamed over it
// only when complete: a failure never leaves a partial output and never destroys a file
// that was already at `outputPath`; no temporary file survives.
[[nodiscard]] bool SealSingleFile(const std::string& inputPath, const std::string& outputPath,
                                  const FileCryptSettings& settings, UserInterface& ui);

// Opens a sealed file at `inputPath` into `outputPath`, as SealSingleFile does
// (failure msg19, success msg20). With bChange and an "xls" input the opened text becomes
// a workbook at `outputPath`.
[[nodiscard]] bool OpenSingleFile(const std::string& inputPath, const std::string& outputPath,
                                  const FileCryptSettings& settings, UserInterface& ui);

}  // namespace brindlecot
