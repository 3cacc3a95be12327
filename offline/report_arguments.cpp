#include "offline/report_arguments.h"

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

} // namespace

bool ParseReportArguments(int argc, const char* const* argv, ReportArguments& arguments,
                          std::string& problem) {
    arguments = ReportArguments{};
    bool inputSeen = false;
    bool outputSeen = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            arguments.action = ReportArguments::Action::Help;
            return true;
        }
        if (!optionsEnded && arg == "--version") {
            arguments.action = ReportArguments::Action::Version;
            return true;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (arg == "-o" || arg == "--output")) {
            if (i + 1 >= argc) {
                problem = std::string(arg) + " needs a file name";
                return false;
            }
            if (!TakeOutput(arguments, outputSeen, argv[++i], problem)) return false;
            continue;
        }
        if (!optionsEnded && arg.starts_with("--output=")) {
            if (!TakeOutput(arguments, outputSeen, arg.substr(9), problem)) return false;
            continue;
        }
        if (!optionsEnded && arg.starts_with("-o") ) {
            if (!TakeOutput(arguments, outputSeen, arg.substr(2), problem)) return false;
            continue;
        }
        // A lone "-" is standard input, not an option.
        if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            problem = "unknown option " + std::string(arg);
            return false;
        }
        if (inputSeen) {
            problem = "more than one capture file";
            return false;
        }
        if (arg.empty()) {
            problem = "empty capture file name";
            return false;
        }
        inputSeen = true;
        arguments.input = arg;
    }
    if (!inputSeen) {
        problem = "no capture file given";
        return false;
    }
    return true;
}
