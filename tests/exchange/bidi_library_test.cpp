#include <dlfcn.h>
#include <gtest/gtest.h>

#include <sstream>

#include "exchange/settings_exchange.h"
#include "platform/fake_clock.h"
#include "reply_builder.h"
#include "scripted_link.h"
#include "sim_bidi_printer.h"
#include "tests/support/temp_root.h"

namespace {

using exchange::ValueMap;
using namespace exchangetest;

std::string VariantPath(const std::string& variant) {
    return std::string(FAKE_BCE_DIR) + "/" + variant + "/libQvxBce.so";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The fake library, opened by the test itself to steer it; the exchange's own load shares its state.
class CFakeBce {
  public:
    explicit CFakeBce(const std::string& name) : handle_(dlopen(name.c_str(), RTLD_NOW)) {
        if (handle_ != nullptr) {
            Get<FakeBceResetFn>("FakeBceReset")();
        }
    }
    ~CFakeBce() {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }
    bool IsLoaded() const { return handle_ != nullptr; }
    void AddPrinter(const char* port, uint16_t handle, int terminate = 1) {
        Get<FakeBceAddPrinterFn>("FakeBceAddPrinter")(port, handle, terminate);
    }
    void SetResponder(CSimBidiPrinter& printer) {
        Get<FakeBceSetResponderFn>("FakeBceSetResponder")(CSimBidiPrinter::Respond, &printer);
    }
    void SetRegisterResult(uint32_t result) {
        Get<FakeBceSetRegisterResultFn>("FakeBceSetRegisterResult")(result);
    }
    std::vector<std::string> Calls() { return Lines(Get<FakeBceCallsFn>("FakeBceCalls")()); }

  private:
    template <typename Function>
    Function Get(const char* name) {
        return reinterpret_cast<Function>(dlsym(handle_, name));
    }
    void* handle_;
};

class BidiLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fake_.IsLoaded()) << "LD_LIBRARY_PATH must name the fake library: " << dlerror();
        ASSERT_EQ(0, printer_.settings.Load(KELVARO_MODEL_FILE));
        fake_.AddPrinter("USB001", 41);
        fake_.AddPrinter("USB002", 42);
        fake_.SetResponder(printer_);
        exchange_.SetModelFile(KELVARO_MODEL_FILE);
        exchange_.SetBidiAlertWindow(1234);
    }

    testsupport::TempRoot root_;
    platform::FakeClock clock_;
    platform::ScopedClock scopedClock_{clock_};
    CFakeBce fake_{"libQvxBce.so"};
    CSimBidiPrinter printer_;
    CScriptedLink link_;
    exchange::CSettingsExchange exchange_{link_};
};

TEST_F(BidiLibraryTest, DetectsAndReadsThroughTheLibraryFoundByName) {
    printer_.modelCode = '5';
    ValueMap detected;
    EXPECT_TRUE(exchange_.DetectPrinters({}, detected));
    EXPECT_TRUE(exchange_.LibraryMode());
    EXPECT_EQ((ValueMap{{"USB001", "Quorvex K600"}, {"USB002", "Quorvex K600"}}), detected);

    ValueMap values;
    ValueMap descriptors;
    EXPECT_EQ(0, exchange_.ReadSettings("USB002", values, descriptors, 0));
    for (const sim::SimSetting& setting : printer_.settings.All()) {
        EXPECT_EQ(printer_.settings.ValueText(setting.name), values[setting.name]) << setting.name;
    }
    EXPECT_TRUE(link_.calls.empty());
    std::vector<std::string> calls = fake_.Calls();
    EXPECT_EQ("BceRegisterApp 0", calls[0]);
    EXPECT_EQ("BceEnumPrinters 7 80000C00", calls[1]);
    EXPECT_EQ(
        "BceSendBidi 7 41 0 AA 64 A500065"
        "0E0EB0000B2",
        calls[2]);
    EXPECT_TRUE(calls.back().starts_with("BceSendBidi 7 42 0 AA 8192 A5")) << calls.back();
}

TEST_F(BidiLibraryTest, OtherModelCodesAreNotDetected) {
    printer_.modelCode = 'Q';
    ValueMap detected;
    EXPECT_FALSE(exchange_.DetectPrinters({{"x", "USB001"}}, detected));
    EXPECT_TRUE(link_.calls.empty());
}

TEST_F(BidiLibraryTest, ShortReplyIsParsedAsItIs) {
    printer_.readReply = Reply({Type0(0x020B, {0x00, 0x07})});  // FINISHING.COPIES, far below 100 bytes
    ValueMap values;
    ValueMap descriptors;
    EXPECT_EQ(0, exchange_.ReadSettings("USB001", values, descriptors, 0));
    EXPECT_EQ("7", values["FINISHING.COPIES"]);
    size_t sends = 0;
    for (const std::string& call : fake_.Calls()) {
        sends += call.starts_with("BceSendBidi") ? 1 : 0;
    }
    EXPECT_EQ(1u, sends);
}

TEST_F(BidiLibraryTest, WritesBetweenOfflineAndOnlineThroughTheLibrary) {
    ValueMap detected;
    exchange_.DetectPrinters({}, detected);
    EXPECT_EQ(0, exchange_.WriteSettings("USB002", {"FINISHING.COPIES:12", "PAPER.PAPERSOURCE:TRAY2"}, 0));
    std::vector<std::string> calls = fake_.Calls();
    std::vector<std::string> tail(calls.end() - 7, calls.end());
    EXPECT_EQ("BceCaptureAlerts 7 42 00040100 1234 0", tail[0]);
    EXPECT_EQ("BceCaptureAlerts 7 42 00040100 1234 0", tail[1]);
    EXPECT_EQ("BceSendBidi 7 42 0 AA 64 A500065CE0E70C0102", tail[2]);
    EXPECT_TRUE(tail[3].starts_with("BceSendBidi 7 42 0 AA 64 A5000C50E0B20300")) << tail[3];
    EXPECT_TRUE(tail[4].starts_with("BceSendBidi 7 42 0 AA 64 A5000B50E0B20300")) << tail[4];
    EXPECT_EQ("BceCaptureAlerts 7 42 00040100 1234 0", tail[5]);
    EXPECT_EQ("BceSendBidi 7 42 0 AA 64 A500065CE0E70C0000", tail[6]);
    EXPECT_EQ((std::vector<uint32_t>{2000, 2000}), clock_.Sleeps());
    EXPECT_EQ("12", printer_.settings.ValueText("FINISHING.COPIES"));
    EXPECT_EQ("TRAY2", printer_.settings.ValueText("PAPER.PAPERSOURCE"));
    EXPECT_FALSE(printer_.offline);
    EXPECT_TRUE(link_.calls.empty());
}

TEST_F(BidiLibraryTest, CommandFilesStayOnTheDeviceLink) {
    exchange_.BindBidiLibrary();
    EXPECT_EQ(0, exchange_.WriteSettings("/out/x.npa", {"FINISHING.COPIES:12"}, 1));
    EXPECT_EQ((std::vector<std::string>{"open", "offline1", "send", "offline0", "close"}), link_.Ops());
}

TEST_F(BidiLibraryTest, FactoryDefaultsPortsAndNotifications) {
    ValueMap detected;
    exchange_.DetectPrinters({}, detected);
    printer_.settings.SetValueText("FINISHING.COPIES", "12");
    exchange_.RestoreFactoryDefaults("USB001");
    EXPECT_EQ("1", printer_.settings.ValueText("FINISHING.COPIES"));

    std::string ports;
    EXPECT_TRUE(exchange_.QueryPorts("USB001", ports));
    EXPECT_EQ("Ports:Parallel,USB", ports);

    EXPECT_EQ(5, exchange_.OnBidiNotification(0x00120034, 0));
    EXPECT_EQ("BceQueryAlerts 7 12 120034 2 64", fake_.Calls().back());
    EXPECT_TRUE(link_.calls.empty());
}

TEST_F(BidiLibraryTest, NoPrinterModeReadsDefaultsEvenWhenBound) {
    exchange_.BindBidiLibrary();
    exchange_.SetNoPrinterMode(1);
    ValueMap values;
    ValueMap descriptors;
    EXPECT_EQ(1, exchange_.ReadSettings("USB001", values, descriptors, 1));
    EXPECT_EQ("64", values["PCL.LINESPERPAGE"]);
}

TEST_F(BidiLibraryTest, FindsTheFirstRecordOfAPort) {
    fake_.AddPrinter("USB001", 99);
    fake_.AddPrinter("USB003", 77, 0);  // its name runs to the end of the record
    ValueMap detected;
    exchange_.DetectPrinters({}, detected);
    EXPECT_EQ(41, exchange_.FindBidiPrinter("USB001"));
    EXPECT_EQ(0, exchange_.FindBidiPrinter("USB009"));
    EXPECT_EQ(0, exchange_.FindBidiPrinter("USB003"));
    EXPECT_EQ(0, exchange_.FindBidiPrinter("usb001"));
}

TEST_F(BidiLibraryTest, ShutdownUnloadsWithoutUnregistering) {
    exchange_.BindBidiLibrary();
    exchange_.ShutdownExchange("USB001");
    EXPECT_FALSE(exchange_.BidiLibraryLoaded());
    for (const std::string& call : fake_.Calls()) {
        EXPECT_FALSE(call.starts_with("BceUnregisterApp")) << call;
    }
}

TEST_F(BidiLibraryTest, FailedRegistrationLeavesTheDeviceLinkInUse) {
    fake_.SetRegisterResult(0xFFFF);
    EXPECT_FALSE(exchange_.BindBidiLibrary());
    EXPECT_TRUE(exchange_.BidiLibraryLoaded());
}

// Each build of the fake that lacks one function: library mode stays off, the device link carries every
// exchange, and the library stays loaded until the exchange shuts down.
class MissingFunctionTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MissingFunctionTest, LeavesTheDeviceLinkInUse) {
    testsupport::TempRoot root;
    CFakeBce fake(VariantPath(GetParam()));
    ASSERT_TRUE(fake.IsLoaded()) << dlerror();
    fake.AddPrinter("USB001", 41);
    CScriptedLink link;
    link.replies = {{0, {0xA5, 0x00, 0x04, 0x00, 0x03, 0x04, 0x20}},
                    {0, {0xA5, 0x00, 0x07, 0x00, 0xE0, 0xEB, 0x00, 0x00, 0xB2, '+'}}};
    exchange::CSettingsExchange exchange(link, VariantPath(GetParam()));
    ValueMap detected;
    EXPECT_TRUE(exchange.DetectPrinters({{"K600", "USB005"}}, detected));
    EXPECT_FALSE(exchange.LibraryMode());
    EXPECT_EQ((ValueMap{{"USB005", "Quorvex K600"}}), detected);
    EXPECT_EQ((std::vector<std::string>{"open", "send", "send", "close"}), link.Ops());
    EXPECT_TRUE(exchange.BidiLibraryLoaded());
    exchange.ShutdownExchange("USB005");
    EXPECT_FALSE(exchange.BidiLibraryLoaded());
}

INSTANTIATE_TEST_SUITE_P(EachFunction, MissingFunctionTest,
                         ::testing::Values("BceRegisterApp", "BceUnregisterApp", "BceSendBidi",
                                           "BceEnumPrinters", "BceCaptureAlerts", "BceQueryAlerts"));

TEST(NoBidiLibraryTest, EveryExchangeUsesTheDeviceLink) {
    testsupport::TempRoot root;
    CScriptedLink link;
    exchange::CSettingsExchange exchange(link, "libQvxBce-absent.so");
    EXPECT_FALSE(exchange.BindBidiLibrary());
    EXPECT_FALSE(exchange.BidiLibraryLoaded());
    EXPECT_EQ(-1, exchange.BidiOffline("USB001", true));
    EXPECT_EQ(0, exchange.OnBidiNotification(1, 0));
    std::string ports;
    exchange.QueryPorts("USB001", ports);
    EXPECT_EQ((std::vector<std::string>{"open", "send", "close"}), link.Ops());
}

}  // namespace
