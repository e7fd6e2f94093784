#include "calc/CalcConnection.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/pipe.hxx>
#include <osl/security.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/digest.h>

extern char** environ;

namespace gridvane::calc {

namespace {

using namespace std::chrono;
const char* const kProgramDir = GRIDVANE_LIBREOFFICE_PROGRAM;

// The UNO runtime of this process, made once: the office's type libraries (needed to speak to it) and
// the services that connect and bridge.
Reference<css::uno::XComponentContext> LocalContext()
{
    static std::once_flag once;
    static Reference<css::uno::XComponentContext> context;
    static std::string failure;
    std::call_once(once, [] {
        try {
            const std::string dir = kProgramDir;
            rtl::Bootstrap::set("URE_BOOTSTRAP", AsciiOUString("vnd.sun.star.pathname:" + dir + "/fundamentalrc"));
            context = cppu::defaultBootstrap_InitialComponentContext(AsciiOUString("file://" + dir + "/unorc"));
        } catch (const css::uno::Exception& e) {
            failure = ToUtf8(FromOUString(e.Message));
        }
    });
    if (!context.is()) {
        throw Error("the UNO runtime of LibreOffice could not be started (" + failure + ")",
                    std::u16string(kCalcUnreachable));
    }
    return context;
}

} // namespace

// This user's office profile as a URL, as the office itself works it out from its bootstrap file.
rtl::OUString DefaultUserInstallation()
{
    // bootstraprc says "UserInstallation=$SYSUSERCONFIG/libreoffice/4"; the lookup expands the macro.
    rtl::Bootstrap bootstrap(AsciiOUString(std::string("file://") + kProgramDir + "/bootstraprc"));
    rtl::OUString url;
    bootstrap.getFrom("UserInstallation", url);
    return url;
}

// The pipe on which an office of that profile takes the command lines of later invocations: the office
// names it after the MD5 of the profile's URL in UTF-16, each byte in hexadecimal without a leading zero
// (desktop/source/app/officeipcthread.cxx, CreateMD5FromString).
rtl::OUString InstancePipeName(const rtl::OUString& userInstallation)
{
    sal_uInt8 digest[RTL_DIGEST_LENGTH_MD5];
    rtl_digest_MD5(userInstallation.getStr(), static_cast<sal_uInt32>(userInstallation.getLength()) * sizeof(sal_Unicode),
                   digest, sizeof digest);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (sal_uInt8 b : digest) {
        if (b >= 16) hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return AsciiOUString("SingleOfficeIPC_" + hex);
}

// True when an office of that profile runs: its instance pipe takes a connection. (The connection is
// closed without a word; the office reads an empty request and goes on.)
bool InstanceRunning(const rtl::OUString& userInstallation)
{
    osl::Security security;
    osl::Pipe pipe(InstancePipeName(userInstallation), osl_Pipe_OPEN, security);
    return pipe.is();
}

namespace {

// How long a call given up may take to end once its connection is closed under it.
constexpr milliseconds kAbandonedCallEnd{5000};

// A wait for the office, told to onWait once it lasts beyond a moment: onWait may let the window paint
// and answers whether the user gave the wait up.
class WaitReport {
public:
    explicit WaitReport(const std::function<bool(bool)>& onWait) : onWait_(onWait), start_(steady_clock::now()) {}
    ~WaitReport()
    {
        if (!told_) return;
        try {
            onWait_(false);
        } catch (...) {
            // the window's report of the wait's end: nothing to undo here
        }
    }
    WaitReport(const WaitReport&) = delete;
    WaitReport& operator=(const WaitReport&) = delete;

    /// Called as the wait goes on: true when the user gave it up.
    bool GivenUp()
    {
        if (!onWait_ || steady_clock::now() - start_ < kCalcWaitMoment) return false;
        told_ = true;
        try {
            return onWait_(true);
        } catch (...) {
            return true; // the window could not follow the wait: it is not prolonged for it
        }
    }
    /// How long to wait before GivenUp is worth asking again.
    steady_clock::duration Tick() const
    {
        if (!onWait_) return hours(1);
        if (told_) return kCalcWaitTick;
        return std::max<steady_clock::duration>(start_ + kCalcWaitMoment - steady_clock::now(), milliseconds(1));
    }

private:
    const std::function<bool(bool)>& onWait_;
    steady_clock::time_point start_;
    bool told_ = false;
};

// Hands "--accept" to the running office by a second invocation, which passes its command line to the
// running instance and returns at once. Should the instance have ended just before, the invocation
// would start a new one: --headless and --terminate_after_init make such an office end as soon as it
// is up, without a window, so nothing stays started. Waits at most timeout for it; false when the user
// gave the wait up.
bool AskToListen(const std::string& pipeName, const std::string& userInstallation, milliseconds timeout, WaitReport& report)
{
    const std::string soffice = std::string(kProgramDir) + "/soffice";
    std::vector<std::string> args{soffice};
    if (!userInstallation.empty()) args.push_back("-env:UserInstallation=" + userInstallation);
    for (const char* a : {"--headless", "--terminate_after_init", "--norestore", "--nologo", "--nodefault"})
        args.emplace_back(a);
    args.push_back("--accept=pipe,name=" + pipeName + ";urp;");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, soffice.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return true; // the wait for the pipe below tells the user
    const auto end = steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        const bool givenUp = report.GivenUp();
        if (givenUp || steady_clock::now() >= end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return !givenUp;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

} // namespace

void ThrowUserMessage(std::u16string_view text)
{
    // The import shows an XlUserMessage's what() as it stands, as it does the busy spreadsheet's message.
    throw XlUserMessage(ToUtf8(text), std::u16string(text));
}

Connection::Connection(const CalcAttachOptions& options) : timeout_(options.timeout), onWait_(options.onWait)
{
    const Reference<css::uno::XComponentContext> local = LocalContext();
    const std::string pipeName = options.pipeName.empty() ? CalcPipeName() : options.pipeName;
    const rtl::OUString description = AsciiOUString("pipe,name=" + pipeName);
    const Reference<css::connection::XConnector> connector = css::connection::Connector::create(local);
    Reference<css::connection::XConnection> connection;
    auto tryConnect = [&] {
        try {
            connection = connector->connect(description);
        } catch (const css::connection::NoConnectException&) {
        }
        return connection.is();
    };
    if (!tryConnect()) {
        const rtl::OUString profile =
            options.userInstallation.empty() ? DefaultUserInstallation() : AsciiOUString(options.userInstallation);
        if (!InstanceRunning(profile)) {
            throw Error("LibreOffice Calc is not running (nothing was started)", std::u16string(kCalcNotRunning));
        }
        WaitReport report(onWait_);
        const auto givenUp = [] {
            return Error("the wait for LibreOffice to accept a connection was given up", std::u16string(kCalcNoAnswer));
        };
        if (!AskToListen(pipeName, options.userInstallation, timeout_, report)) throw givenUp();
        const auto end = steady_clock::now() + timeout_;
        while (!tryConnect()) {
            if (steady_clock::now() >= end) {
                throw Error("LibreOffice runs but does not accept a connection on the pipe \"" + pipeName + "\"",
                            std::u16string(kCalcUnreachable));
            }
            if (report.GivenUp()) throw givenUp();
            std::this_thread::sleep_for(milliseconds(50));
        }
    }
    thread_ = std::make_shared<CallThread>();
    worker_ = std::thread([state = thread_] {
        std::unique_lock lock(state->mutex);
        while (true) {
            state->wake.wait(lock, [&] { return state->stop || (state->task && !state->finished); });
            if (!state->task || state->finished) return; // stopped while idle
            std::function<void()> task = state->task;
            lock.unlock();
            task();
            lock.lock();
            state->finished = true;
            state->wake.notify_all();
            if (state->stop) return;
        }
    });
    try {
        const Reference<css::bridge::XBridgeFactory2> factory = css::bridge::BridgeFactory::create(local);
        bridge_ = factory->createBridge(rtl::OUString(), "urp", connection, nullptr);
        remote_ = Call("StarOffice.ComponentContext", [&] {
            return Reference<css::uno::XComponentContext>(bridge_->getInstance("StarOffice.ComponentContext"),
                                                          css::uno::UNO_QUERY_THROW);
        });
    } catch (...) {
        Close();
        throw;
    }
}

Connection::~Connection() { Close(); }

void Connection::Close()
{
    if (thread_) {
        {
            std::lock_guard lock(thread_->mutex);
            thread_->stop = true;
        }
        thread_->wake.notify_all();
        worker_.join(); // idle: a call given up has been dealt with (Abandon)
        thread_.reset();
    }
    remote_.clear();
    DisposeBridge();
}

void Connection::DisposeBridge()
{
    try {
        if (bridge_.is()) Reference<css::lang::XComponent>(bridge_, css::uno::UNO_QUERY_THROW)->dispose();
    } catch (const css::uno::Exception&) {
        // already closed by the office
    }
    bridge_.clear();
}

void Connection::Abandon()
{
    abandoned_ = true;
    // The call under way runs on an object of the office that the caller holds and releases as soon as
    // this returns: the call must have ended by then. Closing the bridge ends it (it fails as disposed),
    // as long as the object came through this bridge: the runtime maps an object of the office once per
    // process, so a second connection to the same office held meanwhile (a test's own) would carry it.
    // The program holds one connection at a time.
    remote_.clear();
    DisposeBridge();
    std::unique_lock lock(thread_->mutex);
    thread_->stop = true;
    thread_->wake.notify_all();
    const bool ended = thread_->wake.wait_for(lock, kAbandonedCallEnd, [&] { return thread_->finished; });
    lock.unlock();
    // A call that outlives even its bridge stays with its thread, which holds only what it shares with
    // the connection here.
    if (ended) {
        worker_.join();
    } else {
        worker_.detach();
    }
    thread_.reset();
}

void Connection::Run(const char* what, std::function<void()> task)
{
    if (abandoned_) ThrowUserMessage(kCalcNoAnswer);
    // onWait lets the window's events run; none of them may call the office meanwhile.
    if (calling_) throw Error(std::string(what) + ": another call to LibreOffice is under way");
    // The task keeps what the call may still throw: the caller may be gone when it comes.
    auto failure = std::make_shared<std::exception_ptr>();
    auto uno = std::make_shared<std::optional<css::uno::Exception>>();
    auto disposed = std::make_shared<bool>(false);
    bool answered = false;
    calling_ = true;
    {
        WaitReport report(onWait_);
        std::unique_lock lock(thread_->mutex);
        thread_->task = [task = std::move(task), failure, uno, disposed] {
            try {
                task();
            } catch (const css::lang::DisposedException& e) {
                // The bridge closed (the office went away) says so in its message; an object of the office
                // that was disposed (a document closed meanwhile) is a failure of what was asked.
                if (e.Message.indexOf("URP bridge") >= 0) {
                    *disposed = true;
                } else {
                    uno->emplace(e);
                }
            } catch (const css::uno::Exception& e) {
                uno->emplace(e);
            } catch (...) {
                *failure = std::current_exception();
            }
        };
        thread_->finished = false;
        thread_->wake.notify_all();
        const auto deadline = steady_clock::now() + timeout_;
        while (true) {
            const auto now = steady_clock::now();
            if (now >= deadline) break;
            const auto slice = std::min<steady_clock::duration>(report.Tick(), deadline - now);
            if (thread_->wake.wait_for(lock, slice, [&] { return thread_->finished; })) {
                answered = true;
                break;
            }
            lock.unlock();
            const bool givenUp = report.GivenUp();
            lock.lock();
            if (givenUp) break;
        }
        answered = answered || thread_->finished;
        if (answered) thread_->task = nullptr;
    }
    calling_ = false;
    if (!answered) {
        Abandon();
        ThrowUserMessage(kCalcNoAnswer);
    }
    if (*disposed) ThrowUserMessage(kCalcClosed);
    if (*uno) throw Error(std::string(what) + ": " + ToUtf8(FromOUString((*uno)->Message)));
    if (*failure) std::rethrow_exception(*failure);
}

} // namespace gridvane::calc

namespace gridvane {

bool CalcRunning(const CalcAttachOptions& options)
{
    return calc::InstanceRunning(options.userInstallation.empty() ? calc::DefaultUserInstallation()
                                                                  : calc::AsciiOUString(options.userInstallation));
}

} // namespace gridvane
