#include "exchange/exchange.h"

#include "exchange/settings_exchange.h"

namespace {

exchange::CSettingsExchange& Process() {
    static exchange::CSlcDeviceLink link;
    static exchange::CSettingsExchange instance(link);
    return instance;
}

}  // namespace

void SetModelFile(std::string path) {
    Process().SetModelFile(std::move(path));
}

void SetNoPrinterMode(int on) {
    Process().SetNoPrinterMode(on);
}

int ReadSettings(const std::string& port, ValueMap& values, ValueMap& descriptors, int nonUs) {
    return Process().ReadSettings(port, values, descriptors, nonUs);
}

int WriteSettings(const std::string& target, const std::vector<std::string>& items, int toFile) {
    return Process().WriteSettings(target, items, toFile);
}

void RestoreFactoryDefaults(const std::string& port) {
    Process().RestoreFactoryDefaults(port);
}

int ShutdownExchange(const std::string& port) {
    return Process().ShutdownExchange(port);
}

bool DetectPrinters(const ValueMap& printers, ValueMap& detected) {
    return Process().DetectPrinters(printers, detected);
}

bool QueryPorts(const std::string& port, std::string& text) {
    return Process().QueryPorts(port, text);
}

std::string ValueToText(const std::string& name, const uint8_t* bytes, uint32_t length) {
    return Process().ValueToText(name, bytes, length);
}

void LoadExchangeTables() {
    Process().LoadExchangeTables();
}

bool BindBidiLibrary() {
    return Process().BindBidiLibrary();
}

uint16_t AddBidiPrinter(const uint8_t* record) {
    return Process().AddBidiPrinter(record);
}

uint16_t FindBidiPrinter(const std::string& port) {
    return Process().FindBidiPrinter(port);
}

int BidiOffline(const std::string& port, bool on) {
    return Process().BidiOffline(port, on);
}

intptr_t OnBidiNotification(uintptr_t wParam, intptr_t lParam) {
    return Process().OnBidiNotification(wParam, lParam);
}

void SetBidiAlertWindow(uintptr_t window) {
    Process().SetBidiAlertWindow(window);
}
