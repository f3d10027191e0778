#pragma once

#include "base/catalogue/catalogue_key.h"

// Catalogue section "DialogModelDlg". Template loading and the template editor. Texts with %s / %d
// are filled with FormatMessage in the order noted.
namespace brindlecot::catalogue::DialogModelDlg {

inline constexpr std::string_view kSection = "DialogModelDlg";

inline constexpr CatalogueKey kModeWithoutTypeLens{kSection, "msg2"};
inline constexpr CatalogueKey kInMissing{kSection, "msg3"};
inline constexpr CatalogueKey kOutMissing{kSection, "msg4"};
inline constexpr CatalogueKey kInNeedDescryptMissing{kSection, "msg5"};
inline constexpr CatalogueKey kOutNeedEncryptMissing{kSection, "msg6"};
inline constexpr CatalogueKey kNeedFillMissing{kSection, "msg7"};
inline constexpr CatalogueKey kSpliteMissing{kSection, "msg8"};
inline constexpr CatalogueKey kStatisticsMissing{kSection, "msg9"};
// Field name, "index".
inline constexpr CatalogueKey kFieldWithoutIndex{kSection, "msg10"};
// The token.
inline constexpr CatalogueKey kFieldWithoutName{kSection, "msg11"};
// Field name, "value".
inline constexpr CatalogueKey kFieldWithoutValue{kSection, "msg12"};
// Field name, "index", index.
inline constexpr CatalogueKey kDuplicateIndex{kSection, "msg13"};
// typeLens, sum of the field lengths.
inline constexpr CatalogueKey kLengthsDoNotAddUp{kSection, "msg14"};
// Field name, "type".
inline constexpr CatalogueKey kFieldWithoutType{kSection, "msg15"};
// Field name, "visible".
inline constexpr CatalogueKey kFieldWithoutVisible{kSection, "msg16"};
// Field name, "isRequisite".
inline constexpr CatalogueKey kFieldWithoutIsRequisite{kSection, "msg17"};
inline constexpr CatalogueKey kRowNumberHeading{kSection, "msg18"};
inline constexpr CatalogueKey kErrorHeading{kSection, "msg19"};
// Number of rows.
inline constexpr CatalogueKey kStatisticsRows{kSection, "msg20"};
// Summary so far, amount, label.
inline constexpr CatalogueKey kStatisticsSum{kSection, "msg21"};
// Summary so far, amount, label.
inline constexpr CatalogueKey kStatisticsAverage{kSection, "msg22"};
// Summary so far, amount, label.
inline constexpr CatalogueKey kStatisticsMaximum{kSection, "msg23"};
// Summary so far, amount, label.
inline constexpr CatalogueKey kStatisticsMinimum{kSection, "msg24"};
// The heading.
inline constexpr CatalogueKey kHeadingMatchesNoField{kSection, "msg25"};
// Field name, default value.
inline constexpr CatalogueKey kInvisibleDefaultFails{kSection, "msg26"};
inline constexpr CatalogueKey kFixedLengthWithoutTypeLens{kSection, "msg27"};
// Application-captioned.
inline constexpr CatalogueKey kImportFileUnreadable{kSection, "msg28"};
inline constexpr CatalogueKey kLineLengthWrong{kSection, "msg29"};
// The heading. Unreachable here (the grid's columns are made from the fields), but named
// like every text of the catalogues.
inline constexpr CatalogueKey kColumnNamesNoField{kSection, "msg30"};
// The heading.
inline constexpr CatalogueKey kFieldLengthBelowOne{kSection, "msg31"};
inline constexpr CatalogueKey kNoRowsToExport{kSection, "msg32"};
// Yes/No.
inline constexpr CatalogueKey kConfirmDeleteRows{kSection, "msg33"};
inline constexpr CatalogueKey kNoKeyInstalled{kSection, "msg35"};
inline constexpr CatalogueKey kTextFileFilter{kSection, "msg36"};
inline constexpr CatalogueKey kImportDecryptFailed{kSection, "msg37"};
inline constexpr CatalogueKey kWorkbookReadFailed{kSection, "msg38"};
inline constexpr CatalogueKey kExportOverImport{kSection, "msg40"};
inline constexpr CatalogueKey kExportWriteFailed{kSection, "msg41"};
inline constexpr CatalogueKey kExportSealFailed{kSection, "msg42"};
inline constexpr CatalogueKey kExportDone{kSection, "msg43"};
// Drawn above the record table.
inline constexpr CatalogueKey kRecordsLabel{kSection, "msg44"};
// Context menu 32781.
inline constexpr CatalogueKey kAddRowMenu{kSection, "msg45"};
// Context menu 32771.
inline constexpr CatalogueKey kDeleteRowsMenu{kSection, "msg46"};
// Button 1044.
inline constexpr CatalogueKey kAddButton{kSection, "msg47"};
// Button 1045.
inline constexpr CatalogueKey kDeleteButton{kSection, "msg48"};
// Menu 32773.
inline constexpr CatalogueKey kImportMenu{kSection, "msg49"};
// Menu 32772.
inline constexpr CatalogueKey kExportMenu{kSection, "msg50"};
// Title of the menu bar's first menu.
inline constexpr CatalogueKey kOperationsMenu{kSection, "msg51"};
// Something other than a regular file is at the output path.
inline constexpr CatalogueKey kOutputNotRegularFile{kSection, "msg52"};
// Typed characters that GBK cannot hold (refused in the cell edit).
inline constexpr CatalogueKey kUnencodableCharacters{kSection, "msg53"};
// Number of error rows, shown beside the statistics.
inline constexpr CatalogueKey kErrorRowCount{kSection, "msg54"};
// Menu items that move to the next / previous error row.
inline constexpr CatalogueKey kNextErrorRowMenu{kSection, "msg55"};
inline constexpr CatalogueKey kPreviousErrorRowMenu{kSection, "msg56"};
// Menu item that pastes rows copied from a spreadsheet.
inline constexpr CatalogueKey kPasteRowsMenu{kSection, "msg57"};
// What a paste did not store: the count, one line per refused value (row, column
// heading, reason), the rest counted, and the values right of the last column.
inline constexpr CatalogueKey kPasteNotStored{kSection, "msg58"};
inline constexpr CatalogueKey kPasteRefusedValue{kSection, "msg59"};
inline constexpr CatalogueKey kPasteMoreRefused{kSection, "msg60"};
inline constexpr CatalogueKey kPasteBeyondLastColumn{kSection, "msg61"};
// A pasted value holding a tab or a line break would split its batch line.
inline constexpr CatalogueKey kPastedValueBreaksLine{kSection, "msg62"};
// A line of a batch text file holding a lone CR (old Mac line ends); its line number.
inline constexpr CatalogueKey kLoneCarriageReturn{kSection, "msg63"};
// A template definition file that is not GBK text; the number of its first such line.
inline constexpr CatalogueKey kTemplateNotGbk{kSection, "msg64"};
// What screen readers call the statistics box and the preview line, which have no
// label on screen.
inline constexpr CatalogueKey kStatisticsBoxName{kSection, "msg70"};
inline constexpr CatalogueKey kPreviewLineName{kSection, "msg71"};
// Menu items that take back the last change of the records and make it again.
inline constexpr CatalogueKey kUndoMenu{kSection, "msg72"};
inline constexpr CatalogueKey kRedoMenu{kSection, "msg73"};
// Leaving the editor (or the chooser) while it holds rows not exported since their last
// change: the number of rows. Answered No by default: the clerk stays.
inline constexpr CatalogueKey kDiscardUnexportedRows{kSection, "msg74"};
// An import would replace rows not exported: the number of rows.
inline constexpr CatalogueKey kImportOverUnexportedRows{kSection, "msg75"};
// A draft of this template was found: the number of rows and when it was kept.
inline constexpr CatalogueKey kRestoreDraft{kSection, "msg76"};
// A draft that does not open (another key, a damaged file): where it was set aside.
inline constexpr CatalogueKey kDraftUnreadable{kSection, "msg77"};
// The draft could not be written (no key, no space): once per window.
inline constexpr CatalogueKey kDraftNotWritten{kSection, "msg78"};
// Templates beyond the loader's limits: any token, the splitter, the statistics entries
// and their labels, the number of fields, a field's name, default value, type and length.
inline constexpr CatalogueKey kTemplateTokenTooLong{kSection, "msg90"};
inline constexpr CatalogueKey kTemplateSplitterTooLong{kSection, "msg91"};
inline constexpr CatalogueKey kTemplateTooManyStatistics{kSection, "msg92"};
inline constexpr CatalogueKey kTemplateStatisticsLabelTooLong{kSection, "msg93"};
inline constexpr CatalogueKey kTemplateTooManyFields{kSection, "msg94"};
inline constexpr CatalogueKey kTemplateFieldNameTooLong{kSection, "msg95"};
inline constexpr CatalogueKey kTemplateFieldValueTooLong{kSection, "msg96"};
inline constexpr CatalogueKey kTemplateFieldTypeTooLong{kSection, "msg97"};
inline constexpr CatalogueKey kTemplateFieldLengthTooLong{kSection, "msg98"};

}  // namespace brindlecot::catalogue::DialogModelDlg
