#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "devlink/port_manager.h"
#include "devlink/usb_port.h"
#include "exchange/settings_exchange.h"
#include "manager_link.h"
#include "platform/fake_clock.h"
#include "sim/sim_host.h"
#include "tests/support/temp_root.h"

namespace {

using exchange::ValueMap;
using namespace exchangetest;

constexpr uint32_t kReplyWaitMs = 5000;  // reached only when a test fails

sim::SimOptions ShippedModel(uint8_t modelCode = '+') {
    sim::SimOptions options;
    options.modelFile = KELVARO_MODEL_FILE;
    options.modelCode = modelCode;
    // Printers are told apart by model and serial number, so each gets a serial of its own.
    options.serial = std::string("SN") + static_cast<char>(modelCode);
    return options;
}

bool IsBufferSetting(const std::string& name) {
    return name == "USB.BUFFER" || name == "PARALLEL.BUFFER";
}

// The exchange over a device link of its own with the USB transport, talking to simulated printers laid
// out under a private root.
class ExchangeSimTest : public ::testing::Test {
  protected:
    ExchangeSimTest() {
        manager_.SetResponseWaitTimeout(kReplyWaitMs);
        exchange_.SetModelFile(KELVARO_MODEL_FILE);
    }

    sim::SimulatedPrinter* AddPrinter(sim::SimOptions options = ShippedModel()) {
        sim::SimulatedPrinter* printer = host_.AddUsbPrinter(std::move(options));
        EXPECT_NE(nullptr, printer);
        return printer;
    }

    testsupport::TempRoot root_;
    sim::SimHost host_;
    devlink::CSlcLog log_;
    devlink::CPortManager manager_{log_, std::make_unique<devlink::CUsbTransport>(log_)};
    CManagerLink link_{manager_};
    exchange::CSettingsExchange exchange_{link_, "libQvxBce-absent.so"};
};

TEST_F(ExchangeSimTest, ReadsEverySettingOfTheShippedModel) {
    sim::SimOptions options = ShippedModel();
    options.records.type1["PAPER.PAPERSOURCE"] = true;
    options.records.type1["FINISHING.COPIES"] = false;
    options.records.unsupported.insert("PAPER.TRAY2SIZE");
    options.chunkSize = 7;
    sim::SimulatedPrinter* printer = AddPrinter(options);
    ASSERT_NE(nullptr, printer);
    printer->SetValue("PAPER.PAPERSOURCE", "TRAY2");

    ValueMap values;
    ValueMap descriptors;
    ASSERT_EQ(0, exchange_.ReadSettings("USB001", values, descriptors, 0));
    size_t checked = 0;
    sim::SimSettings settings = printer->Settings();
    for (const sim::SimSetting& setting : settings.All()) {
        if (setting.name == "PAPER.TRAY2SIZE") {
            EXPECT_EQ("Unsupported", values[setting.name]);
            continue;
        }
        EXPECT_EQ(printer->Value(setting.name), values[setting.name]) << setting.name;
        ++checked;
    }
    EXPECT_GT(checked, 100u);
    EXPECT_EQ("TRAY2", values["PAPER.PAPERSOURCE"]);
    exchange_.ShutdownExchange("USB001");
}

TEST_F(ExchangeSimTest, WritesChangesOfEveryKindAndRestoresDefaults) {
    sim::SimulatedPrinter* printer = AddPrinter();
    ASSERT_NE(nullptr, printer);
    std::vector<std::string> items = {"PAPER.PAPERSOURCE:TRAY2", "FINISHING.COPIES:250",
                                      "PAPER.CUSTOM1NAME:Mine", "SETUP.WAITTIMEOUT:65535"};
    ASSERT_EQ(0, exchange_.WriteSettings("USB001", items, 0));
    EXPECT_EQ("TRAY2", printer->Value("PAPER.PAPERSOURCE"));
    EXPECT_EQ("250", printer->Value("FINISHING.COPIES"));
    EXPECT_EQ("Mine", printer->Value("PAPER.CUSTOM1NAME"));
    EXPECT_EQ("65535", printer->Value("SETUP.WAITTIMEOUT"));
    EXPECT_FALSE(printer->IsOffline());

    exchange_.RestoreFactoryDefaults("USB001");
    ValueMap values;
    ValueMap descriptors;
    ASSERT_EQ(0, exchange_.ReadSettings("USB001", values, descriptors, 0));
    EXPECT_EQ("TRAY1", values["PAPER.PAPERSOURCE"]);
    EXPECT_EQ("1", values["FINISHING.COPIES"]);
    EXPECT_FALSE(printer->IsOffline());
    exchange_.ShutdownExchange("USB001");
}

TEST_F(ExchangeSimTest, DetectsTwoUsbPrintersAndAParallelOne) {
    ASSERT_NE(nullptr, AddPrinter(ShippedModel('+')));
    ASSERT_NE(nullptr, AddPrinter(ShippedModel('5')));
    ASSERT_NE(nullptr, AddPrinter(ShippedModel('Q')));
    ASSERT_FALSE(host_.AddParallelPrinter(1, "", "Parallel K600").empty());
    ValueMap printers = {{"a", "USB001"}, {"b", "USB002"}, {"c", "USB003"}, {"d", "LPT1"}};
    ValueMap detected;
    EXPECT_TRUE(exchange_.DetectPrinters(printers, detected));
    EXPECT_EQ((ValueMap{{"USB001", "Quorvex K600"}, {"USB002", "Quorvex K600"}, {"LPT1", "Unavailable"}}),
              detected);
}

TEST_F(ExchangeSimTest, ListsThePrintersPorts) {
    sim::SimOptions options = ShippedModel();
    options.portTypes = {0x00, 0x07, 0x03};
    ASSERT_NE(nullptr, AddPrinter(options));
    std::string text;
    EXPECT_TRUE(exchange_.QueryPorts("USB001", text));
    EXPECT_EQ("Ports:Parallel,USB,Network", text);
}

std::vector<char> ReadFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every record of a command file follows an NPA start packet, whose length byte 0x10 no record shares.
size_t RecordsIn(const std::vector<char>& bytes) {
    size_t records = 0;
    for (size_t i = 0; i + 3 < bytes.size(); ++i) {
        records +=
            bytes[i] == '\xA5' && bytes[i + 1] == 0 && bytes[i + 2] == 0x10 && bytes[i + 3] == '\x80' ? 1 : 0;
    }
    return records;
}

void CopyToDevice(const std::string& file, const std::string& node) {
    std::vector<char> bytes = ReadFile(file);
    int fd = open(node.c_str(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0) << node;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<size_t>(n);
    }
    close(fd);
}

TEST_F(ExchangeSimTest, CommandFileOfEveryValueBringsAnotherPrinterToTheSameSettings) {
    sim::SimulatedPrinter* source = AddPrinter();
    sim::SimulatedPrinter* target = AddPrinter();
    ASSERT_TRUE(source != nullptr && target != nullptr);
    source->SetValue("PAPER.PAPERSOURCE", "TRAY2");
    source->SetValue("FINISHING.COPIES", "42");
    source->SetValue("PAPER.CUSTOM2NAME", "Heavy");
    target->SetValue("QUALITY.TONERDARKNESS", "3");

    ValueMap values;
    ValueMap descriptors;
    ASSERT_EQ(0, exchange_.ReadSettings("USB001", values, descriptors, 0));
    std::vector<std::string> items;
    for (const auto& [name, value] : values) {
        items.push_back(name + ":" + value);
    }
    std::string file = root_.Path() + "/saved.npa";
    platform::FakeClock clock;
    {
        // The buffer settings are left out of the file, which costs the printer's reset delay.
        platform::ScopedClock scoped(clock);
        ASSERT_EQ(0, exchange_.WriteSettings(file, items, 1));
    }
    EXPECT_EQ(clock.Sleeps(), std::vector<uint32_t>{5000});

    sim::SimSettings settings = source->Settings();
    std::string offlineFile = root_.Path() + "/offline.npa";
    size_t commands = RecordsIn(ReadFile(offlineFile)) + RecordsIn(ReadFile(file));
    EXPECT_GT(commands, 100u);
    target->ClearTranscript();
    CopyToDevice(offlineFile, host_.UsbPrinters()[1].node);
    CopyToDevice(file, host_.UsbPrinters()[1].node);
    ASSERT_TRUE(target->WaitForCommands(commands, kReplyWaitMs));
    for (const sim::SimSetting& setting : settings.All()) {
        if (!IsBufferSetting(setting.name)) {
            EXPECT_EQ(source->Value(setting.name), target->Value(setting.name)) << setting.name;
        }
    }
    EXPECT_FALSE(target->IsOffline());
    exchange_.ShutdownExchange("USB001");
}

}  // namespace
