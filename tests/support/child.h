// The real program as a child process, the way a shell starts it: its
// standard error read through a pipe, optionally a file size limit (a disk
// that fills up, without a small file system), signals sent while it runs,
// and its exit code (128 + the signal when a signal ended it). Generous
// timeouts only: the machine may be slow and busy.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

class Child {
public:
    // Starts argv[0] with the arguments; with `fileSizeLimit` >= 0 no file it
    // writes may grow past that many bytes (write fails with EFBIG).
    explicit Child(const std::vector<std::string>& argv, long fileSizeLimit = -1)
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(ends[1], 2);
            ::close(ends[0]);
            ::close(ends[1]);
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGTERM, SIG_DFL);
            if (fileSizeLimit >= 0) {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(ends[1]);
        errorPipe = ends[0];
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (pid > 0 && code < 0) {
            ::kill(pid, SIGKILL);
            finish();
        }
        if (errorPipe >= 0)
            ::close(errorPipe);
    }

    bool started() const { return pid > 0; }

    // Reads standard error until `text` appears; false when the program ended
    // (or `seconds` passed) first.
    bool waitForText(const std::string& text, int seconds = 600)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (errors.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > until || !readSome(200))
                return errors.find(text) != std::string::npos;
        }
        return true;
    }

    void signal(int number) const { ::kill(pid, number); }

    // Reads standard error to its end and waits for the exit; the exit code,
    // 128 + the signal when one ended it, -1 when it had to be killed after
    // `seconds`.
    int finish(int seconds = 600)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (readSome(200))
            if (std::chrono::steady_clock::now() > until) {
                ::kill(pid, SIGKILL);
                break;
            }
        int status = 0;
        ::waitpid(pid, &status, 0);
        const bool late = std::chrono::steady_clock::now() > until;
        code = late ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return code;
    }

    std::string errors;  // standard error so far

private:
    // Waits up to `milliseconds` for output; false at the end of the output.
    bool readSome(int milliseconds)
    {
        if (errorPipe < 0)
            return false;
        pollfd p{errorPipe, POLLIN, 0};
        if (::poll(&p, 1, milliseconds) <= 0)
            return true;  // nothing yet (or interrupted): still running
        char buffer[4096];
        const ssize_t n = ::read(errorPipe, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        errors.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid = -1;      // the child
    int errorPipe = -1;  // read end of its standard error
    int code = -1;       // its exit code once finished
};
