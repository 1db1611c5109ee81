#include "dbengine/remote/RemoteMessage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Wire(const TRemoteRequest& r) {
    return Bytes(r.Data(), r.Data() + r.TotalLength());
}

// A message as a server would send it: header, then each parameter with its length.
Bytes Message(uint16_t code, const std::vector<std::string>& params, bool compress = false) {
    Bytes body;
    for (auto& p : params) {
        uint8_t len[4];
        PutUInt32(len, static_cast<uint32_t>(p.size()));
        body.insert(body.end(), len, len + 4);
        body.insert(body.end(), p.begin(), p.end());
    }
    if (compress && !body.empty()) body = CompressBuffer(body.data(), body.size());
    Bytes m(10);
    PutUInt32(m.data(), static_cast<uint32_t>(10 + body.size()));
    PutUInt16(m.data() + 4, code);
    PutUInt32(m.data() + 6, static_cast<uint32_t>(body.size()));
    m.insert(m.end(), body.begin(), body.end());
    return m;
}

void Decode(TRemoteReply& reply, const Bytes& m, bool compressed = false) {
    reply.SetMessage(m.data(), static_cast<uint32_t>(m.size()));
    reply.DecodeReply(static_cast<uint32_t>(m.size()), compressed);
}

TEST(RemoteRequest, FramesParametersByteForByte) {
    TRemoteRequest r;
    r.SetRequestCode(REQUEST_SETTOBEGIN);
    r.BeginRequest();
    r.FinishRequest(false);
    EXPECT_EQ(Wire(r), (Bytes{10, 0, 0, 0, 20, 0, 0, 0, 0, 0}));

    r.SetRequestCode(REQUEST_OPENDATADIR);
    r.BeginRequest();
    r.AddRequestParam("abc", 3);
    r.FinishRequest(false);
    EXPECT_EQ(Wire(r), (Bytes{17, 0, 0, 0, 5, 0, 7, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'}));

    // Numbers in their own width, little-endian; the buffer is reused from the start.
    r.SetRequestCode(REQUEST_COMMITTXN);
    r.BeginRequest();
    r.AddRequestByte(0xAB);
    r.AddRequestWord(0x1234);
    r.AddRequestInt32(-2);
    r.AddRequestInt64(32400);
    r.FinishRequest(false);
    EXPECT_EQ(Wire(r), (Bytes{41, 0, 0, 0, 12,   0,    31,   0,    0, 0,  //
                              1,  0, 0, 0, 0xAB,                          //
                              2,  0, 0, 0, 0x34, 0x12,                    //
                              4,  0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF,        //
                              8,  0, 0, 0, 0x90, 0x7E, 0,    0,    0, 0, 0, 0}));
}

TEST(RemoteRequest, CompressedBodyIsAZlibStreamWithItsOwnLengths) {
    TRemoteRequest r;
    r.SetRequestCode(REQUEST_ADDPASSWORD);
    r.BeginRequest();
    std::string text(1000, 'x');
    r.AddRequestParam(text);
    r.FinishRequest(true);
    Bytes w = Wire(r);
    ASSERT_GT(w.size(), 10u);
    EXPECT_LT(w.size(), 100u);
    EXPECT_EQ(GetUInt32(w.data()), w.size());
    EXPECT_EQ(GetUInt16(w.data() + 4), REQUEST_ADDPASSWORD);
    EXPECT_EQ(GetUInt32(w.data() + 6), w.size() - 10);
    EXPECT_EQ(w[10], 0x78);  // zlib stream header
    Bytes plain = UncompressBuffer(w.data() + 10, w.size() - 10);
    ASSERT_EQ(plain.size(), 1004u);
    EXPECT_EQ(GetUInt32(plain.data()), 1000u);
    EXPECT_EQ(std::string(plain.begin() + 4, plain.end()), text);

    // An empty body has nothing to compress and stays empty.
    r.BeginRequest();
    r.FinishRequest(true);
    EXPECT_EQ(r.TotalLength(), 10u);
}

TEST(RemoteReply, ReadsParametersOfAPlainOrCompressedReply) {
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        TRemoteReply reply;
        std::string longText(300, 'L');
        Decode(reply,
               Message(0,
                       {std::string("\x07\x00\x00\x00", 4), std::string("\x70\x76\0\0\0\0\0\0", 8), "x",
                        longText},
                       compressed),
               compressed);
        EXPECT_EQ(reply.GetReplyCode(), 0);
        // The header is rewritten to the inflated sizes.
        EXPECT_EQ(reply.TotalLength(), 10u + 8 + 12 + 5 + 304);
        EXPECT_EQ(reply.BodyLength(), 8u + 12 + 5 + 304);
        EXPECT_EQ(reply.ReadReplyInt32(), 7);
        EXPECT_EQ(reply.ReadReplyInt64(), 30320);
        uint8_t one[1];
        EXPECT_EQ(reply.ReadReplyParam(one, 1), 1u);
        EXPECT_EQ(one[0], 'x');
        EXPECT_EQ(reply.ReadReplyString(255), std::string(255, 'L'));
        EXPECT_FALSE(reply.HasReplyParam());
    }
}

TEST(RemoteReply, DamagedRepliesRaise15002AndReadNothingBeyondTheirEnd) {
    struct Case {
        const char* what;
        Bytes message;
        bool compressed;
        std::function<void(TRemoteReply&)> read;
    };
    auto readString = [](TRemoteReply& r) { r.ReadReplyString(255); };
    Bytes longer = Message(0, {"abcd"});
    PutUInt32(longer.data() + 10, 100);  // announces 100 bytes, 4 follow
    Bytes shortLength = Message(0, {});
    shortLength.insert(shortLength.end(), {3, 0});  // half a length field
    PutUInt32(shortLength.data(), 12);
    PutUInt32(shortLength.data() + 6, 2);
    Bytes totalMismatch = Message(0, {"ab"});
    PutUInt32(totalMismatch.data(), 99);
    Bytes bodyMismatch = Message(0, {"ab"});
    PutUInt32(bodyMismatch.data() + 6, 3);
    Bytes notZlib = Message(0, {"plain, not a stream"});
    Bytes hugeLength = Message(0, {"abcd"});
    PutUInt32(hugeLength.data() + 10, 0xFFFFFFFF);  // length + position must not wrap around
    const Case cases[] = {
        {"parameter longer than the rest", longer, false, readString},
        {"length field cut short", shortLength, false, readString},
        {"length wraps around", hugeLength, false, readString},
        {"no parameter left", Message(0, {}), false, readString},
        {"total length differs from bytes held", totalMismatch, false, nullptr},
        {"body length differs from total", bodyMismatch, false, nullptr},
        {"shorter than a header", Bytes{9, 0, 0, 0, 0}, false, nullptr},
        {"compressed body is not a zlib stream", notZlib, true, nullptr},
        {"number of the wrong width", Message(0, {"ab"}), false, [](TRemoteReply& r) { r.ReadReplyInt32(); }},
        {"parameter larger than the destination", Message(0, {"12345678"}), false,
         [](TRemoteReply& r) {
             uint8_t four[4];
             r.ReadReplyParam(four, 4);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRemoteReply reply;
        try {
            Decode(reply, c.message, c.compressed);
            ASSERT_TRUE(c.read) << "decoding should have failed";
            c.read(reply);
            ADD_FAILURE() << "no error";
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, DBE_UNCOMPRESS);
            EXPECT_EQ(std::string(e.what()), "Engine Error # 15002 Error uncompressing data");
        }
    }
}

TEST(RemoteReply, AFailedReadLeavesTheParameterToReadAgain) {
    TRemoteReply reply;
    Decode(reply, Message(0, {"12345678"}));
    uint8_t four[4];
    EXPECT_THROW(reply.ReadReplyParam(four, 4), EDbEngineError);
    EXPECT_THROW(reply.ReadReplyInt32(), EDbEngineError);
    EXPECT_EQ(reply.ReadReplyInt64(), 0x3837363534333231);
}

TEST(RemoteRequest, NamesOfRequestCodes) {
    EXPECT_EQ(GetRemoteRequestName(0), "REQUEST_RECONNECT");
    EXPECT_EQ(GetRemoteRequestName(82), "REQUEST_CONNECTPARAMS");
    EXPECT_EQ(GetRemoteRequestName(116), "REQUEST_EXPORTTABLE");
    EXPECT_EQ(GetRemoteRequestName(117), "");
    EXPECT_EQ(GetRemoteRequestName(119), "");
    EXPECT_EQ(GetRemoteRequestName(120), "REQUEST_TEXTINDEXPARAMS");
    EXPECT_EQ(GetRemoteRequestName(138), "REQUEST_DELETERECORDBLOCK");
    EXPECT_EQ(GetRemoteRequestName(139), "");
}

}  // namespace
}  // namespace dbengine
