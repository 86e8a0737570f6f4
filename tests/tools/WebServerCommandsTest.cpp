// t7machine's web server: init writes applicationHost.config, sites prints it.
#include <gtest/gtest.h>

#include "platform/machine/MachineFolder.h"
#include "support/MachineTool.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

class WebServerCommandsTest : public ::testing::Test {
protected:
    test::ToolResult tool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin() + 1, machine.root().string());
        return test::runMachineTool(arguments);
    }
    std::string config() const { return test::readFileBytes(machine.applicationHostConfig()); }

    test::TempDir dir;
    MachineFolder machine{dir.path() / "machine"};
};

TEST_F(WebServerCommandsTest, InitWritesTheDefaultSiteAndTheGivenOnes) {
    ASSERT_EQ(tool({"init", "--site", "Exam:192.168.1.10:8080:exam:host", "--site", "Second::81:"}).status, 0);
    test::ToolResult sites = tool({"sites"});
    ASSERT_EQ(sites.status, 0) << sites.output;
    EXPECT_EQ(sites.output,
              "site Default Web Site (id 1)\n"
              "  binding http *:80:\n"
              "  application / -> %SystemDrive%\\inetpub\\wwwroot\n"
              "site Exam (id 2)\n"
              "  binding http 192.168.1.10:8080:exam:host\n"
              "  application / -> %SystemDrive%\\inetpub\\wwwroot\n"
              "site Second (id 3)\n"
              "  binding http *:81:\n"
              "  application / -> %SystemDrive%\\inetpub\\wwwroot\n");
}

TEST_F(WebServerCommandsTest, InitKeepsAnExistingConfigurationAndOnlyAddsMissingSites) {
    ASSERT_EQ(tool({"init"}).status, 0);
    const std::string edited = config() + "<!-- edited by hand -->\n";
    test::writeFileBytes(machine.applicationHostConfig(), edited);
    ASSERT_EQ(tool({"init", "--site", "Default Web Site::8080:"}).status, 0);
    EXPECT_EQ(config(), edited);

    ASSERT_EQ(tool({"init", "--site", "Exam::8080:"}).status, 0);
    EXPECT_NE(config().find("<!-- edited by hand -->"), std::string::npos);
    EXPECT_NE(config().find("<site name=\"Exam\" id=\"2\">"), std::string::npos) << config();

    ASSERT_EQ(tool({"init", "--no-iis"}).status, 0);
    EXPECT_NE(config().find("Exam"), std::string::npos);
}

TEST_F(WebServerCommandsTest, BadSitesAndBrokenConfigurationsAreRefusedWithoutWriting) {
    for (const char* bad : {"Exam:1.2.3.4:80", ":1.2.3.4:80:", "Exam::0:", "Exam::http:", "Exam::65536:"}) {
        test::ToolResult result = tool({"init", "--site", bad});
        EXPECT_EQ(result.status, 1) << bad;
        EXPECT_NE(result.output.find("--site"), std::string::npos) << result.output;
    }
    const std::string broken = "<configuration><sites>";
    test::writeFileBytes(machine.applicationHostConfig(), broken);
    EXPECT_EQ(tool({"init", "--site", "Exam::8080:"}).status, 1);
    EXPECT_EQ(tool({"sites"}).status, 1);
    EXPECT_EQ(config(), broken);
}

TEST_F(WebServerCommandsTest, SitesShowsApplicationsWithTheirFoldersAndAccess) {
    ASSERT_EQ(tool({"init"}).status, 0);
    std::string text = config();
    const std::string anchor = "                </application>\n";
    text.insert(text.find(anchor) + anchor.size(),
                "                <application path=\"/t7\">\n"
                "                    <virtualDirectory path=\"/\" physicalPath=\"D:\\Exam\\WebRoot\" />\n"
                "                    <virtualDirectory path=\"/img\" physicalPath=\"D:\\Img\" />\n"
                "                </application>\n");
    text.insert(text.find("</configuration>"),
                "    <location path=\"Default Web Site/t7\">\n"
                "        <system.webServer><handlers accessPolicy=\"Read, Script\" /></system.webServer>\n"
                "    </location>\n");
    test::writeFileBytes(machine.applicationHostConfig(), text);
    test::ToolResult sites = tool({"sites"});
    EXPECT_NE(sites.output.find("  application /t7 -> D:\\Exam\\WebRoot [access Read, Script]\n"
                                "  virtual directory /t7/img -> D:\\Img\n"),
              std::string::npos)
        << sites.output;
}

}  // namespace
}  // namespace t7
