#include "app/window/analyzer_arguments.h"

#include <getopt.h>

#include <vector>

#include "capture/adapter_names.h"

namespace {

constexpr option kOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"adapter", required_argument, nullptr, 'i'},
    {nullptr, 0, nullptr, 0},
};

// A name given once, and not empty: the adapter, the capture file. `twice`
// and `empty` are the refusals.
bool TakeName(std::string& name, const char* value, const char* twice, const char* empty, std::string& problem)
{
    if (!name.empty()) {
        problem = twice;
        return false;
    }
    name = value;
    if (name.empty()) {
        problem = empty;
        return false;
    }
    return true;
}

bool TakeCaptureFile(AnalyzerArguments& arguments, const char* file, std::string& problem)
{
    return TakeName(arguments.captureFile, file, "more than one capture file", "empty capture file name", problem);
}

} // namespace

bool ParseAnalyzerArguments(int argc, char** argv, AnalyzerArguments& arguments, std::string& problem)
{
    arguments = AnalyzerArguments{};
    // getopt_long reorders its array: it gets a copy.
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    optind = 0; // a fresh scan, also when called again
    opterr = 0; // the messages are ours
    // "-": operands come back in place as option 1; ":": a missing argument
    // is told apart from an unknown option.
    for (;;) {
        const int at = optind == 0 ? 1 : optind;
        const std::string word = at < argc ? args[static_cast<size_t>(at)] : "";
        const int option = getopt_long(argc, args.data(), "-:hi:", kOptions, nullptr);
        switch (option) {
        case -1:
            // After "--" every word is a capture file.
            for (int i = optind; i < argc; ++i)
                if (!TakeCaptureFile(arguments, args[static_cast<size_t>(i)], problem))
                    return false;
            return true;
        case 'h':
            arguments.help = true;
            return true;
        case 'i':
            if (!TakeName(arguments.adapter, optarg, "-i given more than once", "empty adapter name", problem))
                return false;
            break;
        case ':':
            problem = (word.starts_with("--") ? word : std::string("-i")) + " needs an adapter name";
            return false;
        case 1:
            if (!TakeCaptureFile(arguments, optarg, problem))
                return false;
            break;
        default: // unknown, or an abbreviation that fits several
            problem = "unknown option " + (word.starts_with("--") ? word.substr(0, word.find('=')) : word);
            return false;
        }
    }
}

bool AsksForHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--")
            return false;
        if (word == "-h" || word == "--help")
            return true;
    }
    return false;
}

bool ChooseAdapter(const std::string& given, std::string& listed, std::string& problem)
{
    std::vector<std::string> names;
    if (!ReadAdapterList(names, problem))
        return false;
    listed = FindAdapter(names, given);
    if (!listed.empty())
        return true;
    problem = "no adapter named " + given;
    if (names.empty())
        problem += "; there is no Ethernet adapter";
    else
        problem += "; the adapters are:";
    for (const std::string& name : names)
        problem += "\n  " + name;
    return false;
}
