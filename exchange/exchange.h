#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "exchange/hex_bytes.h"

// The settings exchange of the process: reading, writing, command files, identification, the port list and
// the bidirectional library, over one process-wide exchange (exchange::CSettingsExchange).

using ValueMap = std::map<std::string, std::string>;

void SetModelFile(std::string path);
void SetNoPrinterMode(int on);
// 0 read back, 1 the region's defaults, -1 the port cannot be opened, -2 no usable reply.
int ReadSettings(const std::string& port, ValueMap& values, ValueMap& descriptors, int nonUs);
// 0 done, -1 the target cannot be opened, -3 the printer stayed online or an item had no write template.
int WriteSettings(const std::string& target, const std::vector<std::string>& items, int toFile);
void RestoreFactoryDefaults(const std::string& port);
int ShutdownExchange(const std::string& port);
bool DetectPrinters(const ValueMap& printers, ValueMap& detected);
bool QueryPorts(const std::string& port, std::string& text);

std::string ValueToText(const std::string& name, const uint8_t* bytes, uint32_t length);
void LoadExchangeTables();

bool BindBidiLibrary();
uint16_t AddBidiPrinter(const uint8_t* record);
uint16_t FindBidiPrinter(const std::string& port);
int BidiOffline(const std::string& port, bool on);
// For the library's notification message (WM_USER+510) to the alert window.
intptr_t OnBidiNotification(uintptr_t wParam, intptr_t lParam);
void SetBidiAlertWindow(uintptr_t window);
