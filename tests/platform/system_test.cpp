#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "common/fixture.h"
#include "platform/system.h"

namespace sweepwise::platform {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

// Sets the locators' variables for one test and puts the old values back afterwards.
class Environment {
public:
    Environment() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    ~Environment() {
        for (const auto& [name, value] : m_saved) {
            value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
        }
    }
    static void set(const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }

private:
    static constexpr const char* kNames[] = {"TMPDIR", "USERPROFILE", "XDG_CACHE_HOME", "HOME"};
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

std::set<std::string> names(const std::string& folder) {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        found.insert(entry.path().filename().string());
    }
    return found;
}

struct ProfileCase {
    const char* name;
    std::optional<std::string> userProfile, xdgCacheHome, home;
    std::optional<std::string> netTemdir, cookiesDir;
};

void PrintTo(const ProfileCase& c, std::ostream* out) {
    *out << c.name;
}

class ProfileLocators : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileLocators, ReadTheEnvironmentAtEachCall) {
    Environment environment;
    const ProfileCase& c = GetParam();
    Environment::set("USERPROFILE", c.userProfile);
    Environment::set("XDG_CACHE_HOME", c.xdgCacheHome);
    Environment::set("HOME", c.home);
    HostSystem system;
    EXPECT_EQ(system.GetNetTemdir(), c.netTemdir);
    EXPECT_EQ(system.GetCookiesDir(), c.cookiesDir);
    EXPECT_EQ(system.GetWinTemdir(), "/var/tmp");

    // Nothing is cached: a changed variable shows at the next call.
    Environment::set("USERPROFILE", "/changed");
    EXPECT_EQ(system.GetCookiesDir(), "/changed/Cookies");
}

const std::string kInternetFiles = "/Local Settings/Temporary Internet Files";
const std::nullopt_t kUnset = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    EnvironmentCases, ProfileLocators,
    ::testing::Values(
        ProfileCase{"profile set", "/p/user", "/x/cache", "/h", "/p/user" + kInternetFiles,
                    "/p/user/Cookies"},
        ProfileCase{"profile with final separator", "/p/user/", kUnset, "/h",
                    "/p/user" + kInternetFiles, "/p/user/Cookies"},
        ProfileCase{"profile at the root", "/", kUnset, "/h", kInternetFiles, "/Cookies"},
        ProfileCase{"no profile uses the cache home", kUnset, "/x/cache", "/h", "/x/cache", kUnset},
        ProfileCase{"relative cache home falls back to home", kUnset, "rel", "/h", "/h/.cache",
                    kUnset},
        ProfileCase{"cache home at the root is refused", kUnset, "/", "/h", "/h/.cache", kUnset},
        ProfileCase{"empty profile counts as unset", "", kUnset, "/h", "/h/.cache", kUnset},
        ProfileCase{"relative profile counts as unset", "rel", kUnset, "/h", "/h/.cache", kUnset},
        ProfileCase{"home at the root", kUnset, kUnset, "/", "/.cache", kUnset},
        ProfileCase{"nothing set names no folder", kUnset, kUnset, kUnset, kUnset, kUnset}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST(TemporaryFile, CreatesOneNewEmptyFileAtEachCall) {
    Environment environment;
    TempTree tree;
    const std::string folder = tree.folder("temp");
    ::setenv("TMPDIR", (folder + "//").c_str(), 1);
    HostSystem system;

    EXPECT_EQ(system.TemporaryFile(""), folder + "/");
    EXPECT_EQ(system.TemporaryFile(""), folder + "/");
    EXPECT_EQ(system.TemporaryFile("abcd"), folder + "/");
    EXPECT_EQ(system.TemporaryFile("文件夹名"), folder + "/");
    EXPECT_EQ(system.TemporaryFile("a/b"), folder + "/");

    const std::set<std::string> made = names(folder);
    ASSERT_EQ(made.size(), 5u);
    const std::regex tmp("TMP[0-9A-F]{1,4}\\.tmp"), abc("abc[0-9A-F]{1,4}\\.tmp"),
        chinese("文件夹[0-9A-F]{1,4}\\.tmp"), slash("a_b[0-9A-F]{1,4}\\.tmp");
    int tmps = 0, abcs = 0, chineses = 0, slashes = 0;
    for (const std::string& name : made) {
        tmps += std::regex_match(name, tmp);
        abcs += std::regex_match(name, abc);
        chineses += std::regex_match(name, chinese);
        slashes += std::regex_match(name, slash);
        EXPECT_EQ(fs::file_size(folder + "/" + name), 0u) << name;
    }
    EXPECT_EQ(tmps, 2);
    EXPECT_EQ(abcs, 1);
    EXPECT_EQ(chineses, 1);
    EXPECT_EQ(slashes, 1);
}

TEST(TemporaryFile, NeverReplacesAFileAndStillGivesTheFolderWhenItCannotCreateOne) {
    Environment environment;
    TempTree tree(TempTree::Backing::MemoryWherePossible);
    const std::string full = tree.folder("full");
    for (unsigned number = 1; number <= 0xFFFF; ++number) {
        char name[16];
        std::snprintf(name, sizeof name, "TMP%X.tmp", number);
        std::ofstream(full + "/" + name) << "kept";
    }
    ::setenv("TMPDIR", full.c_str(), 1);
    HostSystem system;
    EXPECT_EQ(system.TemporaryFile(""), full + "/");
    EXPECT_EQ(names(full).size(), 0xFFFFu);
    for (const auto& entry : fs::directory_iterator(full)) {
        ASSERT_EQ(entry.file_size(), 4u) << entry.path();
    }

    ::setenv("TMPDIR", tree.path("missing").c_str(), 1);
    EXPECT_EQ(system.TemporaryFile(""), tree.path("missing/"));
    EXPECT_FALSE(fs::exists(tree.path("missing")));
}

TEST(TemporaryFile, FallsBackToTmpForUnusableValues) {
    if (!test::enterPrivateMountNamespace() || !test::mountScratch("/tmp")) {
        GTEST_SKIP() << "needs a private mount namespace to put a scratch /tmp in place";
    }
    Environment environment;
    HostSystem system;
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative"), std::optional<std::string>("/")}) {
        Environment::set("TMPDIR", value);
        EXPECT_EQ(system.TemporaryFile(""), "/tmp/") << value.value_or("(unset)");
    }
    EXPECT_EQ(names("/tmp").size(), 4u);
    ::umount("/tmp");
}

}  // namespace
}  // namespace sweepwise::platform
