// A statement over a remote session against the scripted test server: the requests it sends and
// the callbacks it answers.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbengine/remote/RemoteClient.h"
#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/RemoteTestServer.h"
#include "dbengine/util/Coding.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {
namespace {

using dbengine::testing::ByteParam;
using dbengine::testing::DoubleParam;
using dbengine::testing::Int32Param;
using dbengine::testing::TServerReply;
using dbengine::testing::TServerRequest;
using dbengine::testing::WordParam;
using TParams = std::vector<std::string>;

std::string Bytes(const void* data, size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

class RemoteStatementTest : public ::testing::Test {
protected:
    void Start(int64_t serverVersion) {
        Server.Configure([&](auto& s) { s.ServerVersion = serverVersion; });
        Client.RemotePort = Server.Port();
        Server.On(dbengine::REQUEST_OPENDATADIR,
                  [](const TServerRequest&) { return TServerReply::Ok({Int32Param(42)}); });
        Server.On(76, [](const TServerRequest&) { return TServerReply::Ok({Int32Param(9)}); });
        Server.On(77, [](const TServerRequest&) {
            return TServerReply::Ok({ByteParam(skUpdate), ByteParam(0), ByteParam(0), ByteParam(0)});
        });
        Server.On(79, [](const TServerRequest&) {
            return TServerReply::Ok({DoubleParam(0.25), Int32Param(5)});
        });
        Client.Connect();
        Database = Session.OpenDataDirectory("Sales", "", false);
    }

    dbengine::testing::TRemoteTestServer Server;
    dbengine::TDataSession Session{false};
    dbengine::TRemoteClient& Client = dbengine::InstallRemoteClient(Session);
    dbengine::TDataDirectory* Database = nullptr;
};

// One integer parameter, 7, in its slot, and its descriptor as the server receives it.
struct TIntegerParam {
    TIntegerParam() {
        Params[0].FieldNo = 1;
        Params[0].Name = "tag";
        Params[0].DataType = dbengine::fldInteger;
        Params[0].Size = 4;
        dbengine::PutInt32(Buffer + 1, 7);
        dbengine::TFieldDescriptor desc;
        desc.FieldNo = 1;
        desc.Name = "tag";
        desc.FieldType = dbengine::fldInteger;
        desc.Size = desc.ValueSize = 4;
        const auto encoded = desc.Encode();
        Descriptor = Bytes(encoded.data(), encoded.size());
    }
    std::vector<TParamDesc> Params = std::vector<TParamDesc>(1);
    uint8_t Buffer[5] = {1};
    std::string Descriptor;
    std::string Slot() const { return Bytes(Buffer, sizeof Buffer); }
};

TEST_F(RemoteStatementTest, EveryStepIsARequestWithItsParameters) {
    Start(30400);
    const std::string sql = "Update \"Files\" Set Size = 0 Where FTag = ?";
    TIntegerParam param;
    {
        TQueryStatement statement(Database);
        statement.RequestLive = true;
        statement.SetMaxRowCount(10);
        statement.PrepareSQL(sql);
        EXPECT_EQ(statement.Kind, skUpdate);
        EXPECT_EQ(statement.ExecuteSQL(param.Params, param.Buffer), nullptr);
        EXPECT_EQ(statement.RowsAffected, 5);
        EXPECT_EQ(statement.ExecutionTime, 0.25);
    }
    // Before 30900 the parameters go in a request of their own. Each request is exactly its header
    // (total length, code, body length) and its items, each after its 4-byte length.
    const struct {
        uint16_t Code;
        TParams Items;
    } expected[] = {
        {76, {Int32Param(42)}},
        {77,
         {Int32Param(9), Int32Param(static_cast<int32_t>(sql.size())), sql, ByteParam(1), Int32Param(10)}},
        {78, {Int32Param(9), WordParam(1), param.Descriptor, param.Slot()}},
        {79, {Int32Param(9), ByteParam(0)}},
        {80, {Int32Param(9)}},
    };
    for (const auto& request : expected) {
        const auto sent = Server.RequestsOf(request.Code);
        ASSERT_EQ(sent.size(), 1u) << request.Code;
        EXPECT_EQ(sent[0].Params, request.Items) << request.Code;
        std::string body;
        for (const std::string& item : request.Items)
            body += Int32Param(static_cast<int32_t>(item.size())) + item;
        const std::string wire = Int32Param(static_cast<int32_t>(10 + body.size())) +
                                 WordParam(request.Code) + Int32Param(static_cast<int32_t>(body.size())) +
                                 body;
        EXPECT_EQ(Bytes(sent[0].Wire.data(), sent[0].Wire.size()), wire) << request.Code;
    }
}

TEST_F(RemoteStatementTest, ParametersGoWithTheExecuteFromVersion30900) {
    Start(30900);
    TIntegerParam integer;
    std::vector<TParamDesc> params = integer.Params;
    params.resize(2);
    params[1].FieldNo = 2;
    params[1].DataType = dbengine::fldBlob;
    params[1].SubType = dbengine::fldstMemo;
    params[1].Size = static_cast<uint8_t>(BlobParamSize);
    params[1].Offset = 5;
    std::vector<uint8_t> buffer(5 + 1 + BlobParamSize);
    std::memcpy(buffer.data(), integer.Buffer, 5);
    const std::string text = "memo text";
    buffer[5] = 1;
    dbengine::PutUInt32(buffer.data() + 6, static_cast<uint32_t>(text.size()));
    const char* bytes = text.data();
    std::memcpy(buffer.data() + 10, &bytes, sizeof bytes);
    {
        TQueryStatement statement(Database);
        statement.PrepareSQL("Update \"Files\" Set Notes = ? Where FTag = ?");
        statement.ExecuteSQL(params, buffer.data());
    }
    EXPECT_TRUE(Server.RequestsOf(78).empty());
    const TParams sent = Server.RequestsOf(79)[0].Params;
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(sent[1], WordParam(2));
    EXPECT_EQ(sent[2], integer.Descriptor);
    EXPECT_EQ(sent[4], integer.Slot());
    // The BLOB's slot carries the flag, the length and the bytes themselves, no pointer.
    EXPECT_EQ(sent[5], std::string("\x01\x09\x00\x00\x00", 5) + text);
    EXPECT_EQ(sent[6], ByteParam(0));
}

TEST_F(RemoteStatementTest, TheServersPasswordAndProgressCallbacksAreAnswered) {
    Start(30900);
    // The execute asks for a password, then reports progress, then replies.
    Server.On(79, [](const TServerRequest&) {
        TServerReply reply;
        reply.Code = 11284;
        reply.Params = {ByteParam(11)};
        return reply;
    });
    int answers = 0;
    Server.On(75, [&](const TServerRequest&) {
        if (++answers == 1) {
            TServerReply reply;
            reply.Code = 11284;
            reply.Params = {ByteParam(12), WordParam(40), ByteParam(0)};
            return reply;
        }
        return TServerReply::Ok({DoubleParam(1.5), Int32Param(3)});
    });
    int asked = 0;
    std::vector<int> reported;
    {
        TQueryStatement statement(Database);
        statement.SetPasswordCallback([&](TQueryStatement&) { return ++asked, true; });
        statement.SetProgressCallback([&](TQueryStatement&, int percent, bool& stop) {
            reported.push_back(percent);
            stop = true;
        });
        statement.PrepareSQL("Delete From \"Files\"");
        statement.ExecuteSQL();
        EXPECT_EQ(statement.RowsAffected, 3);
        EXPECT_EQ(statement.ExecutionTime, 1.5);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(reported, (std::vector<int>{40}));
    // Progress was asked for; each answer is one byte: the password found, the stop wanted.
    EXPECT_EQ(Server.RequestsOf(79)[0].Params.back(), ByteParam(1));
    const auto answered = Server.RequestsOf(75);
    ASSERT_EQ(answered.size(), 2u);
    EXPECT_EQ(answered[0].Params, (TParams{ByteParam(1)}));
    EXPECT_EQ(answered[1].Params, (TParams{ByteParam(1)}));
}

}  // namespace
}  // namespace dbsql
