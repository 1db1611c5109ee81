// Decoding a database server's reply and reading its parameters: any bytes either decode and read
// within the reply, or raise the engine's "Error uncompressing data"; never a crash, an overrun or
// an unbounded allocation.
//
// Input: one byte of flags (bit 0: the body is compressed), one byte choosing how the parameters
// are read, then the reply as it would arrive.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/util/EngineError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    const bool compressed = (data[0] & 1) != 0;
    uint8_t pattern = data[1];
    data += 2;
    size -= 2;
    dbengine::TRemoteReply reply;
    try {
        reply.SetMessage(data, static_cast<uint32_t>(size));
        reply.DecodeReply(static_cast<uint32_t>(size), compressed);
        if (reply.TotalLength() != reply.BodyLength() + dbengine::RemoteHeaderSize) __builtin_trap();
        // An error reply's six strings, or the parameters one by one in the chosen ways.
        if (reply.GetReplyCode() != 0) {
            for (int i = 0; i < 6; ++i)
                if (reply.ReadReplyString(255).size() > 255) __builtin_trap();
        }
        for (int i = 0; i < 64 && reply.HasReplyParam(); ++i) {
            switch ((pattern >> (2 * (i % 4))) & 3) {
                case 0: {
                    uint8_t small[16];
                    if (reply.ReadReplyParam(small, sizeof small) > sizeof small) __builtin_trap();
                    break;
                }
                case 1:
                    reply.ReadReplyInt32();
                    break;
                case 2:
                    reply.ReadReplyInt64();
                    break;
                default:
                    if (reply.ReadReplyString(255).size() > 255) __builtin_trap();
                    break;
            }
        }
    } catch (const dbengine::EDbEngineError& e) {
        if (e.ErrorCode != dbengine::DBE_UNCOMPRESS) __builtin_trap();
    }
    return 0;
}
