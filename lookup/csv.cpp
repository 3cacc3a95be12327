#include "lookup/csv.h"

namespace {

bool IsLineEnd(std::string_view text, size_t at) { return text[at] == '\n' || text.substr(at, 2) == "\r\n"; }

} // namespace

bool ReadCsv(std::string_view text, std::vector<CsvRecord>& records, size_t& errorLine, std::string& reason)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    records.clear();
    size_t line = 1;
    size_t at = 0;
    while (at < text.size()) {
        if (IsLineEnd(text, at)) { // a blank line
            at += text[at] == '\r' ? 2 : 1;
            ++line;
            continue;
        }
        CsvRecord record{line, {}};
        for (bool more = true; more;) {
            std::string field;
            if (at < text.size() && text[at] == '"') {
                const size_t opened = line;
                for (++at;; ++at) {
                    if (at >= text.size()) {
                        errorLine = opened;
                        reason = "a quoted field is not closed";
                        return false;
                    }
                    if (text[at] == '"') {
                        if (at + 1 < text.size() && text[at + 1] == '"')
                            ++at;
                        else
                            break;
                    } else if (text[at] == '\n') {
                        ++line;
                    }
                    field += text[at];
                }
                ++at; // the closing quote
                if (at < text.size() && text[at] != ',' && !IsLineEnd(text, at)) {
                    errorLine = line;
                    reason = "text after the closing quote of a field";
                    return false;
                }
            } else {
                for (; at < text.size() && text[at] != ',' && !IsLineEnd(text, at); ++at) {
                    if (text[at] == '"') {
                        errorLine = line;
                        reason = "a quote inside an unquoted field";
                        return false;
                    }
                    field += text[at];
                }
            }
            record.fields.push_back(std::move(field));
            more = at < text.size() && text[at] == ',';
            if (more)
                ++at;
        }
        if (at < text.size()) { // the line end
            at += text[at] == '\r' ? 2 : 1;
            ++line;
        }
        records.push_back(std::move(record));
    }
    return true;
}

std::string CsvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        const std::string& field = fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (char c : field) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    return line + '\n';
}
