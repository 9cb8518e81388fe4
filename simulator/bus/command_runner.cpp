#include "command_runner.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace bus {

namespace {

const char* const PRELOAD_LIBRARY = "libumockdev-preload.so.0";
const int kForwarded[] = {SIGINT, SIGTERM, SIGHUP};
const int FORWARDED_COUNT = sizeof kForwarded / sizeof kForwarded[0];

volatile sig_atomic_t g_command = 0; // its pid while it runs

// A signal another process sent goes on to the command; one from the terminal
// (si_code > 0, sent by the kernel) has reached the command's process group already.
void forward(int signal, siginfo_t* info, void*)
{
    if (g_command > 0 && info->si_code <= 0)
        kill(pid_t(g_command), signal);
}

// This environment with the preload library added to LD_PRELOAD (and $UMOCKDEV_DIR,
// which the testbed set).
std::vector<std::string> commandEnvironment()
{
    std::vector<std::string> env;
    std::string preload = PRELOAD_LIBRARY;
    for (char** e = environ; *e; ++e) {
        if (strncmp(*e, "LD_PRELOAD=", 11) == 0 && (*e)[11])
            preload = std::string(*e + 11) + ":" + PRELOAD_LIBRARY;
        else if (strncmp(*e, "LD_PRELOAD=", 11) != 0)
            env.push_back(*e);
    }
    env.push_back("LD_PRELOAD=" + preload);
    return env;
}

} // namespace

int RunUnderPreload(char* const argv[], std::string& error)
{
    std::vector<std::string> env = commandEnvironment();
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    // Held back until the command's pid is known, so that none is lost.
    sigset_t forwarded, before;
    sigemptyset(&forwarded);
    struct sigaction action = {}, previous[FORWARDED_COUNT];
    action.sa_sigaction = forward;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < FORWARDED_COUNT; ++i) {
        sigaddset(&forwarded, kForwarded[i]);
        sigaction(kForwarded[i], &action, &previous[i]);
    }
    pthread_sigmask(SIG_BLOCK, &forwarded, &before);

    // The command starts with default dispositions (GLib ignores SIGPIPE here) and no mask.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&none);
    defaults = forwarded;
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], nullptr, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);

    int status = 0;
    if (!failed) {
        g_command = pid;
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pthread_sigmask(SIG_BLOCK, &forwarded, nullptr);
        g_command = 0;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    for (int i = 0; i < FORWARDED_COUNT; ++i)
        sigaction(kForwarded[i], &previous[i], nullptr);
    if (failed) {
        error = std::string(argv[0]) + ": " + strerror(failed);
        return 127;
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

} // namespace bus
