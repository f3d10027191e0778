// The compound-file container (version 3, 512-byte sectors) that holds a BIFF8 workbook.

#include <cstdio>
#include <memory>

#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {
namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

std::uint32_t SectorsFor(std::uint64_t bytes) {
    return static_cast<std::uint32_t>((bytes + kSectorSize - 1) / kSectorSize);
}

void DirectoryEntry(ByteWriter& out, std::u16string_view name, std::uint8_t type,
                    std::uint32_t child, std::uint32_t start, std::uint32_t size) {
    for (char16_t c : name)
        out.U16(c);
    out.Zeros(64 - name.size() * 2);
    out.U16(name.empty() ? 0 : static_cast<std::uint16_t>((name.size() + 1) * 2));
    out.U8(type);
    out.U8(1);  // black
    out.U32(kNoStream);
    out.U32(kNoStream);
    out.U32(child);
    out.Zeros(16 + 4 + 8 + 8);  // class id, state bits, creation and modification times
    out.U32(start);
    out.U32(size);
    out.U32(0);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool WriteCompoundFile(const std::string& path, std::string_view streamName,
                       const std::vector<std::uint8_t>& data) {
    return WriteCompoundFile(path, streamName, std::vector<std::uint8_t>(data));
}

bool WriteCompoundFile(const std::string& path, std::string_view streamName,
                       std::vector<std::uint8_t>&& stream) {
    // Streams below the cutoff would belong in the mini stream; padding the stream up to
    // the cutoff keeps one kind of storage. Readers stop at the workbook's EOF record.
    if (stream.size() < kMiniStreamCutoff)
        stream.resize(kMiniStreamCutoff, 0);
    if (stream.size() > 0xFFFFFE00u)
        return false;

    const std::uint32_t streamSectors = SectorsFor(stream.size());
    const std::uint32_t directorySectors = 1;
    std::uint32_t fatSectors = 0;
    std::uint32_t difatSectors = 0;
    for (;;) {
        const std::uint32_t needed = streamSectors + directorySectors + fatSectors + difatSectors;
        const std::uint32_t fat = (needed + kEntriesPerSector - 1) / kEntriesPerSector;
        const std::uint32_t difat =
            fat > kHeaderDifatEntries
                ? (fat - kHeaderDifatEntries + kEntriesPerSector - 2) / (kEntriesPerSector - 1)
                : 0;
        if (fat == fatSectors && difat == difatSectors)
            break;
        fatSectors = fat;
        difatSectors = difat;
    }
    // Layout: stream, directory, FAT, DIFAT.
    const std::uint32_t directoryStart = streamSectors;
    const std::uint32_t fatStart = directoryStart + directorySectors;
    const std::uint32_t difatStart = fatStart + fatSectors;

    std::vector<std::uint32_t> fat(static_cast<std::size_t>(fatSectors) * kEntriesPerSector,
                                   kFreeSector);
    for (std::uint32_t i = 0; i < streamSectors; ++i)
        fat[i] = i + 1 < streamSectors ? i + 1 : kEndOfChain;
    fat[directoryStart] = kEndOfChain;
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        fat[fatStart + i] = kFatSector;
    for (std::uint32_t i = 0; i < difatSectors; ++i)
        fat[difatStart + i] = kDifatSector;

    ByteWriter header;
    header.Bytes(kSignature, sizeof kSignature);
    header.Zeros(16);
    header.U16(0x003E);
    header.U16(0x0003);
    header.U16(0xFFFE);
    header.U16(9);  // 512-byte sectors
    header.U16(6);  // 64-byte mini sectors
    header.Zeros(6);
    header.U32(0);  // directory sectors: always 0 in version 3
    header.U32(fatSectors);
    header.U32(directoryStart);
    header.U32(0);
    header.U32(kMiniStreamCutoff);
    header.U32(kEndOfChain);  // no mini FAT
    header.U32(0);
    header.U32(difatSectors ? difatStart : kEndOfChain);
    header.U32(difatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        header.U32(i < fatSectors ? fatStart + i : kFreeSector);

    ByteWriter directory;
    std::u16string name(streamName.begin(), streamName.end());
    DirectoryEntry(directory, u"Root Entry", 5, 1, kEndOfChain, 0);
    DirectoryEntry(directory, name, 2, kNoStream, 0, static_cast<std::uint32_t>(stream.size()));
    DirectoryEntry(directory, u"", 0, kNoStream, 0, 0);
    DirectoryEntry(directory, u"", 0, kNoStream, 0, 0);

    ByteWriter tail;  // directory, FAT and DIFAT sectors
    tail.Reserve(directory.size() + fat.size() * 4 + std::size_t{difatSectors} * kSectorSize);
    tail.Bytes(directory.bytes().data(), directory.size());
    for (std::uint32_t entry : fat)
        tail.U32(entry);
    for (std::uint32_t d = 0; d < difatSectors; ++d) {
        for (std::uint32_t k = 0; k < kEntriesPerSector - 1; ++k) {
            const std::uint32_t index = kHeaderDifatEntries + d * (kEntriesPerSector - 1) + k;
            tail.U32(index < fatSectors ? fatStart + index : kFreeSector);
        }
        tail.U32(d + 1 < difatSectors ? difatStart + d + 1 : kEndOfChain);
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    const std::size_t padding =
        static_cast<std::size_t>(streamSectors) * kSectorSize - stream.size();
    stream.resize(stream.size() + padding, 0);
    bool written =
        std::fwrite(header.bytes().data(), 1, header.size(), file.get()) == header.size() &&
        std::fwrite(stream.data(), 1, stream.size(), file.get()) == stream.size() &&
        std::fwrite(tail.bytes().data(), 1, tail.size(), file.get()) == tail.size();
    std::FILE* raw = file.release();
    written = (std::fclose(raw) == 0) && written;
    return written;
}

namespace {

// Follows a sector chain through the FAT, refusing loops and sectors outside the file.
std::optional<std::vector<std::uint32_t>> Chain(const std::vector<std::uint32_t>& fat,
                                                std::uint32_t start, std::uint32_t sectorCount) {
    std::vector<std::uint32_t> chain;
    std::uint32_t sector = start;
    while (sector != kEndOfChain) {
        if (sector >= sectorCount || sector >= fat.size() || chain.size() > sectorCount)
            return std::nullopt;
        chain.push_back(sector);
        sector = fat[sector];
    }
    return chain;
}

}  // namespace

namespace {

// The FAT of a compound file, with the facts needed to walk it; nothing when the header or
// the FAT's own sectors are unsound.
struct Layout {
    std::size_t sectorSize = 0;
    std::uint32_t sectorCount = 0;
    std::vector<std::uint32_t> fat;
};

std::optional<Layout> ReadLayout(std::span<const std::uint8_t> file) {
    const ByteReader in(file.data(), file.size());
    if (!in.Has(0, kSectorSize))
        return std::nullopt;
    for (std::size_t i = 0; i < sizeof kSignature; ++i)
        if (file[i] != kSignature[i])
            return std::nullopt;
    const std::uint16_t major = in.U16(26);
    const std::uint16_t shift = in.U16(30);
    if (in.U16(28) != 0xFFFE || in.U16(32) != 6)
        return std::nullopt;
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)))
        return std::nullopt;
    Layout layout;
    layout.sectorSize = std::size_t{1} << shift;
    if (file.size() < layout.sectorSize * 2)
        return std::nullopt;
    layout.sectorCount =
        static_cast<std::uint32_t>((file.size() - layout.sectorSize) / layout.sectorSize);
    const auto sectorOffset = [&](std::uint32_t s) {
        return (static_cast<std::size_t>(s) + 1) * layout.sectorSize;
    };
    const std::size_t perSector = layout.sectorSize / 4;

    std::vector<std::uint32_t> fatSectorList;
    const std::uint32_t fatCount = in.U32(44);
    if (fatCount == 0 || fatCount > layout.sectorCount)
        return std::nullopt;
    for (std::uint32_t i = 0; i < kHeaderDifatEntries && fatSectorList.size() < fatCount; ++i)
        fatSectorList.push_back(in.U32(76 + i * 4));
    std::uint32_t difat = in.U32(68);
    std::uint32_t guard = 0;
    while (fatSectorList.size() < fatCount && difat < layout.sectorCount &&
           guard++ <= layout.sectorCount) {
        const std::size_t base = sectorOffset(difat);
        for (std::size_t k = 0; k + 1 < perSector && fatSectorList.size() < fatCount; ++k)
            fatSectorList.push_back(in.U32(base + k * 4));
        difat = in.U32(base + (perSector - 1) * 4);
    }
    if (fatSectorList.size() < fatCount)
        return std::nullopt;
    layout.fat.reserve(fatSectorList.size() * perSector);
    for (std::uint32_t s : fatSectorList) {
        if (s >= layout.sectorCount)
            return std::nullopt;
        for (std::size_t k = 0; k < perSector; ++k)
            layout.fat.push_back(in.U32(sectorOffset(s) + k * 4));
    }
    return layout;
}

}  // namespace

bool IsSoundCompoundFile(std::span<const std::uint8_t> file) {
    const auto layout = ReadLayout(file);
    if (!layout)
        return false;
    const ByteReader in(file.data(), file.size());
    const auto directory = Chain(layout->fat, in.U32(48), layout->sectorCount);
    if (!directory || directory->empty())
        return false;
    const std::uint32_t miniCutoff = in.U32(56);
    if (miniCutoff != kMiniStreamCutoff)
        return false;
    const auto miniFat = Chain(layout->fat, in.U32(60), layout->sectorCount);
    if (!miniFat)
        return false;
    const std::uint64_t entryCount =
        static_cast<std::uint64_t>(directory->size()) * layout->sectorSize / 128;
    std::uint64_t rootMiniSize = 0;
    for (std::size_t d = 0; d < directory->size(); ++d) {
        const std::size_t base = ((*directory)[d] + 1) * layout->sectorSize;
        for (std::size_t k = 0; k < layout->sectorSize / 128; ++k) {
            const std::size_t entry = base + k * 128;
            const std::uint16_t nameBytes = in.U16(entry + 64);
            const std::uint8_t type = file[entry + 66];
            if (type == 0)
                continue;
            if (type != 1 && type != 2 && type != 5)
                return false;
            if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2 != 0)
                return false;
            if (in.U16(entry + nameBytes - 2) != 0)
                return false;  // the terminator
            for (std::size_t link : {68u, 72u, 76u}) {
                const std::uint32_t id = in.U32(entry + link);
                if (id != kNoStream && id >= entryCount)
                    return false;
            }
            std::uint64_t size = in.U32(entry + 120);
            if (layout->sectorSize == 4096)
                size |= static_cast<std::uint64_t>(in.U32(entry + 124)) << 32;
            if (type == 1)
                continue;
            if (size > file.size())
                return false;
            if (type == 5)
                rootMiniSize = size;
            const std::uint32_t start = in.U32(entry + 116);
            if (size == 0)
                continue;
            if (type == 2 && size < miniCutoff)
                continue;  // in the mini stream; checked on reading
            const auto chain = Chain(layout->fat, start, layout->sectorCount);
            if (!chain || static_cast<std::uint64_t>(chain->size()) * layout->sectorSize < size)
                return false;
        }
    }
    return rootMiniSize <= static_cast<std::uint64_t>(layout->sectorCount) * layout->sectorSize;
}

std::optional<std::vector<std::uint8_t>> ReadCompoundFileStream(std::span<const std::uint8_t> file,
                                                                std::u16string_view streamName) {
    const auto layout = ReadLayout(file);
    if (!layout)
        return std::nullopt;
    const ByteReader in(file.data(), file.size());
    const std::size_t sectorSize = layout->sectorSize;
    const std::uint32_t sectorCount = layout->sectorCount;
    const std::vector<std::uint32_t>& fat = layout->fat;
    const std::uint16_t shift = sectorSize == 4096 ? 12 : 9;
    const auto sectorOffset = [&](std::uint32_t s) {
        return (static_cast<std::size_t>(s) + 1) * sectorSize;
    };

    const auto readChain = [&](std::uint32_t start,
                               std::uint64_t size) -> std::optional<std::vector<std::uint8_t>> {
        auto chain = Chain(fat, start, sectorCount);
        if (!chain || static_cast<std::uint64_t>(chain->size()) * sectorSize < size)
            return std::nullopt;
        std::vector<std::uint8_t> bytes;
        bytes.reserve(chain->size() * sectorSize);
        for (std::uint32_t s : *chain)
            bytes.insert(bytes.end(), file.begin() + sectorOffset(s),
                         file.begin() + sectorOffset(s) + sectorSize);
        bytes.resize(size);
        return bytes;
    };

    auto directory = Chain(fat, in.U32(48), sectorCount);
    if (!directory)
        return std::nullopt;
    auto directoryBytes =
        readChain(in.U32(48), static_cast<std::uint64_t>(directory->size()) * sectorSize);
    if (!directoryBytes)
        return std::nullopt;
    const ByteReader entries(directoryBytes->data(), directoryBytes->size());

    std::optional<std::pair<std::uint32_t, std::uint64_t>> found;
    std::pair<std::uint32_t, std::uint64_t> root{kEndOfChain, 0};
    for (std::size_t offset = 0; entries.Has(offset, 128); offset += 128) {
        const std::uint8_t type = directoryBytes->at(offset + 66);
        const std::uint16_t nameBytes = entries.U16(offset + 64);
        std::uint64_t size = entries.U32(offset + 120);
        if (shift == 12)
            size |= static_cast<std::uint64_t>(entries.U32(offset + 124)) << 32;
        if (type == 5)
            root = {entries.U32(offset + 116), size};
        if (type != 2 || nameBytes < 2 || nameBytes > 64)
            continue;
        std::u16string name;
        for (std::size_t k = 0; k + 1 < nameBytes / 2u; ++k)
            name.push_back(static_cast<char16_t>(entries.U16(offset + k * 2)));
        std::u16string wanted(streamName);
        const auto fold = [](std::u16string& s) {
            for (auto& c : s)
                if (c >= u'a' && c <= u'z')
                    c = static_cast<char16_t>(c - 32);
        };
        fold(name);
        fold(wanted);
        if (name == wanted) {
            found = std::pair{entries.U32(offset + 116), size};
            break;
        }
    }
    if (!found)
        return std::nullopt;
    if (found->second > file.size())
        return std::nullopt;
    if (found->second >= in.U32(56))
        return readChain(found->first, found->second);

    // A small stream lives in the mini stream, addressed through the mini FAT.
    if (root.second > file.size())
        return std::nullopt;
    auto miniStream = readChain(root.first, root.second);
    const std::uint32_t miniFatStart = in.U32(60);
    auto miniFatChain = Chain(fat, miniFatStart, sectorCount);
    if (!miniStream || !miniFatChain)
        return std::nullopt;
    auto miniFatBytes =
        readChain(miniFatStart, static_cast<std::uint64_t>(miniFatChain->size()) * sectorSize);
    if (!miniFatBytes)
        return std::nullopt;
    std::vector<std::uint32_t> miniFat;
    const ByteReader miniIn(miniFatBytes->data(), miniFatBytes->size());
    for (std::size_t k = 0; miniIn.Has(k, 4); k += 4)
        miniFat.push_back(miniIn.U32(k));
    const std::uint32_t miniSectors = static_cast<std::uint32_t>(miniStream->size() / 64);
    auto chain = Chain(miniFat, found->first, miniSectors);
    if (!chain || chain->size() * 64 < found->second)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t s : *chain)
        bytes.insert(bytes.end(), miniStream->begin() + static_cast<std::ptrdiff_t>(s) * 64,
                     miniStream->begin() + (static_cast<std::ptrdiff_t>(s) + 1) * 64);
    bytes.resize(found->second);
    return bytes;
}

}  // namespace brindlecot::workbook_detail
