// The clock writes the locale's short date and long time. The locales are
// compiled for the test from the system's locale sources, so that the test
// does not depend on which locales the machine has generated.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "platform/posix/SystemClock.h"

namespace t7 {
namespace {

// 2026-12-07 16:05:09 in the machine's time zone, and a time after noon,
// so that a 12-hour clock would show.
std::time_t testMoment(std::tm& local) {
    std::tm wanted{};
    wanted.tm_year = 126;
    wanted.tm_mon = 11;
    wanted.tm_mday = 7;
    wanted.tm_hour = 16;
    wanted.tm_min = 5;
    wanted.tm_sec = 9;
    wanted.tm_isdst = -1;
    const std::time_t moment = std::mktime(&wanted);
    localtime_r(&moment, &local);
    return moment;
}

// Environment variables set for one test and restored afterwards.
class ScopedEnv {
public:
    void set(const char* name, const std::string& value) {
        remember(name);
        ::setenv(name, value.c_str(), 1);
    }
    void unset(const char* name) {
        remember(name);
        ::unsetenv(name);
    }
    ~ScopedEnv() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }

private:
    void remember(const char* name) {
        const char* value = std::getenv(name);
        m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// Compiled locales, kept in the build folder for every later run (LOCPATH).
// Each is compiled into a folder of its own and renamed into place, so
// that test programs running side by side never see half of one.
class LocaleFolder {
public:
    static std::filesystem::path path() { return std::filesystem::path(T7_BINARY_DIR) / "test-locales"; }
    // False when the locale sources are not installed.
    static bool make(const std::string& source) {
        const std::filesystem::path target = path() / (source + ".UTF-8");
        if (std::filesystem::exists(target)) return true;
        std::filesystem::create_directories(path());
        const std::filesystem::path work = path() / (source + ".UTF-8." + std::to_string(::getpid()));
        const std::string command =
            "localedef -i " + source + " -f UTF-8 '" + work.string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return false;
        std::error_code ec;
        std::filesystem::rename(work, target, ec);
        // Another program got there first: its copy serves as well.
        if (ec) std::filesystem::remove_all(work, ec);
        return std::filesystem::exists(target);
    }
};

struct LocaleCase {
    const char* source;  // locale source, or "C"
    const char* format;  // the expected text as a printf format of d, m, Y, H, M, S
};

std::string expected(const LocaleCase& c, const std::tm& t) {
    char text[128];
    const std::string format = c.format;
    if (format.rfind("YMD", 0) == 0) {
        std::snprintf(text, sizeof text, format.c_str() + 3, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                      t.tm_hour, t.tm_min, t.tm_sec);
    } else if (format.rfind("MDY", 0) == 0) {
        std::snprintf(text, sizeof text, format.c_str() + 3, t.tm_mon + 1, t.tm_mday, t.tm_year % 100,
                      t.tm_hour, t.tm_min, t.tm_sec);
    } else {
        std::snprintf(text, sizeof text, format.c_str() + 3, t.tm_mday, t.tm_mon + 1, t.tm_year + 1900,
                      t.tm_hour, t.tm_min, t.tm_sec);
    }
    return text;
}

class SystemClockLocaleTest : public ::testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override {
        const std::string source = GetParam().source;
        if (source != "C") {
            if (!LocaleFolder::make(source)) GTEST_SKIP() << "cannot compile the locale " << source;
            env.set("LOCPATH", LocaleFolder::path().string());
            name = source + ".UTF-8";
        }
    }
    ScopedEnv env;
    std::string name = "C";
};

TEST_P(SystemClockLocaleTest, WritesTheLocalesShortDateAndLongTime) {
    std::tm local{};
    const std::time_t moment = testMoment(local);
    EXPECT_EQ(toUtf8(SystemClock(name).dateTimeText(moment)), expected(GetParam(), local));
}

// The program's clock reads LC_TIME as the C library does.
TEST_P(SystemClockLocaleTest, FollowsLcTimeOfTheEnvironment) {
    env.unset("LC_ALL");
    env.set("LC_TIME", name);
    std::tm local{};
    const std::time_t moment = testMoment(local);
    const auto clock = makeClock();
    EXPECT_EQ(toUtf8(dynamic_cast<const SystemClock&>(*clock).dateTimeText(moment)),
              expected(GetParam(), local));
}

INSTANTIATE_TEST_SUITE_P(Locales, SystemClockLocaleTest,
                         ::testing::Values(LocaleCase{"C", "MDY%02d/%02d/%02d %02d:%02d:%02d"},
                                           LocaleCase{"de_DE", "DMY%02d.%02d.%04d %02d:%02d:%02d"},
                                           LocaleCase{"zh_CN", "YMD%04d年%02d月%02d日 %02d时%02d分%02d秒"}),
                         [](const auto& info) { return std::string(info.param.source); });

TEST(SystemClockTest, LocaleThatIsNotInstalledFallsBackToTheCLocale) {
    std::tm local{};
    const std::time_t moment = testMoment(local);
    EXPECT_EQ(SystemClock("xx_NOWHERE.UTF-8").dateTimeText(moment), SystemClock("C").dateTimeText(moment));
}

}  // namespace
}  // namespace t7

// glibc keeps the LOCPATH it parsed for the life of the process; the leak
// checker would count it against the test.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:argz_add_sep\n";
}
