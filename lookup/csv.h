// Comma-separated records as RFC 4180 writes them: fields in double quotes may
// hold commas, line breaks and doubled quotes; lines end in CR LF or LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CsvRecord {
    size_t line = 0; // where the record starts, from 1
    std::vector<std::string> fields;
};

// Every record of `text`; blank lines are skipped, a leading UTF-8 byte-order
// mark is ignored. A malformed record (a quote left open, text after a closing
// quote, a quote inside an unquoted field): false, with its line and reason.
bool ReadCsv(std::string_view text, std::vector<CsvRecord>& records, size_t& errorLine, std::string& reason);

// One record as a line (ending in LF), quoting the fields that need it.
std::string CsvLine(const std::vector<std::string>& fields);
