#pragma once
// A LibreOffice started headless for a test with its own profile and pipe, and ended by it: also when the
// test process dies without ending it (a watchdog ends it then), and at the next start of any such office
// when even that failed (offices whose test process is gone are ended first).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "calc/CalcApplication.h"
#include "calc/CalcDocumentDriver.h"

extern char** environ;

namespace gridvane::testing {

namespace office_detail {

inline std::string ReadProcFile(int pid, const char* name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::vector<int> Processes()
{
    std::vector<int> pids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos) pids.push_back(std::stoi(name));
    }
    return pids;
}

// A process as "pid:start": its id and its start time (field 22 of /proc/<pid>/stat), which tells it from
// a later process given the same id. Empty when it does not run.
inline std::string ProcessMark(int pid)
{
    const std::string stat = ReadProcFile(pid, "stat");
    const std::size_t paren = stat.rfind(')');
    if (paren == std::string::npos) return {};
    std::size_t at = paren + 2; // field 3
    for (int field = 3; field < 22 && at != std::string::npos; ++field) at = stat.find(' ', at) + 1;
    if (at == std::string::npos || at == 0) return {};
    return std::to_string(pid) + ":" + stat.substr(at, stat.find(' ', at) - at);
}

// The variable every office of a test carries in its environment: the test process that owns it.
inline constexpr const char* kOwnerVariable = "GRIDVANE_TEST_OFFICE_OWNER=";

} // namespace office_detail

/// The ids of the running office processes whose command line holds text (read from /proc).
inline std::vector<int> OfficeProcessesWith(const std::string& text)
{
    std::vector<int> found;
    for (int pid : office_detail::Processes()) {
        const std::string cmdline = office_detail::ReadProcFile(pid, "cmdline");
        if (cmdline.find("soffice") != std::string::npos && cmdline.find(text) != std::string::npos) found.push_back(pid);
    }
    return found;
}

/// Ends the offices of tests whose process is gone (killed, crashed): they would run on for good. Offices
/// of tests still running, and offices of anyone else, are left alone.
inline void EndOfficesLeftByTests()
{
    const std::string variable = office_detail::kOwnerVariable;
    for (int pid : office_detail::Processes()) {
        const std::string env = office_detail::ReadProcFile(pid, "environ");
        const std::size_t at = env.find(variable);
        if (at == std::string::npos || (at > 0 && env[at - 1] != '\0')) continue;
        const std::string owner = env.substr(at + variable.size(), env.find('\0', at) - at - variable.size());
        const std::size_t colon = owner.find(':');
        if (colon == std::string::npos) continue;
        const int ownerPid = std::atoi(owner.substr(0, colon).c_str());
        if (ownerPid <= 0 || office_detail::ProcessMark(ownerPid) == owner) continue; // its test still runs
        kill(pid, SIGKILL);
    }
}

/// Held while a test uses the pipe named for this user (where the converter and the window look): one
/// such test at a time, in every worktree and build of this machine. Released when the process ends.
class UserPipeLock {
public:
    UserPipeLock()
    {
        const std::string path = "/tmp/gridvane-calc-user-pipe-" + std::to_string(getuid()) + ".lock";
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) throw std::runtime_error("cannot open " + path);
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) throw std::runtime_error("cannot lock " + path);
        }
    }
    ~UserPipeLock() { close(fd_); }
    UserPipeLock(const UserPipeLock&) = delete;
    UserPipeLock& operator=(const UserPipeLock&) = delete;

private:
    int fd_ = -1;
};

class CalcOffice {
public:
    /// Starts the office in a profile of its own under dir; listening on a pipe of its own unless
    /// listen is false (then it listens only when asked).
    /// With userPipe, it listens on the pipe named for this user, where the converter looks (hold a
    /// UserPipeLock meanwhile).
    CalcOffice(const std::filesystem::path& dir, const std::string& name, bool listen = true, bool userPipe = false)
    {
        EndOfficesLeftByTests();
        profile_ = dir / ("profile-" + name);
        log_ = dir / (name + "-office.log");
        std::filesystem::create_directories(profile_);
        options_.pipeName = userPipe ? CalcPipeName() : "gridvane_test_" + name + "_" + std::to_string(getpid());
        options_.userInstallation = "file://" + profile_.string();
        owner_ = std::string(office_detail::kOwnerVariable) + office_detail::ProcessMark(getpid());
        // The first start on a new profile makes it and then restarts the office, closing its pipes and
        // the connections on them: that start is done here first, to its end.
        // A machine under load may see the restart late, so the start is made twice.
        Run(dir, name + "-first", {"--terminate_after_init"});
        Run(dir, name + "-second", {"--terminate_after_init"});
        std::vector<std::string> args{"-env:UserInstallation=" + options_.userInstallation,
                                      "--headless", "--invisible", "--norestore", "--nologo", "--nodefault",
                                      "--nolockcheck"};
        if (listen) args.push_back("--accept=pipe,name=" + options_.pipeName + ";urp;");
        pid_ = Spawn(args, log_, true);
        StartWatchdog();
        // Up when its instance pipe takes connections; with a pipe of its own, when that one does.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (true) {
            // Up when the same office still answers a moment after it first did (an office may restart
            // once more into its profile, dropping what was connected).
            const std::vector<int> first = OfficeProcessesWith(profile_.string());
            bool up = false;
            if (listen) {
                try {
                    driver_ = std::make_unique<CalcDocumentDriver>(options_);
                    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
                    driver_->CloseAll();
                    up = OfficeProcessesWith(profile_.string()) == first;
                } catch (const std::exception&) {
                }
                if (!up) driver_.reset();
            } else if (CalcRunning(options_)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(3000));
                up = CalcRunning(options_) && OfficeProcessesWith(profile_.string()) == first;
            }
            if (up) break;
            if (std::chrono::steady_clock::now() > end) {
                Kill();
                throw std::runtime_error("soffice did not come up:\n" + Log());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    ~CalcOffice() { Stop(); }
    CalcOffice(const CalcOffice&) = delete;
    CalcOffice& operator=(const CalcOffice&) = delete;

    const CalcAttachOptions& Options() const { return options_; }
    const std::filesystem::path& Profile() const { return profile_; }
    CalcDocumentDriver& Driver()
    {
        if (!driver_) driver_ = std::make_unique<CalcDocumentDriver>(options_);
        return *driver_;
    }
    /// Closes the driver's connection, so that an import that follows reaches the office on a connection
    /// of its own only, as it does in the program (the next Driver() connects again).
    void Disconnect() { driver_.reset(); }
    pid_t Pid() const { return pid_; }
    /// What the office wrote to its standard output and error, for a failure's report.
    std::string Log() const
    {
        std::ifstream in(log_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    /// Ends the office: asked first, then its process group killed if it lingers.
    void Stop()
    {
        if (pid_ <= 0) return;
        try {
            Driver().Terminate();
        } catch (const std::exception&) {
        }
        driver_.reset();
        // Its end is seen without reaping it, so that the group's id stays its own until EndGroup.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EndGroup();
    }
    /// Kills the office at once, as a crash would.
    void Kill()
    {
        if (pid_ <= 0) return;
        driver_.reset(); // its connection dies with the office
        EndGroup();
    }

private:
    // Starts soffice with args and the owner's mark in its environment, its output into log; in a
    // process group of its own when group is true.
    pid_t Spawn(std::vector<std::string> args, const std::filesystem::path& log, bool group)
    {
        args.insert(args.begin(), "/usr/lib/libreoffice/program/soffice");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
        envp.push_back(owner_.data());
        envp.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        if (group) {
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP); // its own group, ended as one
            posix_spawnattr_setpgroup(&attr, 0);
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (rc != 0) throw std::runtime_error(std::string("cannot start soffice: ") + std::strerror(rc));
        return pid;
    }

    // Runs the office on the profile with extra arguments to its end.
    void Run(const std::filesystem::path& dir, const std::string& log, std::vector<std::string> extra)
    {
        std::vector<std::string> args{"-env:UserInstallation=" + options_.userInstallation, "--headless",
                                      "--norestore", "--nologo", "--nodefault"};
        args.insert(args.end(), extra.begin(), extra.end());
        const pid_t pid = Spawn(args, dir / (log + ".log"), false);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }

    // A process of its own that kills the office's group when this test process ends without ending
    // the office (a crash, a kill, a test's abort): it waits for the end of a pipe only this process
    // holds, which the system closes whatever way the process ends. Told to go first on a normal stop,
    // so that it never kills a group whose id was given again.
    void StartWatchdog()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make the watchdog's pipe");
        const pid_t group = pid_;
        const pid_t watchdog = fork();
        if (watchdog < 0) throw std::runtime_error("cannot start the watchdog");
        if (watchdog == 0) {
            // Only async-signal-safe calls from here on: the test process has threads.
            for (int fd = 3; fd < 4096; ++fd)
                if (fd != fds[0]) close(fd);
            setpgid(0, 0); // not in the group a test runner may end first
            char c = 0;
            ssize_t n;
            while ((n = read(fds[0], &c, 1)) < 0 && errno == EINTR) {
            }
            if (n <= 0) kill(-group, SIGKILL);
            _exit(0);
        }
        close(fds[0]);
        watchdogPipe_ = fds[1];
        watchdog_ = watchdog;
    }
    void StopWatchdog()
    {
        if (watchdog_ <= 0) return;
        const char quit = 'q';
        while (write(watchdogPipe_, &quit, 1) < 0 && errno == EINTR) {
        }
        close(watchdogPipe_);
        int status = 0;
        while (waitpid(watchdog_, &status, 0) < 0 && errno == EINTR) {
        }
        watchdog_ = 0;
    }
    // Kills what is left of the office's group, then reaps its first process (which kept the group's id
    // its own until then); the watchdog goes first.
    void EndGroup()
    {
        StopWatchdog();
        kill(-pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = 0;
        // The office leaves its pipes' files behind when killed.
        const std::string pipes = "/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_";
        std::error_code ec;
        std::filesystem::remove(pipes + options_.pipeName, ec);
    }

    std::filesystem::path profile_, log_;
    CalcAttachOptions options_;
    std::string owner_;
    pid_t pid_ = 0;
    pid_t watchdog_ = 0;
    int watchdogPipe_ = -1;
    std::unique_ptr<CalcDocumentDriver> driver_;
};

} // namespace gridvane::testing
