// Starts an office as a test does and then dies at once, as a test process that is killed or crashes:
// nothing of the test ends the office. Prints the office's profile when the office is up.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/CalcOffice.h"

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    auto* office = new gridvane::testing::CalcOffice(std::filesystem::path(argv[1]), "orphan", false);
    std::printf("%s\n", office->Profile().c_str());
    std::fflush(stdout);
    kill(getpid(), SIGKILL);
    return 1;
}
