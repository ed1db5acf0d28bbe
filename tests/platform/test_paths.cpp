#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codec.h"
#include "platform/paths.h"
#include "tests/common/testutil.h"

using namespace kv;
namespace fs = std::filesystem;

TEST(Paths, ProgramFolderIsTheExecutablesFolderWithASlash) {
    const std::string folder = paths::programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::exists(text::toPath(folder + "test_platform")));
    EXPECT_EQ(paths::folderOf("/opt/kv/kvarnelya"), "/opt/kv/");
    EXPECT_EQ(paths::folderOf("kvarnelya"), "./");
}

TEST(Paths, WindowsFolderFollowsXdgStateHomeAndIsCreated) {
    kvtest::TempFolder temp;
    const std::string saved = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
    setenv("XDG_STATE_HOME", (temp.Path() / "state").c_str(), 1);
    const std::string folder = paths::windowsFolder();
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
    EXPECT_EQ(folder, text::fromPath(temp.Path() / "state" / "kvarnelya") + "/");
    EXPECT_TRUE(fs::is_directory(temp.Path() / "state" / "kvarnelya"));
}

TEST(Paths, CurrentFolderChangeWithCyrillicName) {
    kvtest::TempFolder temp;
    kvtest::CurrentFolderGuard guard;
    temp.MakeFolder("Папка");
    EXPECT_TRUE(paths::setCurrentFolder(text::fromPath(temp.Path()) + "/Папка"));
    EXPECT_EQ(fs::current_path(), temp.Path() / "Папка");
    EXPECT_FALSE(paths::setCurrentFolder(text::fromPath(temp.Path()) + "/missing"));
}

TEST(Paths, CaseInsensitiveLookupOfFilesAuthoredOnWindows) {
    kvtest::TempFolder temp;
    temp.Write("Луна/Images/Phases.GIF", "x");
    EXPECT_EQ(paths::findCaseInsensitive(temp.Path() / "луна/images/phases.gif"),
              temp.Path() / "Луна/Images/Phases.GIF");
    EXPECT_EQ(paths::findCaseInsensitive(temp.Path() / "Луна/Images/Phases.GIF"),
              temp.Path() / "Луна/Images/Phases.GIF");
    EXPECT_FALSE(paths::findCaseInsensitive(temp.Path() / "луна/images/other.gif"));
}
