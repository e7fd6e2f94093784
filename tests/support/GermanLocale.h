#pragma once
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace gridvane {
namespace {

namespace fs = std::filesystem;

// Sets the C library's locale to a German one (decimal comma) for one scope, compiling the locale into
// the build tree when the system lacks it; Unavailable() says why it could not.
class GermanLocale {
public:
    GermanLocale()
    {
        previous_ = std::setlocale(LC_ALL, nullptr);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr)
            return;
        const fs::path dir = fs::path(GRIDVANE_BINARY_DIR) / "test-tmp" / ("locale-" + std::to_string(getpid()));
        fs::create_directories(dir);
        const std::string cmd = "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0 || !fs::exists(dir / "de_DE.UTF-8")) {
            why_ = "localedef cannot build de_DE.UTF-8 here";
            return;
        }
        setenv("LOCPATH", dir.c_str(), 1);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
            why_ = "the C library does not take the compiled de_DE.UTF-8";
    }
    ~GermanLocale()
    {
        std::setlocale(LC_ALL, previous_.c_str());
        unsetenv("LOCPATH");
    }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;
    const std::string& Unavailable() const { return why_; }

private:
    std::string previous_;
    std::string why_;
};

} // namespace
} // namespace gridvane
