#include "tests/support/command_run.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/scratch_files.h"

RunningCommand StartCommand(const std::string& binary, const std::vector<std::string>& arguments,
                            const std::string& directory, const RunSetup& setup)
{
    RunningCommand run{.directory = directory, .setup = setup};
    const std::string outPath = directory + "/.stdout", errPath = directory + "/.stderr";
    int side = -1;
    if (setup.terminal != Terminal::None && openpty(&run.pty, &side, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    run.pid = fork();
    if (run.pid < 0)
        throw std::runtime_error("fork failed");
    if (run.pid == 0) {
        if (run.pty >= 0)
            close(run.pty);
        if (chdir(directory.c_str()) != 0)
            _exit(127);
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        const int in = open(setup.stdinPath.c_str(), O_RDONLY);
        const int out = setup.terminal == Terminal::Both
            ? side
            : open((setup.stdoutPath.empty() ? outPath : setup.stdoutPath).c_str(), flags, 0644);
        const int err = setup.terminal != Terminal::None ? side : open(errPath.c_str(), flags, 0644);
        if (in < 0 || out < 0 || err < 0)
            _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        const rlimit noCore{0, 0}; // a signal test's SIGQUIT leaves no core file
        const rlimit fileSize{setup.fileSizeLimit, setup.fileSizeLimit};
        if (setrlimit(RLIMIT_CORE, &noCore) != 0
            || (setup.fileSizeLimit != 0 && setrlimit(RLIMIT_FSIZE, &fileSize) != 0))
            _exit(127);
        std::signal(SIGPIPE, SIG_DFL); // whatever the test process does with it
        for (int signal : setup.ignoredSignals)
            std::signal(signal, SIG_IGN);
        for (const std::string& setting : setup.environment)
            putenv(const_cast<char*>(setting.c_str()));
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (side >= 0)
        close(side);
    return run;
}

CommandResult FinishCommand(RunningCommand& run)
{
    CommandResult result;
    if (run.pty >= 0) {
        char chunk[4096];
        // Until EIO, once the child has closed its side.
        for (ssize_t got; (got = read(run.pty, chunk, sizeof chunk)) > 0;)
            result.err.append(chunk, static_cast<size_t>(got));
        close(run.pty);
        run.pty = -1;
    }
    int status = 0;
    while (waitpid(run.pid, &status, 0) < 0) {}
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    const std::string outPath = run.directory + "/.stdout", errPath = run.directory + "/.stderr";
    if (run.setup.stdoutPath.empty() && run.setup.terminal != Terminal::Both)
        result.out = ReadFile(outPath);
    if (run.setup.terminal == Terminal::None)
        result.err = ReadFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

CommandResult RunCommand(const std::string& binary, const std::vector<std::string>& arguments,
                         const std::string& directory, const RunSetup& setup)
{
    RunningCommand run = StartCommand(binary, arguments, directory, setup);
    return FinishCommand(run);
}
