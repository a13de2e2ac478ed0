// ParseReadReply on arbitrary replies, against the tables of a small model with a labelled, a text, a
// numeric and a two-byte setting. The input is the whole reply, header included.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "exchange/exchange_tables.h"
#include "exchange/read_reply.h"
#include "fuzz_support.h"

namespace {

constexpr const char kModel[] =
    "[NPA READ SETTING]\n"
    "PAPER.PAPERSOURCE=0101\n"
    "SETUP.JOBNAME=0401\n"
    "SETUP.TIMEOUT=0402\n"
    "PCL.SYMBOLSET=0501\n"
    "[NPA WRITE VALUES]\n"
    "*PAPER.PAPERSOURCE:TRAY1=01\n"
    "PAPER.PAPERSOURCE:TRAY2=02\n"
    "PAPER.PAPERSOURCE:MPFEEDER=03\n"
    "SETUP.JOBNAME:=\n"
    "SETUP.TIMEOUT:DISABLED=0000\n"
    "*SETUP.TIMEOUT:15..90..300=FFFF\n"
    "*PCL.SYMBOLSET:ROMAN8=0115\n"
    "PCL.SYMBOLSET:PC8=0A01\n";

exchange::CExchangeTables& Tables() {
    static exchange::CExchangeTables* tables = [] {
        // Loading reads the registry under the host root: keep it away from the real one.
        setenv("KELVARO_ROOT", fuzz::PrivateDir().c_str(), 1);
        const std::string model = fuzz::PrivateDir() + "/model.ini";
        fuzz::WriteFile(model, kModel);
        auto* loaded = new exchange::CExchangeTables;
        loaded->Load(model);
        exchange::BuildReadRequest(*loaded);
        return loaded;
    }();
    return *tables;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const exchange::CExchangeTables& tables = Tables();
    const uint32_t length = static_cast<uint32_t>(size);
    fuzz::Keep(exchange::IsReadReply(data, length) ? 1 : 0);

    exchange::ValueMap values;
    exchange::ValueMap descriptors;
    exchange::ParseReadReply(data, length, tables, values, descriptors);

    // Every record gives a value and a descriptor under the same name.
    FUZZ_CHECK(values.size() == descriptors.size());
    for (const auto& [name, descriptor] : descriptors) {
        FUZZ_CHECK(values.count(name) == 1);
        FUZZ_CHECK(name.empty() || tables.FindIdentifier(name) != nullptr);
        FUZZ_CHECK(descriptor.empty() ||
                   (descriptor.starts_with("Setting(NumSettings=") && descriptor.ends_with(")")));
        fuzz::Keep(values.at(name).size() + descriptor.size());
    }
    return 0;
}
