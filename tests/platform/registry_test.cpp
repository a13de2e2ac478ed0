#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "tests/support/temp_root.h"

namespace {

using platform::RegAccess;
using platform::RegistryKey;
using platform::RegResult;

std::string ReadValuesFile(const RegistryKey& key) {
    std::ifstream in(key.Directory() + "/values");
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RegistryTest : public ::testing::Test {
  protected:
    testsupport::TempRoot root;
};

TEST_F(RegistryTest, CreatesKeysAndKeepsValuesInRegSyntax) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create("SOFTWARE\\QUORVEX\\QVXSLC", key), RegResult::Ok);
    EXPECT_EQ(key.Directory(),
              root.Path() + "/var/lib/kelvaro/registry/HKEY_LOCAL_MACHINE/SOFTWARE/QUORVEX/QVXSLC");
    ASSERT_EQ(key.WriteDword("LoggingLevel", 0x13), RegResult::Ok);
    ASSERT_EQ(key.WriteString("Path", "C:\\a \"b\""), RegResult::Ok);
    ASSERT_EQ(key.WriteDword("logginglevel", 7), RegResult::Ok);  // same value, first-written case kept
    EXPECT_EQ(ReadValuesFile(key), "\"LoggingLevel\"=dword:00000007\n\"Path\"=\"C:\\\\a \\\"b\\\"\"\n");

    RegistryKey again;
    ASSERT_EQ(RegistryKey::Open("software\\quorvex\\qvxslc", RegAccess::Read, again), RegResult::Ok);
    EXPECT_EQ(again.ReadDword("LOGGINGLEVEL"), 7u);
    EXPECT_EQ(again.ReadString("path"), "C:\\a \"b\"");
    EXPECT_EQ(again.ReadString("LoggingLevel"), std::nullopt);  // a DWORD is not a string
    EXPECT_EQ(again.ReadDword("Missing"), std::nullopt);
}

TEST_F(RegistryTest, MissingKeysAreNotFoundAndSubkeysAreListedInOrder) {
    RegistryKey key;
    EXPECT_EQ(RegistryKey::Open("SOFTWARE\\Nothing", RegAccess::Read, key), RegResult::NotFound);
    EXPECT_FALSE(key.IsOpen());
    for (const char* name : {"b", "a", "C"}) {
        ASSERT_EQ(RegistryKey::Create(std::string("Printers\\") + name + "\\Inner", key), RegResult::Ok);
    }
    ASSERT_EQ(RegistryKey::Open("PRINTERS", RegAccess::Read, key), RegResult::Ok);
    EXPECT_EQ(key.SubKeys(), (std::vector<std::string>{"C", "a", "b"}));
}

TEST_F(RegistryTest, KeyThatCannotBeWrittenIsAccessDeniedForFullAccess) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create("Software\\Quorvex\\Kelvaro", key), RegResult::Ok);
    ASSERT_EQ(key.WriteString("RegionalSettings", "US"), RegResult::Ok);
    ASSERT_EQ(chmod(key.Directory().c_str(), 0555), 0);

    RegistryKey denied;
    EXPECT_EQ(RegistryKey::Open("Software\\Quorvex\\Kelvaro", RegAccess::FullAccess, denied),
              RegResult::AccessDenied);
    EXPECT_EQ(RegistryKey::Create("Software\\Quorvex\\Kelvaro", denied), RegResult::AccessDenied);
    RegistryKey reader;
    ASSERT_EQ(RegistryKey::Open("Software\\Quorvex\\Kelvaro", RegAccess::Read, reader), RegResult::Ok);
    EXPECT_EQ(reader.ReadString("RegionalSettings"), "US");
    EXPECT_EQ(reader.WriteString("RegionalSettings", "NonUS"), RegResult::AccessDenied);
    chmod(key.Directory().c_str(), 0755);
}

TEST_F(RegistryTest, DamagedValuesFileKeepsWhatParsesAndAWriteLosesNothing) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create("Damaged", key), RegResult::Ok);
    const std::string damaged =
        "\"Good\"=\"yes\"\n"
        "\"Broken=\"no end\n"
        "garbage line\n"
        "\"Count\"=dword:0000000g\n"
        "\"Level\"=dword:0000000A\n"
        "\"Carriage\"=\"returns\"\r\r\n";
    std::ofstream(key.Directory() + "/values") << damaged;
    EXPECT_EQ(key.ReadString("Good"), "yes");
    EXPECT_EQ(key.ReadDword("Level"), 10u);
    EXPECT_EQ(key.ReadDword("Count"), std::nullopt);
    EXPECT_EQ(key.ReadString("Carriage"), "returns");

    ASSERT_EQ(key.WriteString("New", "value"), RegResult::Ok);
    EXPECT_EQ(ReadValuesFile(key),
              "\"Good\"=\"yes\"\n\"Broken=\"no end\ngarbage line\n\"Count\"=dword:0000000g\n"
              "\"Level\"=dword:0000000a\n\"Carriage\"=\"returns\"\n\"New\"=\"value\"\n");
}

TEST_F(RegistryTest, WriteInterruptedHalfWayLeavesTheValuesAsTheyWere) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create("Interrupted", key), RegResult::Ok);
    ASSERT_EQ(key.WriteString("Name", "before"), RegResult::Ok);
    // What a crash between writing the new file and renaming it leaves behind.
    std::ofstream(key.Directory() + "/values.tmp.4242.0") << "\"Name\"=\"aft";

    EXPECT_EQ(key.ReadString("Name"), "before");
    EXPECT_TRUE(key.SubKeys().empty());
    ASSERT_EQ(key.WriteString("Name", "after"), RegResult::Ok);
    EXPECT_EQ(key.ReadString("Name"), "after");
}

}  // namespace
