// NPA test files run against the simulated printer: what is sent, shown and written to the results file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/usbprobe/capture.h"
#include "tests/usbprobe/printer_fixture.h"
#include "usbprobe/hex_format.h"

namespace usbprobe_test {
namespace {

const std::string kIdentityCommand = Text({
    0xA5, 0x00, 0x03,  // start, length
    0x10,              // flags: response requested
    0xE0, 0xEB,        // command, identity
});
const std::string kIdentityReply = Text({
    0xA5, 0x00, 0x07,  // start, length
    0x00,              // flags
    0xE0, 0xEB,        // command, identity
    0x00, 0x00, 0xB2,  // fixed bytes
    0x2B,              // model code '+'
});

const std::string kHeaderPattern =
    "\n-----> (Sun|Mon|Tue|Wed|Thu|Fri|Sat) [A-Z][a-z]{2} [ 1-3][0-9] (0[1-9]|1[0-2]):[0-5][0-9]:[0-6][0-9] "
    "(AM|PM) "
    "<-----\n";

std::string Shown(const std::string& reply) {
    CCapture capture;
    usbprobe::HexDump(capture.File(), reinterpret_cast<const uint8_t*>(reply.data()), reply.size());
    return "Received " + std::to_string(reply.size()) + " bytes.\n" + capture.Text() + "\n";
}

class NpaRunOnPrinter : public PrinterTest {
  protected:
    ProgramRun RunScript(const std::string& script, const std::string& pollMs = "100",
                         const std::vector<std::string>& before = {}) {
        WriteWholeFile(WorkFile("test.npa"), script);
        std::vector<std::string> args = before;
        args.insert(args.end(), {"/n", "test.npa", "results.txt"});
        return Run(args, pollMs, "k");
    }
    std::string Results() const { return ReadWholeFile(WorkFile("results.txt")); }
};

TEST_F(NpaRunOnPrinter, PassingAndFailingResponsesPromptAndFile) {
    WriteWholeFile(WorkFile("page.prn"), "PAGE\r\n");
    const std::string script =
        "#: Identity answers\r\n"
        "C:A5000310E0EB\r\n"
        "R:A5??0700E0EB*\r\n"
        "#: Identity with the wrong model\r\n"
        "c: A5000310E0EB\r\n"
        "r: A5000700E0EB0000B2FF  \r\n"
        "P: Press a key\r\n"
        "F:page.prn\r\n";
    const ProgramRun run = RunScript(script);
    EXPECT_EQ(run.output, "6 bytes transfered\n" + Shown(kIdentityReply) + "6 bytes transfered\n" +
                              Shown(kIdentityReply) + "Press a key\n6 bytes transfered\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Received(18), kIdentityCommand + kIdentityCommand + "PAGE\r\n");

    const std::string outcome =
        "\nTest Passed:\t\t#: Identity answers"
        "\nTEST FAILED:\t\t#: Identity with the wrong model\n"
        "Expected: A5000700E0EB0000B2FF \n"
        "received: A5000700E0EB0000B22B \n";
    const std::string results = Results();
    EXPECT_TRUE(std::regex_match(results, std::regex(kHeaderPattern + outcome))) << results;

    // A second run appends, with a header of its own.
    RunScript(script);
    EXPECT_TRUE(std::regex_match(Results(), std::regex("(" + kHeaderPattern + outcome + "){2}")))
        << Results();
}

TEST_F(NpaRunOnPrinter, ResponseThatNeverComes) {
    const std::string script = "#: Silent\r\nR:A5*\r\n";
    EXPECT_EQ(RunScript(script, "1").output, "Printer had no data to return.\n");
    EXPECT_EQ(Results(), "");

    const ProgramRun timed = RunScript(script, "100", {"/tr", "5"});
    EXPECT_EQ(timed.output, "Printer has no data to return.\n");
    EXPECT_TRUE(std::regex_match(Results(), std::regex(kHeaderPattern + "\nTEST FAILED:\t\t#: Silent\n"
                                                                        "Expected: A5\\* \n"
                                                                        "received:  \n")))
        << Results();
}

TEST_F(NpaRunOnPrinter, ResultsFileThatCannotBeOpened) {
    WriteWholeFile(WorkFile("test.npa"), "R:A5*\r\n");
    EXPECT_EQ(Run({"/n", "test.npa", "no/such/dir/results.txt"}).output, "\nFile could not be opened!\n");
}

struct ScriptCase {
    const char* name;
    std::string script;
    std::string output;
    std::string sent;
};

TEST_F(NpaRunOnPrinter, DirectivesWithBadOrLongArguments) {
    WriteWholeFile(RootPath() + "/spool/page.prn", "ROOTED");
    const std::string longCommand(300, '1');
    const ScriptCase kCases[] = {
        {"command with a bad digit", "C:A50G\r\n", "\nError: Not a valid hexidecimal string\n", ""},
        {"command with an odd count", "C:A50\r\n", "\nError: Not a valid hexidecimal string\n", ""},
        {"pattern with a bad digit", "R:A5G0\r\n", "\nError: Not a valid hexidecimal string\n", ""},
        {"command cut at 256 characters", "C:" + longCommand + "\r\n", "128 bytes transfered\n",
         std::string(128, '\x11')},
        {"file under the root", "F: /spool/page.prn\r\n", "6 bytes transfered\n", "ROOTED"},
        {"missing file", "F:nothing.prn\r\n", "Failed to open 'nothing.prn' with error code 2\n\n", ""},
        {"other letters are skipped", "X:C1\r\nQ: 01\r\n", "", ""},
        {"no line end at the end", "C:0102", "2 bytes transfered\n", "\x01\x02"},
    };
    for (const ScriptCase& c : kCases) {
        const size_t before = Received(0).size();
        EXPECT_EQ(RunScript(c.script).output, c.output) << c.name;
        EXPECT_EQ(ReceivedBeforeMarker(before), c.sent) << c.name;
    }
}

}  // namespace
}  // namespace usbprobe_test
