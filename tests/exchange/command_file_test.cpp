#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "devlink/port_manager.h"
#include "exchange/settings_exchange.h"
#include "manager_link.h"
#include "platform/fake_clock.h"
#include "scripted_link.h"
#include "tests/support/temp_root.h"

namespace {

using namespace exchangetest;

const char kModel[] = R"([NPA READ SETTING]
SIZE=0101
PARALLEL.BUFFER=0701
[NPA WRITE VALUES]
*SIZE:LETTER=01
SIZE:A4=02
PARALLEL.BUFFER:3..256=FFFF
)";

const Bytes kNpaStart = {0xA5, 0x00, 0x10, 0x80, 0xA4, 0x5B, 0xA4, 0x5B, 0x10, 0xEF,
                         0xA4, 0x5B, 0x11, 0xEE, 0x00, 0xFF, 0x13, 0xEC, 0x2E};
const Bytes kOnlineRecord = {0xA5, 0x00, 0x06, 0x40, 0xE0, 0xE7, 0x0C, 0x00, 0x00};
const Bytes kOfflineRecord = {0xA5, 0x00, 0x06, 0x40, 0xE0, 0xE7, 0x0C, 0x01, 0x00};
const Bytes kA4Record = {
    0xA5, 0x00, 0x0B,
    0x40,                                      // flags: no response requested in a file
    0xE0, 0xB2, 0x03, 0x00, 0x01, 0x01, 0x01,  // SIZE
    0x00, 0x01,                                // width
    0x02,                                      // A4
};

Bytes ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class CommandFileTest : public ::testing::Test {
  protected:
    CommandFileTest() : link_(manager_), exchange_(link_, "libQvxBce-absent.so") {
        exchange_.SetModelFile(dir_.Write("model.ini", kModel));
        path_ = dir_.Path() + "/out/settings.npa";
        std::filesystem::create_directories(dir_.Path() + "/out");
    }

    testsupport::TempRoot root_;
    testsupport::TempDir dir_;
    platform::FakeClock clock_;
    platform::ScopedClock scopedClock_{clock_};
    devlink::CSlcLog log_;
    devlink::CPortManager manager_{log_};
    CManagerLink link_;
    exchange::CSettingsExchange exchange_;
    std::string path_;
};

TEST_F(CommandFileTest, HoldsExactlyTheBytesAPrinterWouldGet) {
    struct Case {
        const char* what;
        std::vector<std::string> items;
        Bytes file;
    } cases[] = {
        {"one enumerated item", {"SIZE:A4"}, Concat({kNpaStart, kA4Record, kNpaStart, kOnlineRecord})},
        {"only buffer items", {"PARALLEL.BUFFER:64"}, Concat({kNpaStart, kOnlineRecord})},
        {"an empty list", {}, Concat({kNpaStart, kOnlineRecord})},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        std::filesystem::remove(dir_.Path() + "/out/offline.npa");
        EXPECT_EQ(0, exchange_.WriteSettings(path_, c.items, 1)) << c.what;
        EXPECT_BYTES(c.file, ReadFile(path_)) << c.what;
        EXPECT_BYTES(Concat({kNpaStart, kOfflineRecord}), ReadFile(dir_.Path() + "/out/offline.npa"))
            << c.what;
        EXPECT_EQ("", manager_.OpenPortName()) << c.what;
    }
}

TEST_F(CommandFileTest, FileThatCannotBeOpenedIsNotWritten) {
    EXPECT_EQ(-1, exchange_.WriteSettings(dir_.Path() + "/missing/x.npa", {"SIZE:A4"}, 1));
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/missing"));
}

TEST_F(CommandFileTest, OfflineFileThatCannotBeWrittenStopsBeforeAnyCommand) {
    std::filesystem::create_directories(dir_.Path() + "/out/offline.npa");
    EXPECT_EQ(-3, exchange_.WriteSettings(path_, {"SIZE:A4"}, 1));
    EXPECT_TRUE(ReadFile(path_).empty());
}

TEST_F(CommandFileTest, NoPrinterModeStillWritesCommandFiles) {
    CScriptedLink scripted;
    exchange::CSettingsExchange exchange(scripted, "libQvxBce-absent.so");
    exchange.SetModelFile(dir_.Write("model.ini", kModel));
    exchange.SetNoPrinterMode(1);
    EXPECT_EQ(0, exchange.WriteSettings(path_, {"SIZE:A4"}, 1));
    EXPECT_EQ((std::vector<std::string>{"open", "offline1", "send", "offline0", "close"}), scripted.Ops());
}

}  // namespace
