#pragma once
// A LibreOffice started headless for a test with its own profile and pipe, and ended by it.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

/// The ids of the running office processes whose command line holds text (read from /proc).
inline std::vector<int> OfficeProcessesWith(const std::string& text)
{
    std::vector<int> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (cmdline.find("soffice") != std::string::npos && cmdline.find(text) != std::string::npos) {
            found.push_back(std::stoi(name));
        }
    }
    return found;
}

class CalcOffice {
public:
    /// Starts the office in a profile of its own under dir; listening on a pipe of its own unless
    /// listen is false (then it listens only when asked).
    /// With userPipe, it listens on the pipe named for this user, where the converter looks.
    CalcOffice(const std::filesystem::path& dir, const std::string& name, bool listen = true, bool userPipe = false)
    {
        profile_ = dir / ("profile-" + name);
        std::filesystem::create_directories(profile_);
        options_.pipeName = userPipe ? CalcPipeName() : "gridvane_test_" + name + "_" + std::to_string(getpid());
        options_.userInstallation = "file://" + profile_.string();
        // The first start on a new profile makes it and then restarts the office, closing its pipes and
        // the connections on them: that start is done here first, to its end.
        // A machine under load may see the restart late, so the start is made twice.
        Run(dir, name + "-first", {"--terminate_after_init"});
        Run(dir, name + "-second", {"--terminate_after_init"});
        std::vector<std::string> args{"/usr/lib/libreoffice/program/soffice",
                                      "-env:UserInstallation=" + options_.userInstallation,
                                      "--headless", "--invisible", "--norestore", "--nologo", "--nodefault",
                                      "--nolockcheck"};
        if (listen) args.push_back("--accept=pipe,name=" + options_.pipeName + ";urp;");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP); // its own group, ended as one
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / (name + "-office.log")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int rc = posix_spawn(&pid_, args[0].c_str(), &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (rc != 0) throw std::runtime_error("cannot start soffice");
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
                throw std::runtime_error("soffice did not come up");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    ~CalcOffice() { Stop(); }

    const CalcAttachOptions& Options() const { return options_; }
    const std::filesystem::path& Profile() const { return profile_; }
    CalcDocumentDriver& Driver()
    {
        if (!driver_) driver_ = std::make_unique<CalcDocumentDriver>(options_);
        return *driver_;
    }
    pid_t Pid() const { return pid_; }

    /// Ends the office: asked first, then its process group killed if it lingers.
    void Stop()
    {
        if (pid_ <= 0) return;
        try {
            Driver().Terminate();
        } catch (const std::exception&) {
        }
        driver_.reset();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(-pid_, SIGKILL);
        waitpid(pid_, &status, WNOHANG);
        pid_ = 0;
    }
    /// Kills the office at once, as a crash would.
    void Kill()
    {
        if (pid_ <= 0) return;
        kill(-pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        driver_.reset(); // its connection died with the office
    }

private:
    // Runs the office on the profile with extra arguments to its end.
    void Run(const std::filesystem::path& dir, const std::string& log, std::vector<std::string> extra)
    {
        std::vector<std::string> args{"/usr/lib/libreoffice/program/soffice",
                                      "-env:UserInstallation=" + options_.userInstallation, "--headless",
                                      "--norestore", "--nologo", "--nodefault"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / (log + ".log")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("cannot start soffice");
        int status = 0;
        waitpid(pid, &status, 0);
    }

    std::filesystem::path profile_;
    CalcAttachOptions options_;
    pid_t pid_ = 0;
    std::unique_ptr<CalcDocumentDriver> driver_;
};

} // namespace gridvane::testing
