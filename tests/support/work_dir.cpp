#include "tests/support/work_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

ScopedWorkDir::ScopedWorkDir(bool withPanelResource) {
    previous_ = fs::current_path().string();
    std::string pattern = (fs::temp_directory_path() / "surge-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
    if (withPanelResource) {
        fs::copy_file(SURGE_UIR_PATH, fs::path(path_) / "surge.uir");
    }
    fs::current_path(path_);
}

ScopedWorkDir::~ScopedWorkDir() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
