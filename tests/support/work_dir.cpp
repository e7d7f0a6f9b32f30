#include "tests/support/work_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

ScopedWorkDir::ScopedWorkDir(bool with_panel_resource) {
    previous_ = fs::current_path().string();
    static std::mt19937_64 names{std::random_device{}()};
    for (int attempt = 0; path_.empty(); ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("surge-test-" + std::to_string(names() % 1000000000));
        if (fs::create_directory(candidate)) {
            path_ = candidate.string();
        } else if (attempt == 100) {
            throw std::runtime_error("cannot create a temporary directory");
        }
    }
#ifdef SURGE_UIR_PATH
    if (with_panel_resource) {
        fs::copy_file(SURGE_UIR_PATH, fs::path(path_) / "surge.uir");
    }
#else
    (void)with_panel_resource;  // the build without panels has no panel resource
#endif
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
