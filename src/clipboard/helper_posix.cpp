#include "clipboard/helper.hpp"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "os/fd.hpp"

extern char** environ;

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// Milliseconds left until the deadline, for poll(2); 0 once it has passed.
int remaining_ms(Deadline deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

struct Pipe {
    Fd read;
    Fd write;
};

bool make_pipe(Pipe& pipe)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    return true;
}

// Writes all of `input`, then closes the pipe so the helper sees its end.
// SIGPIPE is held back meanwhile: a helper that exits without reading must
// not take the editor down with it.
bool feed(Fd& fd, std::string_view input, Deadline deadline)
{
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);

    bool ok = ::fcntl(fd.get(), F_SETFL, O_NONBLOCK) == 0;
    bool broken = false;
    std::size_t done = 0;
    while (ok && done < input.size()) {
        pollfd p{fd.get(), POLLOUT, 0};
        const int ready = ::poll(&p, 1, remaining_ms(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            ok = false;
            break;
        }
        const ssize_t n = ::write(fd.get(), input.data() + done, input.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            broken = errno == EPIPE;
            ok = false;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    fd.reset();

    if (broken) {
        const timespec no_wait{0, 0};
        while (::sigtimedwait(&pipe_signal, nullptr, &no_wait) == SIGPIPE) {}
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}

// Reads until the helper closes its end.
bool drain(Fd& fd, std::string& out, Deadline deadline)
{
    char chunk[16384];
    for (;;) {
        pollfd p{fd.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, remaining_ms(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(chunk, static_cast<std::size_t>(n));
    }
}

// The helper's exit status, or nothing when it is still running at the deadline.
std::optional<int> wait_until(pid_t pid, Deadline deadline)
{
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

bool run_helper(const std::vector<std::string>& argv, std::string_view input, std::string* output,
                std::chrono::milliseconds timeout)
{
    if (argv.empty()) return false;
    const Deadline deadline = std::chrono::steady_clock::now() + timeout;

    Pipe in;
    Pipe out;
    if (!make_pipe(in)) return false;
    if (output && !make_pipe(out)) return false;
    Fd null_device(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (null_device.get() < 0) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output ? out.write.get() : null_device.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, null_device.get(), STDERR_FILENO);
    // Nothing of the editor's (the terminal, a file being saved) leaks into
    // a daemon that may outlive it.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    // A session of its own: the helper has no controlling terminal (it
    // cannot read the user's keys or be hung up with the editor), and its
    // process group holds everything it starts, so a time-out kills it all.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    in.read.reset();
    out.write.reset();
    null_device.reset();
    if (spawned != 0) return false;

    bool ok = feed(in.write, input, deadline);
    if (ok && output) {
        output->clear();
        ok = drain(out.read, *output, deadline);
    }
    out.read.reset();

    std::optional<int> status = ok ? wait_until(pid, deadline) : std::nullopt;
    if (!status) {
        ::kill(-pid, SIGKILL);
        int ignored = 0;
        while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {}
        return false;
    }
    return WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}
