// The report's worked examples and a frame for every name the report prints
// from a table, kept as files: golden/cases.list names, one case a line, a
// frame as hex text and the exact output it must give.
#include <cstdio>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "report/name_tables.h"
#include "report/report_block.h"
#include "report_test_support.h"

namespace {

struct GoldenCase {
    std::string name, frameFile, expectedFile;
    std::optional<uint32_t> storedLength;
    CaptureTime time{};
    uint32_t number = 0;
    std::optional<std::tm> created; // the whole one-frame report, its banner made then
    std::string error;              // why the table line could not be read
};

// Reads one "key=value" option into c; false when it is not one.
bool ReadOption(const std::string& option, GoldenCase& c)
{
    unsigned a, b, d, e, f;
    char tail;
    if (std::sscanf(option.c_str(), "time=%u:%u:%u.%u%c", &a, &b, &d, &e, &tail) == 4) {
        c.time = {.minute = uint8_t(b), .hour = uint8_t(a), .hundredths = uint8_t(e), .second = uint8_t(d)};
    } else if (std::sscanf(option.c_str(), "number=%u%c", &a, &tail) == 1) {
        c.number = a;
    } else if (std::sscanf(option.c_str(), "stored=%u%c", &a, &tail) == 1) {
        c.storedLength = a;
    } else if (std::sscanf(option.c_str(), "created=%u-%u-%u_%u:%u%c", &a, &b, &d, &e, &f, &tail) == 5) {
        std::tm created{};
        created.tm_mday = int(a), created.tm_mon = int(b) - 1, created.tm_year = int(d) - 1900;
        created.tm_hour = int(e), created.tm_min = int(f);
        c.created = created;
    } else {
        return false;
    }
    return true;
}

// The table's cases; a line that cannot be read becomes a case that fails.
std::vector<GoldenCase> ReadCases()
{
    std::ifstream table(GoldenFile("cases.list"));
    std::vector<GoldenCase> cases;
    if (!table) {
        cases.emplace_back().name = "cases_list";
        cases.back().error = "cannot read " + GoldenFile("cases.list");
    }
    std::string line;
    for (int number = 1; std::getline(table, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        GoldenCase c;
        fields >> c.name >> c.frameFile >> c.expectedFile;
        for (std::string option; fields >> option;)
            if (!ReadOption(option, c))
                c.error += "unknown option " + option + "; ";
        if (c.expectedFile.empty())
            c.error += "fewer than three fields; ";
        if (!std::regex_match(c.name, std::regex("[A-Za-z0-9_]+"))) {
            c.error += "a name of letters, digits and _ only; ";
            c.name = "line_" + std::to_string(number);
        }
        if (!c.error.empty())
            c.error = "cases.list line " + std::to_string(number) + ": " + c.error;
        cases.push_back(c);
    }
    return cases;
}

void PrintTo(const GoldenCase& c, std::ostream* out) { *out << c.name; }

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, OutputEqualsTheExpectedFile)
{
    const GoldenCase& c = GetParam();
    ASSERT_EQ(c.error, "");
    Bytes frame = ReadGoldenFrame(c.frameFile);
    frame.shrink_to_fit(); // exactly sized, so a sanitizer catches any read past it
    const std::string expected = ReadFile(GoldenFile(c.expectedFile));
    ASSERT_FALSE(frame.empty()) << c.frameFile;
    ASSERT_FALSE(expected.empty()) << c.expectedFile;
    const std::string output = CaptureOutput([&] {
        if (c.created)
            WriteReportBanner(*c.created);
        WriteFrameBlock(frame, c.storedLength.value_or(static_cast<uint32_t>(frame.size())), c.time, c.number);
        if (c.created)
            WriteReportEnd();
    });
    EXPECT_EQ(output, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return info.param.name; });

// Each name a table gives, as the line it is printed on shows it with its
// value, in at least one expected file. A typo in a table entry fails its
// golden case and this check; an entry that no case prints fails this check.
TEST(GoldenCases, PrintEveryNameOfEveryTable)
{
    Lines lines;
    for (const GoldenCase& c : ReadCases()) {
        const Lines more = SplitCrLf(ReadFile(GoldenFile(c.expectedFile)));
        lines.insert(lines.end(), more.begin(), more.end());
    }
    // The value and the name on each line of the form given (the value in
    // the given base, and the first of the two groups unless nameFirst).
    const auto printed = [&](const char* form, int base, bool nameFirst) {
        std::set<std::pair<uint32_t, std::string>> found;
        const std::regex pattern(form);
        std::smatch m;
        for (const std::string& line : lines)
            if (std::regex_match(line, m, pattern))
                found.insert(
                    {static_cast<uint32_t>(std::stoul(m[nameFirst ? 2 : 1], nullptr, base)), m[nameFirst ? 1 : 2]});
        return found;
    };
    // Every name nameOf gives for the values below values, printed beside one of them.
    const auto expectEveryName = [](const auto& found, uint32_t values, auto nameOf, const char* table) {
        std::set<std::string> names, covered;
        for (uint32_t value = 0; value < values; ++value)
            names.insert(std::string(nameOf(value)));
        for (const auto& [value, name] : found)
            if (value < values && nameOf(value) == name)
                covered.insert(name);
        for (const std::string& name : names)
            EXPECT_TRUE(covered.count(name)) << table << ": \"" << name << "\"";
    };
    expectEveryName(
        printed("IP 8 bits Protocol type:(.*) = ([0-9A-F]{2})h  IP 16 bits Header Checksum: +[0-9A-F]{4}h", 16, true),
        256, [](uint32_t v) { return IpProtocolName(uint8_t(v)); }, "IP protocols");
    expectEveryName(
        printed("ARP 16 bits operation code:      ([0-9A-F]{4})h (.*)", 16, false), 65536,
        [](uint32_t v) { return ArpOperationName(uint16_t(v)); }, "ARP operations");
    expectEveryName(
        printed("ICMP type field: ([0-9]+)d (.*)", 10, false), 256, [](uint32_t v) { return IcmpTypeName(uint8_t(v)); },
        "ICMP types");
    const auto flagLines = printed("TCP 6 bits control flags : ([0-9A-F]{2})h (.*)", 16, false);
    for (const TcpFlagName& flag : TcpFlagNames()) {
        bool shown = false;
        for (const auto& [flags, names] : flagLines)
            shown |= (flags & flag.bit) && names.find(flag.name) != std::string::npos;
        EXPECT_TRUE(shown) << "TCP flags: \"" << flag.name << "\"";
    }
}

} // namespace
