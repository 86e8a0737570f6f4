#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "base/Text.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"
#include "platform/machine/RegFile.h"
#include "settings/CRegistry.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// The file's bytes for UTF-8 text: BOM, then UTF-16LE.
std::string utf16File(const std::string& utf8) {
    std::vector<uint8_t> body = regfile::toUtf16leBytes(regfile::toUtf16(fromUtf8(utf8)));
    return "\xFF\xFE" + std::string(body.begin(), body.end());
}

std::vector<uint8_t> utf16z(const std::u16string& text) {
    auto bytes = regfile::toUtf16leBytes(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

TEST(RegFileTest, WritesTheRegistryEditorsExportFormat) {
    regfile::Document doc;
    bool created = false;
    regfile::Key* install = doc.create({u"HKEY_LOCAL_MACHINE", u"Software", u"Ostrel", u"Install"}, created);
    ASSERT_TRUE(created);
    install->values.push_back({u"WebURL", 1, utf16z(u"http://h/t7")});
    install->values.push_back({u"q\"uote", 1, utf16z(u"C:\\中\"x\"")});
    install->values.push_back({u"nul", 1, regfile::toUtf16leBytes(std::u16string(u"a\0b\0", 4))});
    install->values.push_back({u"", 4, {0x2a, 0, 0, 0}});
    doc.create({u"HKEY_CLASSES_ROOT", u"IIS"}, created);

    EXPECT_EQ(doc.format(), utf16File("Windows Registry Editor Version 5.00\r\n"
                                      "\r\n[HKEY_CLASSES_ROOT\\IIS]\r\n"
                                      "\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n"
                                      "\r\n[HKEY_LOCAL_MACHINE\\Software\\Ostrel]\r\n"
                                      "\r\n[HKEY_LOCAL_MACHINE\\Software\\Ostrel\\Install]\r\n"
                                      "\"WebURL\"=\"http://h/t7\"\r\n"
                                      "\"q\\\"uote\"=\"C:\\\\中\\\"x\\\"\"\r\n"
                                      "\"nul\"=hex(1):61,00,00,00,62,00,00,00\r\n"
                                      "@=dword:0000002a\r\n"
                                      "\r\n"));
}

// Values the quoted form cannot carry, and long data that wraps, read back
// byte for byte.
TEST(RegFileTest, EveryValueRoundTripsThroughTheFile) {
    regfile::Document doc;
    bool created = false;
    regfile::Key* key = doc.create({u"HKEY_LOCAL_MACHINE", u"Software", u"Ostrel", u"DB"}, created);
    std::vector<uint8_t> longData;
    for (int i = 0; i < 300; ++i) longData.push_back(static_cast<uint8_t>(i * 7));
    const std::vector<regfile::Value> values = {
        {u"empty", 1, {}},
        {u"emptyText", 1, utf16z(u"")},
        {u"unterminated", 1, regfile::toUtf16leBytes(u"abc")},
        {u"oddLength", 1, {0x41, 0x00, 0x42}},
        {u"twoNuls", 1, utf16z(std::u16string(u"x\0", 2))},
        {u"control", 1, utf16z(u"line1\r\nline2\ttab")},
        {u"中文名", 1, utf16z(u"Vessa考试系统")},
        {u"long", 1, longData},
        {u"binary", 3, longData},
        {u"multi", 7, utf16z(std::u16string(u"a\0b\0", 4))},
        {u"shortDword", 4, {1, 2}},
    };
    key->values = values;
    const std::string bytes = doc.format();
    auto parsed = regfile::Document::parse(bytes);
    ASSERT_TRUE(parsed);
    const regfile::Key* back = parsed->find({u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"ostrel", u"db"});
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->values.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back->values[i].name, values[i].name);
        EXPECT_EQ(back->values[i].type, values[i].type) << i;
        EXPECT_EQ(back->values[i].data, values[i].data) << i;
    }
    EXPECT_EQ(parsed->format(), bytes);
    // Wrapped lines stay within the registry editor's width.
    std::string text =
        toUtf8(regfile::fromUtf16(regfile::fromUtf16leBytes({bytes.begin() + 2, bytes.end()})));
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    }
}

TEST(RegFileTest, ReadsHandWrittenFiles) {
    auto doc =
        regfile::Document::parse(utf16File("Windows Registry Editor Version 5.00\n"
                                           "; a comment\n"
                                           "[HKEY_LOCAL_MACHINE\\Software\\Ostrel\\Install]\n"
                                           "\"a\" = \"1\"\n"
                                           "\"b\"=hex(1):41,00,\\\n"
                                           "    00,00\n"
                                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OSTREL\\INSTALL]\n"
                                           "\"A\"=\"2\"\n"));
    ASSERT_TRUE(doc);
    const regfile::Key* key = doc->find({u"HKEY_LOCAL_MACHINE", u"Software", u"Ostrel", u"Install"});
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 2u);
    EXPECT_EQ(key->value(u"a")->data, utf16z(u"2"));
    EXPECT_EQ(key->value(u"b")->data, utf16z(u"A"));
    // The parents of a key exist even without headers of their own.
    EXPECT_NE(doc->find({u"HKEY_LOCAL_MACHINE", u"Software", u"Ostrel"}), nullptr);
}

struct Malformed {
    const char* name;
    std::string bytes;
};

class MalformedRegFile : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedRegFile, IsRejected) {
    EXPECT_FALSE(regfile::Document::parse(GetParam().bytes));
}

const std::string kHead = "Windows Registry Editor Version 5.00\r\n";
const std::string kKey = kHead + "[HKEY_LOCAL_MACHINE\\Software]\r\n";
INSTANTIATE_TEST_SUITE_P(
    Files, MalformedRegFile,
    ::testing::Values(Malformed{"Empty", std::string()},
                      Malformed{"NoByteOrderMark", "Windows Registry Editor Version 5.00\r\n"},
                      Malformed{"AnsiFormat", utf16File("REGEDIT4\r\n")},
                      Malformed{"HeaderNotFirst", utf16File("\r\n" + kHead)},
                      Malformed{"OddLength", utf16File(kHead).substr(0, 9)},
                      Malformed{"ValueBeforeKey", utf16File(kHead + "\"a\"=\"x\"\r\n")},
                      Malformed{"UnknownRoot", utf16File(kHead + "[HKEY_NOWHERE\\Software]\r\n")},
                      Malformed{"KeyDeletion", utf16File(kHead + "[-HKEY_LOCAL_MACHINE\\Software]\r\n")},
                      Malformed{"UnclosedHeader", utf16File(kHead + "[HKEY_LOCAL_MACHINE\\Software\r\n")},
                      Malformed{"EmptyKeyName", utf16File(kHead + "[HKEY_LOCAL_MACHINE\\\\Software]\r\n")},
                      Malformed{"ValueDeletion", utf16File(kKey + "\"a\"=-\r\n")},
                      Malformed{"UnknownEscape", utf16File(kKey + "\"a\"=\"bad \\n escape\"\r\n")},
                      Malformed{"UnterminatedText", utf16File(kKey + "\"a\"=\"unterminated\r\n")},
                      Malformed{"TextAfterValue", utf16File(kKey + "\"a\"=\"x\" trailing\r\n")},
                      Malformed{"BadHexDigit", utf16File(kKey + "\"a\"=hex(1):4g,00\r\n")},
                      Malformed{"TrailingComma", utf16File(kKey + "\"a\"=hex(1):41,\r\n")},
                      Malformed{"LongDword", utf16File(kKey + "\"a\"=dword:123456789\r\n")},
                      Malformed{"NoEqualsSign", utf16File(kKey + "no equals sign\r\n")}),
    [](const ::testing::TestParamInfo<Malformed>& info) { return std::string(info.param.name); });

// A hive file the store cannot read is never replaced: reads fail, writes
// do nothing, the bytes stay as they were.
TEST(MachineRegistryHiveTest, UnparsableFileIsLeftExactlyAsItWas) {
    test::TempDir dir;
    MachineFolder machine(dir.path());
    const std::string original =
        utf16File(kHead + "\r\n[HKEY_LOCAL_MACHINE\\Software\\Ostrel\\Install]\r\n\"sqlPwd\"=\"pw\r\n");
    test::writeFileBytes(machine.registryFile(), original);
    MachineRegistryHive hive(machine);
    RegKeyHandle key = 0;
    EXPECT_EQ(hive.openKey(rootHandle(RegistryRoot::LocalMachine), "Software", key), reg::BadDatabase);
    EXPECT_EQ(hive.createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\Ostrel", key),
              reg::BadDatabase);
    MachineFileSystem fileSystem(machine);
    CRegistry registry(hive, fileSystem);
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"sqlPwd", RegistryRoot::LocalMachine),
              L"fail to open key");
    EXPECT_THROW(registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", L"x", RegistryRoot::LocalMachine),
                 RegistryError);
    EXPECT_EQ(test::readFileBytes(machine.registryFile()), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "temporary file left";
}

TEST(MachineRegistryHiveTest, WritesKeepOtherValuesAndLeaveNoTemporaryFile) {
    test::TempDir dir;
    MachineFolder machine(dir.path());
    test::writeFileBytes(
        machine.registryFile(),
        utf16File(kHead + "\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"keep\"=\"me\"\r\n"));
    MachineRegistryHive hive(machine);
    MachineFileSystem fileSystem(machine);
    CRegistry(hive, fileSystem)
        .SetKeyValue(L"Ostrel", L"Install", L"WebURL", L"u", RegistryRoot::LocalMachine);
    auto doc = regfile::Document::parse(test::readFileBytes(machine.registryFile()));
    ASSERT_TRUE(doc);
    const regfile::Key* other = doc->find({u"HKEY_CURRENT_USER", u"Software", u"Other"});
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->value(u"keep")->data, utf16z(u"me"));
    EXPECT_NE(doc->find({u"HKEY_LOCAL_MACHINE", u"Software", u"Ostrel", u"Install"}), nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "temporary file left";
}

// A FIFO would block the first read until a writer came; a folder cannot be
// read at all. Both are refused at once and left in place.
TEST(MachineRegistryHiveTest, ARegistryThatIsNoRegularFileIsRefused) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.reg").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.path() / "folder.reg");
    for (const char* name : {"fifo.reg", "folder.reg"}) {
        MachineRegistryHive hive(dir.path() / name);
        RegKeyHandle key = 0;
        EXPECT_NE(hive.openKey(rootHandle(RegistryRoot::LocalMachine), "Software", key), reg::Success)
            << name;
        EXPECT_NE(hive.createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\Ostrel", key),
                  reg::Success)
            << name;
    }
    EXPECT_EQ(std::filesystem::status(dir.path() / "fifo.reg").type(), std::filesystem::file_type::fifo);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "folder.reg"));
}

// Finding keys and values by name must not grow with the number of their
// siblings: 100,000 keys below one key read and write back in well under
// the seconds a quadratic search takes (about 45 s of processor time).
// Sanitizer and unoptimised builds skip the timing.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define T7_SANITIZED_BUILD 1
#endif
#endif

TEST(RegFileTest, ManySiblingKeysParseAndFormatInLinearTime) {
    regfile::Document doc;
    bool created = false;
    constexpr int kKeys = 100000;
    for (int i = 0; i < kKeys; ++i) {
        const std::string name = "Key" + std::to_string(i);
        regfile::Key* key = doc.create(
            {u"HKEY_LOCAL_MACHINE", u"Software", u"Many", std::u16string(name.begin(), name.end())}, created);
        key->values.push_back({u"Value", 1, utf16z(u"data")});
    }
    const std::string bytes = doc.format();
    // Processor time, so that a busy machine does not fail the test.
    const std::clock_t start = std::clock();
    auto parsed = regfile::Document::parse(bytes);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->format(), bytes);
    [[maybe_unused]] const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_NE(parsed->find({u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"many", u"key99999"}), nullptr);
#if defined(NDEBUG) && !defined(T7_SANITIZED_BUILD) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(seconds, 3.0);
#endif
}

TEST(MachineRegistryHiveTest, AMissingMachineFolderFailsTheWriteQuietly) {
    test::TempDir dir;
    MachineFolder machine(dir.path() / "absent");
    MachineRegistryHive hive(machine);
    RegKeyHandle key = 0;
    EXPECT_NE(hive.createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\Ostrel", key), reg::Success);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
}

}  // namespace
}  // namespace t7
