#pragma once
// A folder of the build tree for the files one test program writes.
#include <filesystem>
#include <string>

namespace gridvane {

// test-tmp/name in the build tree, made when missing.
inline std::filesystem::path TestFolder(const std::string& name)
{
    const std::filesystem::path dir = std::filesystem::path(GRIDVANE_BINARY_DIR) / "test-tmp" / name;
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace gridvane
