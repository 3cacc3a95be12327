#include "offline/report_arguments.h"

#include <getopt.h>

#include <vector>

namespace {

bool TakeOutput(ReportArguments& arguments, bool& outputSeen, std::string_view value,
                std::string& problem) {
    if (outputSeen) {
        problem = "-o given more than once";
        return false;
    }
    if (value.empty()) {
        problem = "empty output file name";
        return false;
    }
    outputSeen = true;
    arguments.output = value;
    return true;
}

bool TakeInput(ReportArguments& arguments, bool& inputSeen, std::string_view value,
               std::string& problem) {
    if (inputSeen) {
        problem = "more than one capture file";
        return false;
    }
    if (value.empty()) {
        problem = "empty capture file name";
        return false;
    }
    inputSeen = true;
    arguments.input = value;
    return true;
}

enum LongOnly { kVersion = 256 };

constexpr option kOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"output", required_argument, nullptr, 'o'},
    {nullptr, 0, nullptr, 0},
};

// The option as the user wrote it, for a message about it: element is the
// command-line word getopt_long was reading, shortOption its optopt.
std::string Spelling(std::string_view element, int shortOption) {
    if (element.starts_with("--")) return std::string(element.substr(0, element.find('=')));
    return std::string("-") + static_cast<char>(shortOption);
}

} // namespace

bool ParseReportArguments(int argc, const char* const* argv, ReportArguments& arguments,
                          std::string& problem) {
    arguments = ReportArguments{};
    // getopt_long reorders its array: it gets a copy.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
    args.push_back(nullptr);

    bool inputSeen = false;
    bool outputSeen = false;
    optind = 0; // a fresh scan, also when called again
    opterr = 0; // the messages are ours
    // "-": operands come back in place as option 1, whatever POSIXLY_CORRECT
    // says; ":": a missing argument is told apart from an unknown option.
    for (;;) {
        // The word being read: optind moves past it only once it is used up.
        const int at = optind == 0 ? 1 : optind;
        const std::string_view word = at < argc ? args[static_cast<size_t>(at)] : "";
        const int option = getopt_long(argc, args.data(), "-:ho:", kOptions, nullptr);
        if (option == -1) break;
        switch (option) {
        case 'h':
            arguments.action = ReportArguments::Action::Help;
            return true;
        case kVersion:
            arguments.action = ReportArguments::Action::Version;
            return true;
        case 'o':
            if (!TakeOutput(arguments, outputSeen, optarg, problem)) return false;
            break;
        case 1:
            if (!TakeInput(arguments, inputSeen, optarg, problem)) return false;
            break;
        case ':':
            problem = Spelling(word, optopt) + " needs a file name";
            return false;
        default: // '?': unknown, or an abbreviation that fits several
            problem = "unknown option " + Spelling(word, optopt);
            return false;
        }
    }
    // After "--" everything is an operand.
    for (int i = optind; i < argc; ++i)
        if (!TakeInput(arguments, inputSeen, args[static_cast<size_t>(i)], problem)) return false;
    if (!inputSeen) {
        problem = "no capture file given";
        return false;
    }
    return true;
}
