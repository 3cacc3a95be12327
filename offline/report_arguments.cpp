#include "offline/report_arguments.h"

#include <getopt.h>

#include <charconv>
#include <vector>

#include "filter/filter_option.h"
#include "offline/parallel_blocks.h"
#include "session/session_buffer.h"

namespace {

enum LongOnly { kVersion = 256, kRing, kSeconds, kFilter1, kFilter2 };

constexpr option kOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"output", required_argument, nullptr, 'o'},
    {"list-adapters", no_argument, nullptr, 'D'},
    {"adapter", required_argument, nullptr, 'i'},
    {"session", required_argument, nullptr, 'c'},
    {"ring", required_argument, nullptr, kRing},
    {"seconds", required_argument, nullptr, kSeconds},
    {"filter1", required_argument, nullptr, kFilter1},
    {"filter2", required_argument, nullptr, kFilter2},
    {"write", required_argument, nullptr, 'w'},
    {"jobs", required_argument, nullptr, 'j'},
    {nullptr, 0, nullptr, 0},
};

// The option as the user wrote it, for a message about it: element is the
// command-line word getopt_long was reading, shortOption its optopt.
std::string Spelling(std::string_view element, int shortOption)
{
    if (element.starts_with("--"))
        return std::string(element.substr(0, element.find('=')));
    return std::string("-") + static_cast<char>(shortOption);
}

// What an option's missing argument is.
std::string_view ArgumentOf(int option)
{
    switch (option) {
    case 'i':
        return "an adapter name";
    case 'c':
    case 'j':
    case kRing:
    case kSeconds:
        return "a number";
    case kFilter1:
    case kFilter2:
        return "the filter's SETTINGS";
    default:
        return "a file name";
    }
}

// What has been given so far, and the first option that only a live capture takes.
struct Seen {
    bool input = false, output = false, adapter = false, size = false, seconds = false, write = false, jobs = false;
    std::string captureOnly;
};

// A name given once and not empty: the capture to read, OUT, the -w file, the
// adapter. `twice` and `empty` are the refusals.
bool TakeName(bool& given, std::string& name, std::string_view value, const char* twice, const char* empty,
              std::string& problem)
{
    if (given) {
        problem = twice;
        return false;
    }
    if (value.empty()) {
        problem = empty;
        return false;
    }
    given = true;
    name = value;
    return true;
}

bool TakeInput(ReportArguments& arguments, Seen& seen, std::string_view value, std::string& problem)
{
    return TakeName(seen.input, arguments.input, value, "more than one capture file", "empty capture file name",
                    problem);
}

// A whole decimal number from lowest to highest, nothing else.
bool ReadNumber(std::string_view text, uint32_t lowest, uint32_t highest, uint32_t& number)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return error == std::errc() && stop == end && number >= lowest && number <= highest;
}

bool TakeSize(ReportArguments& arguments, Seen& seen, std::string_view spelling, bool continuous,
              std::string_view value, std::string& problem)
{
    if (seen.size) {
        problem = "give one buffer size, with -c or with --ring";
        return false;
    }
    if (!ReadNumber(value, 1, SessionBuffer::kMaxCapacity, arguments.slots)) {
        problem
            = std::string(spelling) + " needs a number of frames from 1 to 5000, not \"" + std::string(value) + "\"";
        return false;
    }
    seen.size = true;
    arguments.continuous = continuous;
    return true;
}

bool TakeSeconds(ReportArguments& arguments, Seen& seen, std::string_view value, std::string& problem)
{
    if (seen.seconds) {
        problem = "--seconds given more than once";
        return false;
    }
    if (!ReadNumber(value, 1, 1'000'000'000, arguments.seconds)) {
        problem = "--seconds needs a whole number of seconds from 1 on, not \"" + std::string(value) + "\"";
        return false;
    }
    seen.seconds = true;
    return true;
}

bool TakeJobs(ReportArguments& arguments, Seen& seen, std::string_view spelling, std::string_view value,
              std::string& problem)
{
    if (seen.jobs) {
        problem = "-j given more than once";
        return false;
    }
    if (!ReadNumber(value, 1, kMaxJobs, arguments.jobs)) {
        problem = std::string(spelling) + " needs a number of threads from 1 to " + std::to_string(kMaxJobs)
            + ", not \"" + std::string(value) + "\"";
        return false;
    }
    seen.jobs = true;
    return true;
}

bool TakeFilter(ReportArguments& arguments, int number, std::string_view value, std::string& problem)
{
    const std::string spelling = "--filter" + std::to_string(number);
    bool& given = arguments.filterGiven[number - 1];
    if (given) {
        problem = spelling + " given more than once";
        return false;
    }
    if (!ReadFilterOption(value, arguments.filters[number - 1], problem)) {
        problem = spelling + ": " + problem;
        return false;
    }
    given = true;
    return true;
}

// One option with its argument (if any); false with problem set.
bool TakeOption(int option, std::string_view word, std::string_view value, ReportArguments& arguments, Seen& seen,
                std::string& problem)
{
    const bool captureOnly = option == 'c' || option == kRing || option == kSeconds || option == kFilter1
        || option == kFilter2 || option == 'w';
    if (captureOnly && seen.captureOnly.empty())
        seen.captureOnly = Spelling(word, option);
    switch (option) {
    case 'o':
        return TakeName(seen.output, arguments.output, value, "-o given more than once", "empty output file name",
                        problem);
    case 'i':
        return TakeName(seen.adapter, arguments.adapter, value, "-i given more than once", "empty adapter name",
                        problem);
    case 'c':
        return TakeSize(arguments, seen, Spelling(word, option), false, value, problem);
    case kRing:
        return TakeSize(arguments, seen, "--ring", true, value, problem);
    case kSeconds:
        return TakeSeconds(arguments, seen, value, problem);
    case kFilter1:
        return TakeFilter(arguments, 1, value, problem);
    case kFilter2:
        return TakeFilter(arguments, 2, value, problem);
    case 'w':
        return TakeName(seen.write, arguments.captureFile, value, "-w given more than once",
                        "empty capture file name for -w", problem);
    case 'j':
        return TakeJobs(arguments, seen, Spelling(word, option), value, problem);
    case 1:
        return TakeInput(arguments, seen, value, problem);
    }
    return false;
}

// The options that go together, once all are read.
bool CheckCombination(ReportArguments& arguments, const Seen& seen, std::string& problem)
{
    if (!seen.adapter) {
        if (!seen.captureOnly.empty()) {
            problem = seen.captureOnly + " is for a live capture: it needs -i ADAPTER";
            return false;
        }
        if (!seen.input) {
            problem = "no capture file given";
            return false;
        }
        return true;
    }
    if (seen.input) {
        problem = "-i captures live: give no capture file with it";
        return false;
    }
    if (arguments.output == "-" && arguments.captureFile == "-") {
        problem = "-o and -w cannot both write to standard output";
        return false;
    }
    if (arguments.output == arguments.captureFile) {
        problem = "-o and -w name the same file";
        return false;
    }
    arguments.action = ReportArguments::Action::Capture;
    return true;
}

} // namespace

bool ParseReportArguments(int argc, const char* const* argv, ReportArguments& arguments, std::string& problem)
{
    arguments = ReportArguments{};
    // getopt_long reorders its array: it gets a copy.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(const_cast<char*>(argv[i]));
    args.push_back(nullptr);

    Seen seen;
    optind = 0; // a fresh scan, also when called again
    opterr = 0; // the messages are ours
    // "-": operands come back in place as option 1, whatever POSIXLY_CORRECT
    // says; ":": a missing argument is told apart from an unknown option.
    for (;;) {
        // The word being read: optind moves past it only once it is used up.
        const int at = optind == 0 ? 1 : optind;
        const std::string_view word = at < argc ? args[static_cast<size_t>(at)] : "";
        const int option = getopt_long(argc, args.data(), "-:ho:Di:c:w:j:", kOptions, nullptr);
        if (option == -1)
            break;
        switch (option) {
        case 'h':
            arguments.action = ReportArguments::Action::Help;
            return true;
        case kVersion:
            arguments.action = ReportArguments::Action::Version;
            return true;
        case 'D':
            arguments.action = ReportArguments::Action::ListAdapters;
            return true;
        case ':':
            problem = Spelling(word, optopt) + " needs " + std::string(ArgumentOf(optopt));
            return false;
        case '?': // unknown, or an abbreviation that fits several
            problem = "unknown option " + Spelling(word, optopt);
            return false;
        default:
            if (!TakeOption(option, word, optarg, arguments, seen, problem))
                return false;
        }
    }
    // After "--" everything is an operand.
    for (int i = optind; i < argc; ++i)
        if (!TakeInput(arguments, seen, args[static_cast<size_t>(i)], problem))
            return false;
    return CheckCombination(arguments, seen, problem);
}
