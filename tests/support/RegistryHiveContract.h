#pragma once
// The contract every registry hive keeps, written once. Each implementation
// instantiates it with a factory whose make() returns a hive on a store
// that holds HKEY_LOCAL_MACHINE\Software and nothing below
// Software\T7Contract, and that cleans up what the tests create:
//   INSTANTIATE_TYPED_TEST_SUITE_P(Name, RegistryHiveContract, Factory);
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/RegistryHive.h"

namespace t7 {

template <class Factory>
class RegistryHiveContract : public ::testing::Test {
protected:
    void SetUp() override { hive = factory.make(); }

    // A scratch key below HKEY_LOCAL_MACHINE\Software, created fresh.
    RegKeyHandle scratch() {
        RegKeyHandle key = 0;
        EXPECT_EQ(
            hive->createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\T7Contract\\Scratch", key),
            reg::Success);
        return key;
    }

    void set(RegKeyHandle key, const std::string& name, const std::string& bytes, uint32_t type = reg::Sz) {
        ASSERT_EQ(hive->setValue(key, name, type, reinterpret_cast<const uint8_t*>(bytes.data()),
                                 static_cast<uint32_t>(bytes.size())),
                  reg::Success);
    }

    // Queries the way the settings store does: size first, then the data.
    std::string get(RegKeyHandle key, const std::string& name, uint32_t* type = nullptr) {
        uint32_t size = 0;
        EXPECT_EQ(hive->queryValue(key, name, nullptr, nullptr, &size), reg::Success);
        std::vector<uint8_t> buffer(size + 1, 0xEE);
        uint32_t got = size;
        EXPECT_EQ(hive->queryValue(key, name, type, buffer.data(), &got), reg::Success);
        EXPECT_EQ(got, size);
        EXPECT_EQ(buffer[size], 0xEE) << "wrote past the size it reported";
        return std::string(buffer.begin(), buffer.begin() + got);
    }

    Factory factory;
    std::unique_ptr<IRegistryHive> hive;
};

TYPED_TEST_SUITE_P(RegistryHiveContract);

TYPED_TEST_P(RegistryHiveContract, OpenFindsOnlyExistingKeysIgnoringCase) {
    RegKeyHandle key = 0;
    const RegKeyHandle hklm = rootHandle(RegistryRoot::LocalMachine);
    EXPECT_EQ(this->hive->openKey(hklm, "Software", key), reg::Success);
    this->hive->closeKey(key);
    EXPECT_EQ(this->hive->openKey(hklm, "Software\\T7Contract", key), reg::FileNotFound);
    // Opening does not create.
    EXPECT_EQ(this->hive->openKey(hklm, "Software\\T7Contract", key), reg::FileNotFound);

    this->hive->closeKey(this->scratch());
    EXPECT_EQ(this->hive->openKey(hklm, "SOFTWARE\\t7contract\\SCRATCH", key), reg::Success);
    this->hive->closeKey(key);
}

TYPED_TEST_P(RegistryHiveContract, CreateOpensAnExistingKeyAndKeepsItsValues) {
    RegKeyHandle key = this->scratch();
    this->set(key, "Keep", std::string("kept\0", 5));
    this->hive->closeKey(key);
    key = this->scratch();
    EXPECT_EQ(this->get(key, "Keep"), std::string("kept\0", 5));
    EXPECT_EQ(this->hive->closeKey(key), reg::Success);
}

TYPED_TEST_P(RegistryHiveContract, HandlesOpenRelativeToTheirKeyAndCloseOnce) {
    RegKeyHandle parent = 0, child = 0, again = 0;
    ASSERT_EQ(this->hive->createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\T7Contract", parent),
              reg::Success);
    ASSERT_EQ(this->hive->createKey(parent, "Child", child), reg::Success);
    this->set(child, "v", std::string("1\0", 2));
    ASSERT_EQ(this->hive->openKey(parent, "child", again), reg::Success);
    EXPECT_EQ(this->get(again, "V"), std::string("1\0", 2));
    for (RegKeyHandle h : {again, child, parent}) EXPECT_EQ(this->hive->closeKey(h), reg::Success);
    EXPECT_EQ(this->hive->closeKey(parent), reg::InvalidHandle);
    EXPECT_EQ(this->hive->closeKey(rootHandle(RegistryRoot::LocalMachine)), reg::Success);
}

TYPED_TEST_P(RegistryHiveContract, MissingValueFailsAndLeavesTheSizeAlone) {
    RegKeyHandle key = this->scratch();
    uint32_t size = 0;
    EXPECT_EQ(this->hive->queryValue(key, "none", nullptr, nullptr, &size), reg::FileNotFound);
    EXPECT_EQ(size, 0u);
    uint8_t byte = 0;
    EXPECT_EQ(this->hive->queryValue(key, "none", nullptr, &byte, &size), reg::FileNotFound);
    this->hive->closeKey(key);
}

TYPED_TEST_P(RegistryHiveContract, StringsKeepEveryByteIncludingNulAndChinese) {
    RegKeyHandle key = this->scratch();
    const std::vector<std::string> texts = {
        std::string("", 0),                              // stored with 0 bytes
        std::string("\0", 1),                            // the empty text
        std::string("a\0b\0", 4),                        // embedded NUL
        std::string("no terminator"),                    // no NUL at all
        std::string("\xD6\xD0\xCE\xC4 \"q\" \\\0", 11),  // 中文, quote, backslash
        std::string("tab\tcr\r\nlf\0", 11),
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string name = "v" + std::to_string(i);
        this->set(key, name, texts[i]);
        uint32_t type = 0;
        EXPECT_EQ(this->get(key, name, &type), texts[i]) << name;
        EXPECT_EQ(type, reg::Sz);
    }
    this->hive->closeKey(key);
}

TYPED_TEST_P(RegistryHiveContract, ReplacingAValueKeepsOneValue) {
    RegKeyHandle key = this->scratch();
    this->set(key, "Name", std::string("first\0", 6));
    this->set(key, "NAME", std::string("second\0", 7));
    EXPECT_EQ(this->get(key, "name"), std::string("second\0", 7));
    this->hive->closeKey(key);
}

TYPED_TEST_P(RegistryHiveContract, ASmallBufferGetsMoreDataAndTheSizeNeeded) {
    RegKeyHandle key = this->scratch();
    this->set(key, "v", std::string("abcdef\0", 7));
    uint8_t buffer[3] = {};
    uint32_t size = sizeof buffer;
    EXPECT_EQ(this->hive->queryValue(key, "v", nullptr, buffer, &size), reg::MoreData);
    EXPECT_EQ(size, 7u);
    this->hive->closeKey(key);
}

TYPED_TEST_P(RegistryHiveContract, NonStringTypesKeepTheirBytesAndType) {
    RegKeyHandle key = this->scratch();
    this->set(key, "dw", std::string("\x2a\x00\x00\x80", 4), reg::Dword);
    this->set(key, "bin", std::string("\x00\xff\x10", 3), reg::Binary);
    uint32_t type = 0;
    EXPECT_EQ(this->get(key, "dw", &type), std::string("\x2a\x00\x00\x80", 4));
    EXPECT_EQ(type, reg::Dword);
    EXPECT_EQ(this->get(key, "bin", &type), std::string("\x00\xff\x10", 3));
    EXPECT_EQ(type, reg::Binary);
    this->hive->closeKey(key);
}

TYPED_TEST_P(RegistryHiveContract, ClassesRootIsASeparateTree) {
    RegKeyHandle key = 0;
    const RegKeyHandle hkcr = rootHandle(RegistryRoot::ClassesRoot);
    EXPECT_EQ(this->hive->openKey(hkcr, "T7ContractKey", key), reg::FileNotFound);
    ASSERT_EQ(this->hive->createKey(hkcr, "T7ContractKey", key), reg::Success);
    this->hive->closeKey(key);
    EXPECT_EQ(this->hive->openKey(rootHandle(RegistryRoot::LocalMachine), "T7ContractKey", key),
              reg::FileNotFound);
    EXPECT_EQ(this->hive->openKey(hkcr, "t7contractkey", key), reg::Success);
    this->hive->closeKey(key);
}

REGISTER_TYPED_TEST_SUITE_P(RegistryHiveContract, OpenFindsOnlyExistingKeysIgnoringCase,
                            CreateOpensAnExistingKeyAndKeepsItsValues,
                            HandlesOpenRelativeToTheirKeyAndCloseOnce, MissingValueFailsAndLeavesTheSizeAlone,
                            StringsKeepEveryByteIncludingNulAndChinese, ReplacingAValueKeepsOneValue,
                            ASmallBufferGetsMoreDataAndTheSizeNeeded, NonStringTypesKeepTheirBytesAndType,
                            ClassesRootIsASeparateTree);

}  // namespace t7
