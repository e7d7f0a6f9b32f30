// Where the panel resource is read from: the working directory's Qt Designer document, else
// (for the installed program only) the installed copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/work_dir.h"
#include "toolkit/panel_resource.h"

namespace fs = std::filesystem;
using toolkit_internal::PanelResourceFile;

namespace {

constexpr const char* DESIGNER = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">";
constexpr const char* DESIGNER_WITH_PREAMBLE =
    "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- panels -->\n  <ui version=\"4.0\"><widget/></ui>";
constexpr const char* BINARY = "\x89\x01\x00\xFE\x10panel\x00\x00\x07";
constexpr const char* OTHER_XML = "<?xml version=\"1.0\"?><panels><ui/></panels>";

TEST(ResourcePlace, TheWorkingDirectorysDesignerDocumentElseTheInstalledCopy) {
    ScopedWorkDir dir(false);
    const std::string installed_bin = dir.File("usr/bin");
    const std::string installed_dir = dir.File("usr/share/surge");
    const std::string built_bin = dir.File("build/bin");
    for (const std::string& folder : {installed_bin, installed_dir, built_bin}) {
        fs::create_directories(folder);
    }
    const std::string installed_copy = installed_dir + "/surge.uir";
    const std::string absolute = dir.File("elsewhere.uir");
    const struct {
        const char* name;
        const std::string& program_dir;
        const char* in_working_dir;  // nullptr: no file
        const std::string file;
        const std::string& expected;
    } cases[] = {
        {"installed, the station's own", installed_bin, DESIGNER, "surge.uir", "surge.uir"},
        {"installed, with a preamble", installed_bin, DESIGNER_WITH_PREAMBLE, "surge.uir",
         "surge.uir"},
        {"installed, a legacy station's", installed_bin, BINARY, "surge.uir", installed_copy},
        {"installed, none", installed_bin, nullptr, "surge.uir", installed_copy},
        {"installed, XML of another root", installed_bin, OTHER_XML, "surge.uir", installed_copy},
        {"installed, a path given", installed_bin, nullptr, absolute, absolute},
        {"built, a legacy station's", built_bin, BINARY, "surge.uir", "surge.uir"},
        {"built, none", built_bin, nullptr, "surge.uir", "surge.uir"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove("surge.uir");
        if (c.in_working_dir != nullptr) {
            WriteWholeFile("surge.uir", c.in_working_dir);
        }
        // The link stands for the program's folder as the system names it.
        const std::string program_link = dir.File("program");
        fs::remove(program_link);
        fs::create_directory_symlink(c.program_dir, program_link);
        EXPECT_EQ(PanelResourceFile(c.file, {program_link, installed_bin, installed_dir}),
                  c.expected);
    }
}

}  // namespace
