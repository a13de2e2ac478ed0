#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "devlink/slc_log.h"

namespace devlink {

// Where a file port's records go: the command file, the spool file or the offline file.
class IRecordSink {
  public:
    virtual ~IRecordSink() = default;
    // Like write(2): the bytes taken, or -1 with errno set.
    virtual ssize_t Write(const uint8_t* data, size_t size) = 0;
};

// An open command, spool or offline file.
class CPortFile : public IRecordSink {
  public:
    CPortFile() = default;
    ~CPortFile() override;
    CPortFile(const CPortFile&) = delete;
    CPortFile& operator=(const CPortFile&) = delete;

    // Opens for reading and writing, creating the file when missing; keeps its content unless emptyFirst.
    // 0, or the errno of the failure.
    int Open(const std::string& path, bool emptyFirst);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    ssize_t Write(const uint8_t* data, size_t size) override;

  private:
    int fd_ = -1;
};

// 0, or -1 when the 19 bytes could not all be written.
int SendNPAStart(IRecordSink& sink);

// One record: the NPA start packet and the command with its response-requested bit cleared. Nothing is
// read, so the reply is left alone; *replyLength becomes 0 only on a failed write. 0, -3 or -5.
int FileSendCommand(const CSlcLog& log, IRecordSink& port, const uint8_t* command, uint32_t length,
                    uint32_t* replyLength);

// The NPA start packet and the offline (offline != 0) or online record. 0 or -3.
int FileOffline(const CSlcLog& log, IRecordSink& file, uint8_t offline);

// "<temporary folder>/LPT<unique in hex>.TMP", the name the spooled port "LPTn" collects its commands in.
std::string SpoolFileName(const std::string& tempFolder, const std::string& portName, uint32_t unique);

// "offline.npa" in the folder of path.
std::string OfflineFileBeside(const std::string& path);

// LPTn is the raw device /dev/lp(n-1) under the host root; empty when the name carries no port number.
std::string ParallelDevicePath(const std::string& portName);

// Sends a file's bytes to the parallel port. 0, or the errno of the failure.
int CopyFileToPort(const std::string& file, const std::string& portName);

// Parallel ports here have no DOS device name to remove; the step is traced so the log reads the same.
void ParQuorvexDosPort(const CSlcLog& log, const std::string& portName);

}  // namespace devlink
