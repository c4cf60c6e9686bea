#include "host/Process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace camera {

std::string describeStatus(int status)
{
    if (WIFSIGNALED(status)) {
        int signal = WTERMSIG(status);
        const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGKILL ? "SIGKILL"
            : signal == SIGABRT                                              ? "SIGABRT"
            : signal == SIGSEGV                                              ? "SIGSEGV"
                                                                             : nullptr;
        return name ? std::string("ended by ") + name : "ended by signal " + std::to_string(signal);
    }
    return "exited with status " + std::to_string(WEXITSTATUS(status));
}

std::vector<std::string> ownProgram(std::string path)
{
    if (*LUMORA_EMULATOR)
        return { LUMORA_EMULATOR, std::move(path) };
    return { std::move(path) };
}

pid_t spawn(const std::vector<std::string>& arguments, const SpawnOptions& options)
{
    // Everything the child needs is made before the fork: between fork and
    // exec it only calls what is safe in a copy of a threaded process.
    std::vector<std::string> words = arguments;
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> settings;
    for (char** entry = environ; *entry; ++entry) {
        std::string_view setting(*entry);
        bool replaced = false;
        for (const auto& change : options.environment)
            replaced = replaced || setting.substr(0, setting.find('=') + 1) == std::string_view(change).substr(0, change.find('=') + 1);
        if (!replaced)
            settings.emplace_back(setting);
    }
    settings.insert(settings.end(), options.environment.begin(), options.environment.end());
    std::vector<char*> envp;
    for (auto& setting : settings)
        envp.push_back(setting.data());
    envp.push_back(nullptr);

    std::fflush(stdout);
    pid_t pid = (options.fork ? options.fork : ::fork)();
    if (pid != 0)
        return pid;
    if (options.outputFd >= 0)
        ::dup2(options.outputFd, STDOUT_FILENO);
    if (options.errorFd >= 0)
        ::dup2(options.errorFd, STDERR_FILENO);
    ::execvpe(argv[0], argv.data(), envp.data());
    int error = errno;
    const char* parts[] = { "exec ", argv[0], ": ", std::strerror(error), "\n" };
    for (const char* part : parts)
        [[maybe_unused]] auto written = ::write(STDERR_FILENO, part, std::strlen(part));
    ::_exit(127);
}

bool ProgramRun::succeeded() const
{
    return error.empty() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ProgramRun runProgram(const std::vector<std::string>& arguments, SpawnOptions options, bool captureOutput)
{
    ProgramRun run;
    int outputPipe[2] = { -1, -1 };
    int errorPipe[2] = { -1, -1 };
    if (::pipe2(errorPipe, O_CLOEXEC) < 0 || (captureOutput && ::pipe2(outputPipe, O_CLOEXEC) < 0)) {
        run.error = std::string("pipe: ") + std::strerror(errno);
        for (int fd : { errorPipe[0], errorPipe[1] }) {
            if (fd >= 0)
                ::close(fd);
        }
        return run;
    }
    options.errorFd = errorPipe[1];
    options.outputFd = outputPipe[1];
    pid_t pid = spawn(arguments, options);
    int forkError = errno;
    for (int fd : { errorPipe[1], outputPipe[1] }) {
        if (fd >= 0)
            ::close(fd);
    }
    if (pid < 0) {
        for (int fd : { errorPipe[0], outputPipe[0] }) {
            if (fd >= 0)
                ::close(fd);
        }
        run.error = std::string("fork: ") + std::strerror(forkError);
        return run;
    }
    // Both pipes are read as they fill, so that neither blocks the program.
    struct Stream {
        int fd;
        std::string* text;
    } streams[] = { { errorPipe[0], &run.errors }, { outputPipe[0], &run.output } };
    for (;;) {
        pollfd waiting[2];
        Stream* waitingFor[2];
        nfds_t count = 0;
        for (auto& stream : streams) {
            if (stream.fd < 0)
                continue;
            waitingFor[count] = &stream;
            waiting[count++] = { stream.fd, POLLIN, 0 };
        }
        if (!count)
            break;
        if (::poll(waiting, count, -1) < 0 && errno != EINTR)
            break;
        for (nfds_t i = 0; i < count; ++i) {
            if (!waiting[i].revents)
                continue;
            char buffer[4096];
            ssize_t got = ::read(waiting[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                waitingFor[i]->text->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(waiting[i].fd);
                waitingFor[i]->fd = -1;
            }
        }
    }
    for (const auto& stream : streams) {
        if (stream.fd >= 0)
            ::close(stream.fd);
    }
    while (::waitpid(pid, &run.status, 0) < 0 && errno == EINTR) { }
    return run;
}

} // namespace camera
