// Whether the GUI can start is decided before Qt is asked, since Qt ends the
// process when it finds no display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "ui/qt/QtDisplay.h"

namespace t7 {
namespace {

// Sets environment variables for one test and puts the old values back.
class EnvironmentScope {
public:
    void set(const char* name, const char* value) {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvironmentScope() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(QtDisplayTest, NoDisplayOrAnUnreachableOneIsReportedNotAttempted) {
    EnvironmentScope env;
    env.set("QT_QPA_PLATFORM", nullptr);
    env.set("WAYLAND_DISPLAY", nullptr);
    env.set("DISPLAY", nullptr);
    std::string why;
    EXPECT_FALSE(qt::displayAvailable(why));
    EXPECT_NE(why.find("DISPLAY"), std::string::npos) << why;

    env.set("DISPLAY", ":64999");
    why.clear();
    EXPECT_FALSE(qt::displayAvailable(why));
    EXPECT_NE(why.find(":64999"), std::string::npos) << why;

    // Offscreen draws nowhere: the wizard would wait for nobody.
    env.set("QT_QPA_PLATFORM", "offscreen");
    why.clear();
    EXPECT_FALSE(qt::displayAvailable(why));
    EXPECT_NE(why.find("offscreen"), std::string::npos) << why;

    // A platform that draws somewhere else is taken as given.
    env.set("QT_QPA_PLATFORM", "vnc:size=800x600");
    EXPECT_TRUE(qt::displayAvailable(why));
}

}  // namespace
}  // namespace t7
