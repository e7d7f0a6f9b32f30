// A fresh working directory for one test, holding a copy of the panel resource.
#pragma once

#include <string>

class ScopedWorkDir {
  public:
    explicit ScopedWorkDir(bool with_panel_resource = true);
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
    std::string previous_;
};

// Whole-file helpers for checking what the station wrote.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
