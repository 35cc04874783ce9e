#pragma once

// A strict reader of CSV as RFC 4180 defines it, for tests of the files the project writes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::testing {

struct CsvText {
    std::vector<std::vector<std::string>> rows;
    // Where the text stops being CSV, or what is left after the last whole row; empty when the
    // text is whole rows.
    std::string error;
};

// Rows end with CR LF, fields are separated by commas; a field in quotes may hold commas, CR,
// LF and doubled quotes. A quote inside an unquoted field, a lone CR or LF outside quotes, a
// character after a closing quote other than a comma or CR LF, and a last row without its
// CR LF are errors; the rows before the error are kept.
inline CsvText parseCsv(std::string_view text) {
    CsvText result;
    std::vector<std::string> row;
    std::size_t i = 0;
    const auto fail = [&](std::string what) {
        result.error = what + " at byte " + std::to_string(i);
        return result;
    };
    while (i < text.size()) {
        std::string field;
        if (text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size()) return fail("an unterminated quoted field");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.push_back(text[i++]);
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                if (text[i] == '"') return fail("a quote in an unquoted field");
                field.push_back(text[i++]);
            }
        }
        row.push_back(std::move(field));
        if (i >= text.size()) return fail("a row without CR LF");
        if (text[i] == ',') {
            ++i;
            if (i >= text.size()) return fail("a row without CR LF");
            continue;
        }
        if (text.substr(i, 2) != "\r\n") return fail("a stray character or line end");
        i += 2;
        result.rows.push_back(std::move(row));
        row.clear();
    }
    return result;
}

}  // namespace orvane::testing
