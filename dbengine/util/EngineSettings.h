#pragma once
// The settings of an engine session that its files, tables and cursors read: locking, flushing,
// change detection, progress, transport and buffer sizes, and the folders for temporary files.
// The session (session/DataSession.h) owns them and changes them through its setters.

#include <cstdint>
#include <string>

namespace dbengine {

enum TLockProtocol : uint8_t { lpPessimistic = 0, lpOptimistic = 1 };

struct TEngineSettings {
    // Percent between two progress reports: 100 div ProgressSteps, 100 for 0 steps.
    uint16_t GetProgressIncrement() const {
        return ProgressSteps == 0 ? 100 : static_cast<uint16_t>(100 / ProgressSteps);
    }
    // PrivateDir when set, else StartDirectory.
    std::string GetTempDirectory() const { return PrivateDir.empty() ? StartDirectory : PrivateDir; }

    std::string StartDirectory;
    std::string PrivateDir;
    uint16_t ProgressSteps = 20;
    bool ForceBufferFlush = false;
    bool StrictChangeDetection = false;
    uint8_t LockRetryCount = 15;
    uint16_t LockWaitTime = 100;  // milliseconds between two tries of a lock
    TLockProtocol LockProtocol = lpPessimistic;
    bool Remote = false;
    bool LANMode = true;  // transport: true LAN (uncompressed), false Internet (compressed)
    int32_t DataBufferSize = 16384;
    int32_t MaxDataBufferRecords = 8192;
    int32_t IndexBufferSize = 16384;
    int32_t BlobBufferSize = 32768;
    int32_t MaxBlobBufferBlocks = 8192;
};

}  // namespace dbengine
