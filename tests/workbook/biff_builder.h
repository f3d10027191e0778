#pragma once

// Builds BIFF8 workbook streams record by record, so that tests can make the cells our
// writer never writes (numbers, dates, formulas, booleans) and every kind of damage.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_test {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(Bytes& out, std::uint32_t v) {
    PutU16(out, static_cast<std::uint16_t>(v));
    PutU16(out, static_cast<std::uint16_t>(v >> 16));
}
inline void PutDouble(Bytes& out, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    PutU32(out, static_cast<std::uint32_t>(bits));
    PutU32(out, static_cast<std::uint32_t>(bits >> 32));
}
// Characters one byte each (all below 256) or two bytes each.
inline void PutCharacters(Bytes& out, const std::u16string& text, bool wide) {
    for (char16_t c : text) {
        if (wide)
            PutU16(out, c);
        else
            out.push_back(static_cast<std::uint8_t>(c));
    }
}
// A string with a 16-bit count and its flags byte, whole.
inline Bytes UnicodeString(const std::u16string& text, bool wide) {
    Bytes out;
    PutU16(out, static_cast<std::uint16_t>(text.size()));
    out.push_back(wide ? 1 : 0);
    PutCharacters(out, text, wide);
    return out;
}

inline Bytes CellHead(std::uint16_t row, std::uint16_t column, std::uint16_t xf) {
    Bytes out;
    PutU16(out, row);
    PutU16(out, column);
    PutU16(out, xf);
    return out;
}

// A number packed as RK: `integer` stores value (or value * 100 with `times100`) as a
// 30-bit integer, otherwise the top 30 bits of the double are kept.
inline std::uint32_t Rk(double value, bool integer, bool times100) {
    std::uint32_t rk = 0;
    const double stored = times100 ? value * 100 : value;
    if (integer) {
        rk = static_cast<std::uint32_t>(static_cast<std::int32_t>(stored) * 4) | 0x02;
    } else {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &stored, sizeof bits);
        rk = static_cast<std::uint32_t>(bits >> 32) & 0xFFFFFFFCu;
    }
    return rk | (times100 ? 0x01 : 0x00);
}

class BiffStream {
public:
    void Record(std::uint16_t type, const Bytes& data) {
        PutU16(bytes_, type);
        PutU16(bytes_, static_cast<std::uint16_t>(data.size()));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    // A record header that claims `length` bytes, whatever follows.
    void RecordClaiming(std::uint16_t type, std::uint16_t length, const Bytes& data) {
        PutU16(bytes_, type);
        PutU16(bytes_, length);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    std::size_t size() const { return bytes_.size(); }
    Bytes& bytes() { return bytes_; }

private:
    Bytes bytes_;
};

// One workbook: globals with number formats, cell formats and shared strings (given as
// ready-made SST data and CONTINUE pieces), then the sheets with their cell records.
struct BiffWorkbook {
    struct Sheet {
        std::string name;
        std::vector<std::pair<std::uint16_t, Bytes>> records;  // between BOF and EOF
        bool worksheet = true;
        bool dimensions = true;  // a DIMENSIONS record first, spanning the cells
    };
    std::uint16_t activeTab = 0;
    bool date1904 = false;
    std::vector<std::pair<std::uint16_t, std::u16string>> formats;  // id, code
    std::vector<std::uint16_t> cellFormats;  // the format of cell XF 15, 16, ...
    std::vector<Bytes> sstPieces;            // the SST's data, then each CONTINUE's
    std::vector<std::pair<std::uint16_t, Bytes>> extraGlobals;
    std::vector<Sheet> sheets;

    static constexpr std::uint16_t kFirstCellXf = 15;

    static Bytes Bof(std::uint16_t kind) {
        Bytes out;
        PutU16(out, 0x0600);
        PutU16(out, kind);
        PutU16(out, 0x0DBB);
        PutU16(out, 0x07CC);
        PutU32(out, 0);
        PutU32(out, 6);
        return out;
    }

    // The SST data of `strings`, all in one record.
    static Bytes SharedStrings(const std::vector<std::u16string>& strings) {
        Bytes out;
        PutU32(out, static_cast<std::uint32_t>(strings.size()));
        PutU32(out, static_cast<std::uint32_t>(strings.size()));
        for (const auto& s : strings) {
            bool wide = false;
            for (char16_t c : s)
                wide = wide || c > 0xFF;
            const Bytes piece = UnicodeString(s, wide);
            out.insert(out.end(), piece.begin(), piece.end());
        }
        return out;
    }

    static Bytes Dimensions(const Sheet& sheet) {
        std::uint32_t rows = 0;
        std::uint16_t columns = 0;
        for (const auto& [type, data] : sheet.records) {
            if (data.size() < 4 ||
                (type != 0x0203 && type != 0x027E && type != 0x00FD && type != 0x0204 &&
                 type != 0x0205 && type != 0x0006 && type != 0x00BD))
                continue;
            const std::uint16_t row = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
            std::uint16_t last = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
            if (type == 0x00BD)
                last = static_cast<std::uint16_t>(data[data.size() - 2] |
                                                  (data[data.size() - 1] << 8));
            rows = std::max<std::uint32_t>(rows, row + 1u);
            columns = std::max<std::uint16_t>(columns, static_cast<std::uint16_t>(last + 1));
        }
        Bytes out;
        PutU32(out, 0);
        PutU32(out, rows);
        PutU16(out, 0);
        PutU16(out, columns);
        PutU16(out, 0);
        return out;
    }

    Bytes Build() const {
        BiffStream w;
        w.Record(0x0809, Bof(0x0005));
        Bytes window1;
        for (std::uint16_t v : {0, 0, 0x4000, 0x2000, 0x0038})
            PutU16(window1, v);
        PutU16(window1, activeTab);
        for (std::uint16_t v : {0, 1, 0x0258})
            PutU16(window1, v);
        w.Record(0x003D, window1);
        Bytes dateSystem;
        PutU16(dateSystem, date1904 ? 1 : 0);
        w.Record(0x0022, dateSystem);
        for (int i = 0; i < 4; ++i) {
            Bytes font;
            for (std::uint16_t v : {200, 0, 0x7FFF, 400, 0})
                PutU16(font, v);
            for (std::uint8_t v : {0, 0, 0, 0})
                font.push_back(v);
            font.push_back(5);
            font.push_back(0);
            for (char c : std::string("Arial"))
                font.push_back(static_cast<std::uint8_t>(c));
            w.Record(0x0031, font);
        }
        for (const auto& [id, code] : formats) {
            Bytes format;
            PutU16(format, id);
            const Bytes text = UnicodeString(code, true);
            format.insert(format.end(), text.begin(), text.end());
            w.Record(0x041E, format);
        }
        const auto xf = [&](std::uint16_t format, bool style) {
            Bytes out;
            PutU16(out, 0);
            PutU16(out, format);
            PutU16(out, style ? 0xFFF5 : 0x0001);
            for (int i = 0; i < 14; ++i)
                out.push_back(0);
            PutU16(out, 0x20C0);
            w.Record(0x00E0, out);
        };
        for (int i = 0; i < kFirstCellXf; ++i)
            xf(0, true);
        for (std::uint16_t format : cellFormats)
            xf(format, false);
        for (const auto& [type, data] : extraGlobals)
            w.Record(type, data);
        std::vector<std::size_t> offsetAt;
        for (const Sheet& sheet : sheets) {
            Bytes entry;
            offsetAt.push_back(w.size() + 4);
            PutU32(entry, 0);
            entry.push_back(0);
            entry.push_back(sheet.worksheet ? 0 : 2);
            entry.push_back(static_cast<std::uint8_t>(sheet.name.size()));
            entry.push_back(0);
            for (char c : sheet.name)
                entry.push_back(static_cast<std::uint8_t>(c));
            w.Record(0x0085, entry);
        }
        for (std::size_t i = 0; i < sstPieces.size(); ++i)
            w.Record(i == 0 ? 0x00FC : 0x003C, sstPieces[i]);
        w.Record(0x000A, {});
        for (std::size_t s = 0; s < sheets.size(); ++s) {
            const auto offset = static_cast<std::uint32_t>(w.size());
            for (int k = 0; k < 4; ++k)
                w.bytes()[offsetAt[s] + k] = static_cast<std::uint8_t>(offset >> (8 * k));
            w.Record(0x0809, Bof(sheets[s].worksheet ? 0x0010 : 0x0020));
            if (sheets[s].dimensions)
                w.Record(0x0200, Dimensions(sheets[s]));
            for (const auto& [type, data] : sheets[s].records)
                w.Record(type, data);
            w.Record(0x000A, {});
        }
        return std::move(w.bytes());
    }

    void WriteTo(const std::string& path) const {
        if (!workbook_detail::WriteCompoundFile(path, "Workbook", Build()))
            throw std::runtime_error("cannot write " + path);
    }
};

}  // namespace brindlecot::workbook_test
