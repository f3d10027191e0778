// Writes, into the folder named on the command line, .xlsx packages of a few hundred
// kilobytes whose sheet holds one name or attribute value of 64 MB. They are made when the
// tests run rather than kept in the corpus: only their compressed form is small.
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kTokenBytes = 64u << 20;

const char kRelationships[] =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
const char kWorkbook[] =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"r1\"/></sheets></workbook>";
const char kWorkbookRelationships[] =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";

bool WritePackage(const std::string& path, const std::string& sheet) {
    const std::vector<std::pair<const char*, std::string>> parts{
        {"_rels/.rels", kRelationships},
        {"xl/workbook.xml", kWorkbook},
        {"xl/_rels/workbook.xml.rels", kWorkbookRelationships},
        {"xl/worksheets/sheet1.xml",
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + sheet +
             "</worksheet>"},
    };
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return false;
    bool written = true;
    for (const auto& [name, content] : parts) {
        zip_fileinfo info{};
        written = written &&
                  zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_BEST_COMPRESSION) == ZIP_OK &&
                  zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size())) ==
                      ZIP_OK &&
                  zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const std::string token(kTokenBytes, 'a');
    const bool made = WritePackage((folder / "huge_element_name.xlsx").string(),
                                   "<sheetData><" + token + "/></sheetData>") &&
                      WritePackage((folder / "huge_attribute_value.xlsx").string(),
                                   "<sheetData><row r=\"1\" spans=\"" + token + "\"/></sheetData>");
    return made ? 0 : 1;
}
