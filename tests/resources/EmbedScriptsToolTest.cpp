// The build step that stores the scripts: run the host tool on small inputs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/TestPaths.h"

namespace t7 {
namespace {

namespace fs = std::filesystem;

// The tool sits at the top of the build tree, two levels above this test.
fs::path toolPath() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "t7_embed_scripts";
}

class EmbedScriptsToolTest : public ::testing::Test {
protected:
    // Runs the tool on one script; returns its exit code, the generated
    // source in `output`.
    int embed(const std::string& script, std::string& output) {
        test::writeFileBytes(m_dir.path() / "in.sql", script);
        fs::path out = m_dir.path() / "out.cpp";
        std::string command = "'" + toolPath().string() + "' '" + out.string() + "' DEMO='" +
                              (m_dir.path() / "in.sql").string() + "' 2>'" +
                              (m_dir.path() / "err.txt").string() + "'";
        int status = std::system(command.c_str());
        output = test::readFileBytes(out);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string errors() { return test::readFileBytes(m_dir.path() / "err.txt"); }

    test::TempDir m_dir;
};

TEST_F(EmbedScriptsToolTest, StoresCrLfCodePage936PaddedWhateverTheLineEndsOfTheSource) {
    ASSERT_TRUE(fs::exists(toolPath())) << toolPath();
    std::string lf, crlf;
    // "考" is BF BC in code page 936; "a\r\n考\r\n" is 7 bytes, padded to 8.
    ASSERT_EQ(embed("a\n\xE8\x80\x83\n", lf), 0) << errors();
    EXPECT_NE(lf.find("97, 13, 10, 191, 188, 13, 10, 0,\n"), std::string::npos) << lf;
    EXPECT_NE(lf.find("L\"DEMO\", L\"CUSTOM\""), std::string::npos);
    // A checkout with CR LF line ends stores the same bytes.
    ASSERT_EQ(embed("a\r\n\xE8\x80\x83\r\n", crlf), 0) << errors();
    EXPECT_EQ(crlf, lf);
}

TEST_F(EmbedScriptsToolTest, RefusesTextThatCodePage936CannotCarry) {
    ASSERT_TRUE(fs::exists(toolPath())) << toolPath();
    std::string out;
    // A Thai letter would reach the server as "?".
    EXPECT_NE(embed("select 1\nselect N'\xE0\xB8\x81'\n", out), 0);
    EXPECT_NE(errors().find("line 2"), std::string::npos) << errors();
    EXPECT_NE(embed("select '\xFF'\n", out), 0);
    EXPECT_NE(errors().find("invalid UTF-8 on line 1"), std::string::npos) << errors();
}

}  // namespace
}  // namespace t7
