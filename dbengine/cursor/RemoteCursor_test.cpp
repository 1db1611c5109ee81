#include "dbengine/cursor/RemoteCursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTreeStream.h"
#include "dbengine/remote/RemoteClient.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbengine/testsupport/RemoteEngineServer.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

using testing::ByteParam;
using testing::Int32Param;
using testing::TRemoteEngineServer;
using testing::TServerReply;
using testing::TServerRequest;
using testing::WordParam;
using testsupport::CodeOf;
using Params = std::vector<std::string>;

struct TRow {
    std::string Name;
    std::string City;
    int32_t Amount;
};

const std::vector<TRow> Rows = {
    {"Delta", "Oslo", 40}, {"Alpha", "Rome", 10},   {"Kilo", "Oslo", 110},   {"Echo", "Lima", 50},
    {"Bravo", "Oslo", 20}, {"Juliet", "Rome", 100}, {"Golf", "Lima", 70},    {"Charlie", "Rome", 30},
    {"India", "Oslo", 90}, {"Hotel", "Lima", 80},   {"Foxtrot", "Oslo", 60},
};

std::string Wire(uint16_t code, const Params& params) {
    std::string body;
    for (const std::string& p : params) body += Int32Param(static_cast<int32_t>(p.size())) + p;
    return Int32Param(static_cast<int32_t>(RemoteHeaderSize + body.size())) + WordParam(code) +
           Int32Param(static_cast<int32_t>(body.size())) + body;
}

std::string AsString(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A local database on D: served by a test server that runs the requests on local cursors, and a
// remote session logged in to it with one database "DB".
class RemoteCursorTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        Server = std::make_unique<TRemoteEngineServer>(Database, ServerVersion());
        ClientSession = std::make_unique<TDataSession>(false);
        ClientSession->SetLANMode(LANMode());
        Client = &InstallRemoteClient(*ClientSession);
        Client->RemotePort = Server->Port();
        Client->RemoteUser = "user";
        Client->RemotePassword = "secret";
        Client->RemoteTimeout = 5;  // a test that goes wrong fails instead of hanging
        Client->Connect();
        Client->Login();
        RemoteDb = ClientSession->OpenDataDirectory("DB", {}, false);
    }
    void TearDown() override {
        ClientSession.reset();
        Server.reset();
        TableFixture::TearDown();
    }
    virtual int64_t ServerVersion() const { return 31100; }
    virtual bool LANMode() const { return true; }

    static TFieldDescriptor Field(int16_t no, const std::string& name, uint8_t type, uint8_t size) {
        TFieldDescriptor d;
        d.FieldNo = no;
        d.Name = name;
        d.FieldType = type;
        d.Size = size;
        return d;
    }

    // Name (string 20, primary index), City (string 20), Amount (integer, index "ByAmount").
    static TTableDefinition Definition() {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "City", fldString, 20),
                      Field(3, "Amount", fldInteger, 0)};
        def.PrimaryIndex.FieldNumbers[0] = 1;
        def.PrimaryIndex.Unique = 1;
        TIndexDescriptor byAmount;
        byAmount.Name = "ByAmount";
        byAmount.FieldNumbers[0] = 3;
        def.SecondaryIndexes = {byAmount};
        return def;
    }

    static void Create(TDataDirectory* db, const std::string& name) {
        TDataCursor creator(db);
        creator.SetTableName(name);
        creator.SetExclusive(true);
        creator.CreateTable(Definition(), false, false);
    }

    static std::unique_ptr<TDataCursor> Open(TDataDirectory* db, const std::string& name) {
        auto c = std::make_unique<TDataCursor>(db);
        c->SetTableName(name);
        c->OpenCursor();
        return c;
    }

    static std::vector<uint8_t> Record(TDataCursor& c, const TRow& row) {
        std::vector<uint8_t> b(c.GetRecordSize(), 0);
        c.InitRecord(b.data());
        uint8_t value[32] = {};
        std::memcpy(value, row.Name.c_str(), row.Name.size() + 1);
        c.PutField(1, b.data(), value, false, false);
        std::memset(value, 0, sizeof value);
        std::memcpy(value, row.City.c_str(), row.City.size() + 1);
        c.PutField(2, b.data(), value, false, false);
        PutInt32(value, row.Amount);
        c.PutField(3, b.data(), value, false, false);
        return b;
    }

    static std::string Describe(TDataCursor& c, const uint8_t* record) {
        uint8_t name[32] = {}, city[32] = {}, amount[4] = {};
        bool blank = false;
        c.GetField(1, record, name, blank);
        c.GetField(2, record, city, blank);
        c.GetField(3, record, amount, blank);
        return std::string(reinterpret_cast<char*>(name)) + "/" + reinterpret_cast<char*>(city) + "/" +
               std::to_string(GetInt32(amount));
    }

    // Every record from the beginning forwards, then from the end backwards.
    static std::vector<std::string> Walk(TDataCursor& c) {
        std::vector<std::string> out;
        std::vector<uint8_t> b(c.GetRecordSize());
        c.SetToBegin();
        while (c.GetNextRecord(b.data()) == 0)
            out.push_back(Describe(c, b.data()) + " #" + std::to_string(c.GetRecNo()));
        out.push_back("count " + std::to_string(c.GetRecordCount()));
        c.SetToEnd();
        while (c.GetPriorRecord(b.data()) == 0) out.push_back(Describe(c, b.data()));
        return out;
    }

    // Creates, fills, searches, ranges, filters, edits and reads back one table; every answer
    // in order.
    static std::vector<std::string> Scenario(TDataDirectory* db, const std::string& name,
                                             bool filter = true) {
        std::vector<std::string> log;
        Create(db, name);
        auto c = Open(db, name);
        for (const TRow& row : Rows) {
            std::vector<uint8_t> b = Record(*c, row);
            c->InsertRecord(b.data(), true);
        }
        for (auto& line : Walk(*c)) log.push_back(line);

        std::vector<uint8_t> out(c->GetRecordSize());
        std::vector<uint8_t> key = Record(*c, {"Golf", "", 0});
        // One call per statement: the order of the answers is the order of the calls.
        bool found = c->FindKey(false, key.data(), 1, false, 0, out.data());
        log.push_back("find Golf " + std::to_string(found) + " " + Describe(*c, out.data()) + " #" +
                      std::to_string(c->GetRecNo()));
        key = Record(*c, {"Gx", "", 0});
        found = c->FindKey(false, key.data(), 1, true, 0, out.data());
        log.push_back("nearest Gx " + std::to_string(found) + " " + Describe(*c, out.data()) + " #" +
                      std::to_string(c->GetRecNo()));
        std::vector<uint8_t> current(c->GetRecordSize());
        TEngineErrorCode code = c->GetCurrentRecord(current.data(), false);
        log.push_back("current " + std::to_string(code) + " " + Describe(*c, current.data()));

        c->SetIndexName("ByAmount");
        std::vector<uint8_t> low = Record(*c, {"", "", 30}), high = Record(*c, {"", "", 80});
        c->SetRange(false, low.data(), 1, high.data(), 1);
        for (auto& line : Walk(*c)) log.push_back("range " + line);
        bool onThree = c->SetToRecNo(3);
        log.push_back("recno 3 " + std::to_string(onThree));
        c->GetCurrentRecord(current.data(), false);
        log.push_back("at 3 " + Describe(*c, current.data()));
        c->ResetRange();

        if (filter) {
            TFilter* oslo =
                c->AddFilter(nullptr, "City = 'Oslo'", nullptr, false, {}, false, false, false, false, false);
            c->ActivateFilter(oslo);
            for (auto& line : Walk(*c)) log.push_back("oslo " + line);
            c->DeactivateFilter(oslo);
            c->DropFilter(oslo);
        }

        c->SetIndexName("");
        key = Record(*c, {"Echo", "", 0});
        c->FindKey(false, key.data(), 1, false, 0, nullptr);
        c->GetCurrentRecord(current.data(), false);
        std::vector<uint8_t> changed = Record(*c, {"Echo", "Quito", 55});
        c->ModifyRecord(changed.data(), false, true);
        key = Record(*c, {"Alpha", "", 0});
        c->FindKey(false, key.data(), 1, false, 0, nullptr);
        c->GetCurrentRecord(current.data(), false);
        c->DeleteRecord(current.data(), true);
        for (auto& line : Walk(*c)) log.push_back("edited " + line);
        return log;
    }

    // Name (string 20, primary index) and Notes (memo): written, changed and read back.
    static std::vector<std::string> MemoScenario(TDataDirectory* db, const std::string& name) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Notes", fldBlob, 0)};
        def.Fields[1].SubType = fldstMemo;
        def.PrimaryIndex.FieldNumbers[0] = 1;
        def.PrimaryIndex.Unique = 1;
        {
            TDataCursor creator(db);
            creator.SetTableName(name);
            creator.SetExclusive(true);
            creator.CreateTable(def, false, false);
        }
        auto c = Open(db, name);
        std::vector<std::string> log;
        auto write = [&](uint8_t* record, const std::string& text) {
            int32_t size = 0;
            c->CheckError(c->OpenBlob(2, record, BlobOpenWrite, false, true, size), {});
            c->CheckError(c->TruncateBlob(2, record, 0, false), {});
            c->CheckError(c->PutBlob(2, record, 0, reinterpret_cast<const uint8_t*>(text.data()),
                                     static_cast<int32_t>(text.size()), false),
                          {});
        };
        for (std::string n : {"Bravo", "Alpha", "Charlie"}) {
            std::vector<uint8_t> b(c->GetRecordSize(), 0);
            c->InitRecord(b.data());
            uint8_t value[32] = {};
            std::memcpy(value, n.c_str(), n.size());
            c->PutField(1, b.data(), value, false, false);
            write(b.data(), "notes of " + n + std::string(n.size() * 100, '.'));
            c->InsertRecord(b.data(), true);
        }
        // Alpha's notes replaced by shorter ones.
        std::vector<uint8_t> b(c->GetRecordSize());
        c->SetToBegin();
        c->CheckError(c->GetNextRecord(b.data()), {});
        write(b.data(), "short");
        c->ModifyRecord(b.data(), false, true);
        c->SetToBegin();
        while (c->GetNextRecord(b.data()) == 0) {
            int32_t size = 0;
            c->CheckError(c->OpenBlob(2, b.data(), BlobOpenRead, false, false, size), {});
            int32_t sized = 0;
            c->CheckError(c->GetBlobSize(2, b.data(), sized, false), {});
            std::string text(static_cast<size_t>(sized), '\0');
            int32_t read = 0;
            c->CheckError(
                c->GetBlob(2, b.data(), 0, reinterpret_cast<uint8_t*>(text.data()), sized, read, false), {});
            // Past the end: what there is, and the end-of-value code.
            uint8_t tail[8];
            TEngineErrorCode past = c->GetBlob(2, b.data(), sized - 2, tail, 8, read, false);
            c->CheckError(c->FreeBlob(2, b.data(), false), {});
            uint8_t key[32] = {};
            bool blank = false;
            c->GetField(1, b.data(), key, blank);
            log.push_back(std::string(reinterpret_cast<char*>(key)) + " " + std::to_string(sized) + " " +
                          text.substr(0, 12) + " " + std::to_string(past) + "/" + std::to_string(read));
        }
        log.push_back("open " + std::to_string(c->GetOpenBlobs().size()));
        return log;
    }

    // Adds an index on City and removes the one on Amount, walking the table by the new one.
    static std::vector<std::string> IndexScenario(TDataDirectory* db, const std::string& name) {
        Create(db, name);
        auto c = std::make_unique<TDataCursor>(db);
        c->SetTableName(name);
        c->SetExclusive(true);
        c->OpenCursor();
        for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
        TIndexDescriptor byCity;
        byCity.Name = "ByCity";
        byCity.FieldNumbers[0] = 2;
        byCity.FieldNumbers[1] = 1;
        c->AddIndex(byCity, false);
        std::vector<std::string> log;
        c->SetIndexName("ByCity");
        for (auto& line : Walk(*c)) log.push_back("city " + line);
        c->DeleteIndex("ByAmount", true);
        log.push_back("indexes " + std::to_string(c->GetSecondaryIndexCount()) + " current " +
                      std::to_string(c->CurrentIndex));
        c->SetIndexName("ByCity");
        for (auto& line : Walk(*c)) log.push_back("after " + line);
        log.push_back("missing " + std::to_string(CodeOf([&] { c->SetIndexName("ByAmount"); })));
        return log;
    }

    std::unique_ptr<TRemoteEngineServer> Server;
    std::unique_ptr<TDataSession> ClientSession;
    TRemoteClient* Client = nullptr;
    TDataDirectory* RemoteDb = nullptr;
};

TEST_F(RemoteCursorTest, TableThroughServerAnswersAsLocalTable) {
    std::vector<std::string> local = Scenario(Database, "LocalT");
    std::vector<std::string> remote = Scenario(RemoteDb, "RemoteT");
    ASSERT_GT(local.size(), Rows.size() * 2);
    EXPECT_EQ(remote, local);
    // The server's own table holds what the remote cursor wrote.
    auto check = Open(Database, "RemoteT");
    EXPECT_EQ(check->GetRecordCount(), static_cast<int32_t>(Rows.size()) - 1);
    // Whether a table exists is the server's answer, not a look at local files.
    EXPECT_TRUE(RemoteDb->TableExists("remotet", false));
    EXPECT_FALSE(RemoteDb->TableExists("Nowhere", false));
    try {
        Create(RemoteDb, "RemoteT");
        ADD_FAILURE() << "an existing table was created again";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_TABLEEXISTS);
    }
}

TEST_F(RemoteCursorTest, MemosThroughServerAnswerAsLocalMemos) {
    std::vector<std::string> local = MemoScenario(Database, "LocalM");
    std::vector<std::string> remote = MemoScenario(RemoteDb, "RemoteM");
    ASSERT_EQ(local.size(), 4u);
    EXPECT_EQ(remote, local);
    // From 31100 on reading, writing and sizing stay on the client.
    EXPECT_TRUE(Server->Scripted().RequestsOf(REQUEST_PUTBLOB).empty());
    EXPECT_TRUE(Server->Scripted().RequestsOf(REQUEST_GETBLOB).empty());
}

TEST_F(RemoteCursorTest, IndexesAddedAndDeletedThroughServerAnswerAsLocalOnes) {
    std::vector<std::string> local = IndexScenario(Database, "LocalI");
    std::vector<std::string> remote = IndexScenario(RemoteDb, "RemoteI");
    ASSERT_GT(local.size(), Rows.size() * 4);
    EXPECT_EQ(remote, local);
}

TEST_F(RemoteCursorTest, VerifyRunsOnTheServer) {
    Create(RemoteDb, "T");
    {
        auto c = Open(RemoteDb, "T");
        for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
    }
    TDataCursor v(RemoteDb);
    v.SetTableName("T");
    v.SetExclusive(true);
    EXPECT_TRUE(v.VerifyRepairTable(true, false, false, false, false));
    EXPECT_FALSE(v.IsCursorOpen());
    auto sent = Server->Scripted().RequestsOf(REQUEST_REPAIRTABLE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Params.size(), 8u);
}

TEST_F(RemoteCursorTest, OpenReceivesHeadersDescriptorsAndIndex) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    EXPECT_EQ(c->GetFieldCount(), 3);
    TFieldDescriptor d;
    c->GetFieldDesc(3, d);
    EXPECT_EQ(d.Name, "Amount");
    EXPECT_EQ(c->GetSecondaryIndexCount(), 1);
    EXPECT_EQ(c->GetIndexDesc(1).Name, "ByAmount");
    EXPECT_TRUE(c->IsAtBeginning());
    auto local = Open(Database, "T");
    EXPECT_EQ(c->GetServerVersion(), 31100.0);
    EXPECT_EQ(local->GetServerVersion(), 0.0);
    EXPECT_EQ(c->GetRecordSize(), local->GetRecordSize());
    EXPECT_EQ(c->GetKeySize(), local->GetKeySize());
}

TEST_F(RemoteCursorTest, BlocksOfRecordsServeLaterFetchesWithoutRequests) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
    c->Remote().RemoteReadSize = 4;
    std::vector<uint8_t> b(c->GetRecordSize());
    c->SetToBegin();
    size_t before = Server->Scripted().RequestsOf(REQUEST_GETNEXTRECORD).size();
    std::vector<std::string> names;
    while (c->GetNextRecord(b.data()) == 0) names.push_back(Describe(*c, b.data()));
    EXPECT_EQ(names.size(), Rows.size());
    // 11 records and the end: three blocks of four.
    EXPECT_EQ(Server->Scripted().RequestsOf(REQUEST_GETNEXTRECORD).size() - before, 3u);
    // Another request in between: the next fetch asks again, from where the client stands.
    c->SetToBegin();
    ASSERT_EQ(c->GetNextRecord(b.data()), 0);
    ASSERT_EQ(c->GetNextRecord(b.data()), 0);
    EXPECT_EQ(Describe(*c, b.data()), "Bravo/Oslo/20");
    c->Refresh();
    ASSERT_EQ(c->GetNextRecord(b.data()), 0);
    EXPECT_EQ(Describe(*c, b.data()), "Charlie/Rome/30");
    // A request that neither moves the cursor nor fetches leaves the block to serve on.
    size_t asked = Server->Scripted().RequestsOf(REQUEST_GETNEXTRECORD).size();
    c->Remote().FlushBuffers(false, false, false, false, false);
    ASSERT_EQ(c->GetNextRecord(b.data()), 0);
    EXPECT_EQ(Describe(*c, b.data()), "Delta/Oslo/40");
    EXPECT_EQ(Server->Scripted().RequestsOf(REQUEST_GETNEXTRECORD).size(), asked);
}

// Requests that neither move the cursor nor fetch leave the last request as it was, so that a
// block of records keeps serving; any other request ends it.
TEST_F(RemoteCursorTest, OnlyRequestsThatMayMoveTheCursorReplaceTheLastRequest) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    TRemoteCursor& r = c->Remote();
    c->SetToBegin();
    c->GetNextRecord(nullptr);
    ASSERT_EQ(r.GetLastRequestCode(), REQUEST_GETNEXTRECORD);
    auto send = [&](uint16_t code) {
        Server->Scripted().On(code, [](const TServerRequest&) { return TServerReply::Ok({}); });
        r.BeginRequest(code);
        r.SendAndReceive();
    };
    for (uint16_t code : {17, 31, 32, 38, 39, 41, 42, 43, 44, 45, 61, 64, 68, 69, 70, 75, 83, 84, 85, 120}) {
        send(code);
        EXPECT_EQ(r.GetLastRequestCode(), REQUEST_GETNEXTRECORD) << code;
    }
    for (uint16_t code : {40, 46, 60, 71, 86, 123}) {
        send(code);
        EXPECT_EQ(r.GetLastRequestCode(), code);
    }
}

TEST_F(RemoteCursorTest, AFetchCutOffOnceIsSentAgainAfterAReconnect) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
    c->SetToBegin();
    Server->Scripted().Configure([](auto& s) {
        s.Drops = 1;
        s.DropCode = REQUEST_GETNEXTRECORD;
    });
    std::vector<uint8_t> b(c->GetRecordSize());
    ASSERT_EQ(c->GetNextRecord(b.data()), 0);
    EXPECT_EQ(Describe(*c, b.data()), "Alpha/Rome/10");
    EXPECT_EQ(Server->Scripted().ConnectionsAccepted(), 2);
    EXPECT_EQ(Server->Scripted().RequestsOf(REQUEST_RECONNECT).size(), 1u);
    ASSERT_EQ(c->GetNextRecord(b.data()), 0);
    EXPECT_EQ(Describe(*c, b.data()), "Bravo/Oslo/20");
}

TEST_F(RemoteCursorTest, CloneStandsOnTheSameRecord) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
    std::vector<uint8_t> key = Record(*c, {"India", "", 0});
    ASSERT_TRUE(c->FindKey(false, key.data(), 1, false, 0, nullptr));
    auto clone = c->CloneCursor();
    std::vector<uint8_t> b(clone->GetRecordSize());
    ASSERT_EQ(clone->GetCurrentRecord(b.data(), false), 0);
    EXPECT_EQ(Describe(*clone, b.data()), "India/Oslo/90");
    ASSERT_EQ(clone->GetNextRecord(b.data()), 0);
    EXPECT_EQ(Describe(*clone, b.data()), "Juliet/Rome/100");
    // The source did not move.
    ASSERT_EQ(c->GetCurrentRecord(b.data(), false), 0);
    EXPECT_EQ(Describe(*c, b.data()), "India/Oslo/90");
    EXPECT_EQ(clone->SetToCursor(*c), 0);
    EXPECT_EQ(clone->GetRecNo(), c->GetRecNo());
}

TEST_F(RemoteCursorTest, ServerErrorsAreRaisedWithTheServerName) {
    TDataCursor c(RemoteDb);
    c.SetTableName("Missing");
    try {
        c.OpenCursor();
        FAIL() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, 11010);
        EXPECT_EQ(e.ErrorServer, "127.0.0.1");
        EXPECT_NE(e.ErrorTable.find("Missing"), std::string::npos);
    }
    EXPECT_FALSE(c.IsCursorOpen());
    // A duplicate key on the server.
    Create(RemoteDb, "T");
    auto t = Open(RemoteDb, "T");
    t->InsertRecord(Record(*t, Rows[0]).data(), true);
    try {
        t->InsertRecord(Record(*t, Rows[0]).data(), true);
        FAIL() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, 9729);
        EXPECT_EQ(e.ErrorServer, "127.0.0.1");
    }
}

// Replies that announce more than they hold, or more than the room they go to, raise 15002 and
// leave nothing half-read.
TEST_F(RemoteCursorTest, MalformedRepliesRaise15002) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    c->InsertRecord(Record(*c, Rows[0]).data(), true);
    std::vector<uint8_t> b(c->GetRecordSize() + 64);
    std::string position = Int32Param(1) + Int32Param(1) + Int32Param(1);
    Params counts = {Int32Param(1), Int32Param(1), std::string(8, '\0'), Int32Param(1), Int32Param(1)};
    auto positionParams = [&](const std::string& key) {
        Params p = {Int32Param(1), Int32Param(1), Int32Param(1)};
        p.insert(p.end(), counts.begin(), counts.end());
        p.push_back(key);
        p.push_back(ByteParam(0));
        p.push_back(ByteParam(0));
        return p;
    };
    struct TCase {
        const char* What;
        uint16_t Code;
        std::function<TServerReply()> Reply;
        std::function<void()> Call;
    };
    std::vector<TCase> cases = {
        {"record longer than the record size", REQUEST_GETCURRECORD,
         [&] {
             Params p = {WordParam(0)};
             Params pos = positionParams(std::string(c->GetKeySize(), 'k'));
             p.insert(p.end(), pos.begin(), pos.end());
             p.push_back(std::string(c->GetRecordSize() + 1u, 'r'));
             return TServerReply::Ok(p);
         },
         [&] { c->GetCurrentRecord(b.data(), false); }},
        {"bookmark longer than any key", REQUEST_SETTOBEGIN,
         [&] { return TServerReply::Ok(positionParams(std::string(MaxKeyFieldPart + 5, 'k'))); },
         [&] { c->SetToBegin(); }},
        {"position cut short", REQUEST_SETTOEND,
         [&] {
             return TServerReply::Ok({Int32Param(1), Int32Param(1)});
         },
         [&] { c->SetToEnd(); }},
        {"number of the wrong width", REQUEST_SETTORECNO,
         [&] {
             Params p = positionParams(std::string(c->GetKeySize(), 'k'));
             p[0] = WordParam(1);
             return TServerReply::Ok(p);
         },
         [&] { c->SetToRecNo(1); }},
        {"parameter longer than the rest of the reply", REQUEST_REFRESH,
         [&] {
             // Header: total 18, code 0, body 8; the one parameter announces 100 bytes.
             std::string raw = Int32Param(18) + WordParam(0) + Int32Param(8) + Int32Param(100) + "abcd";
             TServerReply r;
             r.Raw = std::vector<uint8_t>(raw.begin(), raw.end());
             return r;
         },
         [&] { c->Refresh(); }},
        {"more records than asked", REQUEST_READRECORDBLOCK,
         [&] {
             return TServerReply::Ok({WordParam(0), Int32Param(5)});
         },
         [&] {
             int32_t count = 1;
             c->ReadRecordBlock(count, b.data());
         }},
        {"stop-word count below zero", REQUEST_TEXTINDEXPARAMS,
         [&] {
             return TServerReply::Ok({Int32Param(-1), "", ""});
         },
         [&] { c->LoadTextIndexParams(); }},
        {"header image of the wrong size", REQUEST_GETDATAHEADER,
         [&] { return TServerReply::Ok({std::string(DataHeaderSize - 1, 'h')}); },
         [&] {
             TDataCursor closed(RemoteDb);
             closed.SetTableName("T");
             closed.ReadTableHeader();
         }},
    };
    for (const TCase& k : cases) {
        SCOPED_TRACE(k.What);
        Server->Scripted().On(k.Code, [&](const TServerRequest&) { return k.Reply(); });
        EXPECT_EQ(CodeOf(k.Call), DBE_UNCOMPRESS);
    }
}

// A filter the server refuses is not kept by the cursor: nothing filters, and the next filter
// is the only one.
TEST_F(RemoteCursorTest, AFilterTheServerRefusesIsNotKept) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
    Server->Scripted().On(REQUEST_ADDEXPRFILTER,
                          [](const TServerRequest&) { return TServerReply::Error(DBE_INVALIDFILTER); });
    EXPECT_EQ(CodeOf([&] {
                  c->AddFilter(nullptr, "City = 'Oslo'", nullptr, false, {}, false, false, false, false,
                               false);
              }),
              DBE_INVALIDFILTER);
    EXPECT_TRUE(c->GetFilters().empty());
    EXPECT_FALSE(c->HasActiveFilter());
    EXPECT_EQ(c->GetRecordCount(), static_cast<int32_t>(Rows.size()));
}

// Each request as it travels: code and parameters in order, byte for byte.
TEST_F(RemoteCursorTest, RequestsCarryTheirParametersInOrder) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
    TRemoteCursor& r = c->Remote();
    std::string handle = Int32Param(static_cast<int32_t>(r.ServerHandle));
    std::vector<uint8_t> record = Record(*c, {"Golf", "Lima", 70});
    // The record as it stands when the request is made (a fetch fills it).
    std::string rec;
    std::string key(c->GetKeySize(), '\0');
    c->BuildKey(record.data(), reinterpret_cast<uint8_t*>(key.data()));
    // The head as it stands before each call: the cursor is put on "Golf" first.
    auto head = [&] {
        return Params{handle, AsString(r.PositionKey), ByteParam(c->IsAtBeginning()),
                      ByteParam(c->IsAtEnd())};
    };
    auto with = [](Params p, const Params& more) {
        p.insert(p.end(), more.begin(), more.end());
        return p;
    };
    TIndexDescriptor index;
    index.Name = "ByCity";
    index.FieldNumbers[0] = 2;
    index.FieldCount = 1;
    index.KeySize = 26;
    uint8_t indexBytes[IndexDescriptorSize];
    EncodeIndexDescriptor(index, indexBytes);
    TTableDefinition small;
    small.UserMajorVersion = 2;
    small.UserMinorVersion = 5;
    small.Password = "pw";
    small.Description = "about";
    small.BlobBlockSize = 1024;
    small.Fields = {Field(1, "Only", fldInteger, 0)};
    auto blob = std::make_unique<TBlobBuffer>(nullptr, nullptr);
    blob->ServerHandle = 9;
    blob->SetSize(3);
    std::memcpy(blob->GetData(), "xyz", 3);
    struct TCase {
        uint16_t Code;
        std::function<Params()> Expected;
        std::function<void()> Call;
    };
    std::vector<TCase> cases = {
        {REQUEST_SETTOBEGIN, [&] { return Params{handle}; }, [&] { c->SetToBegin(); }},
        {REQUEST_SETTORECNO,
         [&] {
             return Params{handle, Int32Param(4)};
         },
         [&] { c->SetToRecNo(4); }},
        {REQUEST_FIND,
         [&] {
             return with(head(), {key, Int32Param(1), ByteParam(1), ByteParam(2), ByteParam(1)});
         },
         [&] {
             std::vector<uint8_t> out(c->GetRecordSize());
             c->FindKey(false, record.data(), 1, true, 2, out.data());
         }},
        {REQUEST_GETCURRECORD,
         [&] {
             return with(head(), {rec, ByteParam(1)});
         },
         [&] { c->GetCurrentRecord(record.data(), true); }},
        {REQUEST_GETNEXTRECORD, [&] { return with(head(), {Int32Param(1)}); },
         [&] { c->GetNextRecord(nullptr); }},
        {REQUEST_SETRANGE,
         [&] {
             return with(head(), {key, Int32Param(1), std::string(), Int32Param(0)});
         },
         [&] { c->SetRange(true, reinterpret_cast<const uint8_t*>(key.data()), 1, nullptr, 0); }},
        {REQUEST_RESETRANGE, [&] { return head(); }, [&] { c->ResetRange(); }},
        {REQUEST_SETTOBOOKMARK,
         [&] {
             return Params{handle, key, ByteParam(1), ByteParam(0)};
         },
         [&] { c->SetToBookmark(reinterpret_cast<const uint8_t*>(key.data()), true, false); }},
        {REQUEST_MODIFYRECORD,
         [&] {
             return with(head(), {rec, ByteParam(0), ByteParam(1), Int32Param(0)});
         },
         [&] { c->ModifyRecord(record.data(), false, true); }},
        {REQUEST_READRECORDBLOCK, [&] { return with(head(), {Int32Param(2)}); },
         [&] {
             std::vector<uint8_t> two(2u * c->GetRecordSize());
             int32_t count = 2;
             c->ReadRecordBlock(count, two.data());
         }},
        {REQUEST_FLUSHBUFFERS,
         [&] { return Params{handle, ByteParam(1), ByteParam(0), ByteParam(1), ByteParam(0), ByteParam(1)}; },
         [&] { r.FlushBuffers(true, false, true, false, true); }},
        {REQUEST_WRITEUNLOCKRECORD, [&] { return with(head(), {Int32Param(7)}); },
         [&] { r.UnlockRecord(7); }},
        {REQUEST_CANCELRECORD, [&] { return Params{handle}; }, [&] { c->CancelRecord(); }},
        {REQUEST_ADDSECONDARYINDEX,
         [&] {
             return with(head(), {std::string(reinterpret_cast<char*>(indexBytes), IndexDescriptorSize),
                                  ByteParam(1)});
         },
         [&] { r.AddIndex(index, true); }},
        {REQUEST_DELETEINDEX,
         [&] {
             return with(head(), {"ByCity", ByteParam(0)});
         },
         [&] { r.DeleteIndex("ByCity", false); }},
        {REQUEST_GETBLOB,
         [&] { return Params{handle, WordParam(2), rec, Int32Param(5), Int32Param(10), ByteParam(1)}; },
         [&] {
             char dest[10];
             int32_t read = 0;
             r.RequestGetBlob(2, record.data(), 5, 10, dest, read, true);
         }},
        {REQUEST_PUTBLOB,
         [&] { return Params{handle, WordParam(2), rec, Int32Param(0), Int32Param(3), "abc", ByteParam(0)}; },
         [&] { r.RequestPutBlob(2, record.data(), 0, 3, "abc", false); }},
        {REQUEST_OPENBLOB,
         [&] { return Params{handle, WordParam(2), rec, ByteParam(2), ByteParam(0), ByteParam(1)}; },
         [&] { r.RequestOpenBlob(2, record.data(), 2, false, true, nullptr); }},
        {REQUEST_FREEALLBLOBS,
         [&] {
             return Params{handle, ByteParam(1)};
         },
         [&] { r.RequestFreeAllBlobs(true); }},
        {REQUEST_APPENDRECORD,
         [&] {
             // From 31100 on the record's modified BLOBs follow: their count, then each saved value.
             return with(head(), {rec, ByteParam(1), Int32Param(1), Int32Param(9), Int32Param(3), "xyz"});
         },
         [&] {
             c->AddOpenBlob(std::move(blob));
             c->InsertRecord(Record(*c, {"Zulu", "Lima", 1}).data(), true);
             c->DropOpenBlobsIf([](const TBlobBuffer&) { return true; });
         }},
        {REQUEST_TEXTINDEXPARAMS, [&] { return Params{handle}; }, [&] { r.LoadTextIndexParams(); }},
        {REQUEST_TRUNCATEBLOB,
         [&] {
             return Params{handle, WordParam(3), rec, Int32Param(12), ByteParam(1)};
         },
         [&] { r.RequestTruncateBlob(3, record.data(), 12, true); }},
        {REQUEST_GETBLOBSIZE,
         [&] {
             return Params{handle, WordParam(3), rec, ByteParam(0)};
         },
         [&] {
             int32_t size = 0;
             r.RequestGetBlobSize(3, record.data(), size, false);
         }},
        {REQUEST_RENAMETABLE,
         [&] {
             return Params{handle, "T", ByteParam(0), "Renamed"};
         },
         [&] { r.RenameTable("Renamed"); }},
        {REQUEST_REPAIRTABLE,
         [&] {
             return Params{handle,       "T",          ByteParam(0), ByteParam(1),
                           ByteParam(0), ByteParam(0), ByteParam(1), ByteParam(1)};
         },
         [&] { r.VerifyRepairTable(true, false, false, true, true); }},
        {REQUEST_RESTRUCTURETABLE,
         [&] {
             auto field = small.Fields[0].Encode();
             uint8_t primary[IndexDescriptorSize], text[IndexDescriptorSize];
             EncodeIndexDescriptor(small.PrimaryIndex, primary);
             EncodeIndexDescriptor(small.TextIndex, text);
             return Params{handle,
                           "T",
                           ByteParam(0),
                           WordParam(0),
                           WordParam(0),
                           WordParam(2),
                           WordParam(5),
                           ByteParam(0),
                           "pw",
                           "about",
                           WordParam(1024),
                           WordParam(1),
                           std::string(field.begin(), field.end()),
                           ByteParam(0),
                           std::string(reinterpret_cast<char*>(primary), IndexDescriptorSize),
                           std::string(reinterpret_cast<char*>(text), IndexDescriptorSize),
                           Int32Param(-1),
                           "",
                           "",
                           ByteParam(1),
                           Int32Param(-1),
                           ByteParam(1),
                           ByteParam(0),
                           ByteParam(1)};
         },
         [&] {
             c->SetDataLostCallback([](TDataCursor&, int, const std::string&, bool&, bool&) {});
             r.RestructureTable(small, true, -1, true);
         }},
        {REQUEST_SUPPRESSAUTOINC,
         [&] {
             return Params{handle, ByteParam(1)};
         },
         [&] { r.SetSuppressAutoInc(true); }},
    };
    for (const TCase& k : cases) {
        SCOPED_TRACE(GetRemoteRequestName(k.Code));
        ASSERT_TRUE(c->FindKey(false, record.data(), 1, false, 0, nullptr));
        rec = AsString(record);
        Params expected = k.Expected();
        if (k.Code == REQUEST_APPENDRECORD) expected[4] = AsString(Record(*c, {"Zulu", "Lima", 1}));
        size_t before = Server->Scripted().Requests().size();
        try {
            k.Call();
        } catch (const EDbEngineError&) {
            // The stand-in server does not carry out every request; only what was sent counts.
        }
        auto sent = Server->Scripted().RequestsOf(k.Code);
        ASSERT_FALSE(sent.empty());
        ASSERT_GT(Server->Scripted().Requests().size(), before);
        EXPECT_EQ(AsString(sent.back().Wire), Wire(k.Code, expected));
    }
}

TEST_F(RemoteCursorTest, CreateTableSendsDefinitionAndTextParameters) {
    TDataCursor c(RemoteDb);
    c.SetTableName("T");
    c.SetExclusive(true);
    TTableDefinition def = Definition();
    def.StopWords = std::vector<std::string>{"and", "or"};
    def.SpaceChars[' ' >> 3] = static_cast<uint8_t>(1u << (' ' & 7));
    def.SpaceChars[0] = 1;  // character 0 cannot travel
    c.CreateTable(def, false, false);
    auto sent = Server->Scripted().RequestsOf(REQUEST_CREATETABLE);
    ASSERT_EQ(sent.size(), 1u);
    const Params& p = sent[0].Params;
    // handle, name, in memory, temporary, language, sort, major, minor, encrypted, password,
    // description, block size, field count, 3 fields, index count, 2 indexes, text index, word
    // count, 2 words, space, include, auto primary, overwrite.
    ASSERT_EQ(p.size(), 27u);
    EXPECT_EQ(p[1], "T");
    EXPECT_EQ(p[12], WordParam(3));
    EXPECT_EQ(p[13].size(), FieldDescriptorSize);
    EXPECT_EQ(TFieldDescriptor::Decode(reinterpret_cast<const uint8_t*>(p[15].data())).Name, "Amount");
    EXPECT_EQ(p[16], ByteParam(1));
    EXPECT_EQ(DecodeIndexDescriptor(reinterpret_cast<const uint8_t*>(p[18].data())).Name, "ByAmount");
    EXPECT_EQ(p[20], Int32Param(2));
    EXPECT_EQ(p[21], "and");
    EXPECT_EQ(p[23], " ");
    EXPECT_EQ(p[24], "");
    EXPECT_EQ(p[25], ByteParam(0));
    EXPECT_FALSE(c.IsCursorOpen());
    // The server made the table with those parameters.
    auto local = Open(Database, "T");
    EXPECT_EQ(local->GetStopWords().Count(), 2);
}

// Callbacks the server asks for while it works: each runs on the client, which answers where
// the kind asks for an answer and then reads the real reply.
TEST_F(RemoteCursorTest, ServerCallbacksRunOnTheClient) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    std::vector<std::string> seen;
    c->SetLogCallback([&](TDataCursor&, const std::string& m) { seen.push_back("log " + m); });
    c->SetDataLostCallback([&](TDataCursor&, int cause, const std::string& context, bool& go, bool& stop) {
        seen.push_back("lost " + std::to_string(cause) + " " + context);
        go = false;
        stop = true;
    });
    std::string log = Wire(RemoteCallbackReply, {ByteParam(3), "checking"});
    std::string lost =
        Wire(RemoteCallbackReply, {ByteParam(8), Int32Param(2), "field", ByteParam(1), ByteParam(0)});
    Server->Scripted().On(REQUEST_FLUSHOSBUFFERS, [&](const TServerRequest&) {
        // Both questions at once: the log needs no answer, the data-lost question does.
        TServerReply r;
        std::string raw = log + lost;
        r.Raw = std::vector<uint8_t>(raw.begin(), raw.end());
        return r;
    });
    // The answer to the data-lost question brings one more: the callback filter's, on a record.
    std::string record(c->GetRecordSize(), 'r');
    std::string filterAsks = Wire(RemoteCallbackReply, {ByteParam(1), record, Int32Param(7)});
    int answered = 0;
    Server->Scripted().On(REQUEST_CALLBACKRESPONSE, [&](const TServerRequest&) {
        if (++answered > 1) return TServerReply::Ok({});
        TServerReply r;
        r.Raw = std::vector<uint8_t>(filterAsks.begin(), filterAsks.end());
        return r;
    });
    Server->Scripted().On(REQUEST_ADDCALLBACKFILTER,
                          [](const TServerRequest&) { return TServerReply::Ok({Int32Param(5)}); });
    c->AddFilter(
        nullptr, {}, nullptr, false,
        [&](void*, TDataCursor&, const uint8_t* buffer, int32_t recNo) {
            seen.push_back("filter " + std::to_string(recNo) + " " +
                           std::string(1, static_cast<char>(buffer[0])));
            return true;
        },
        false, false, false, false, false);
    c->Remote().FlushOSBuffers();
    EXPECT_EQ(seen, (std::vector<std::string>{"log checking", "lost 2 field", "filter 7 r"}));
    auto answers = Server->Scripted().RequestsOf(REQUEST_CALLBACKRESPONSE);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].Params, (Params{ByteParam(0), ByteParam(1)}));
    EXPECT_EQ(answers[1].Params, (Params{ByteParam(1)}));
}

TEST_F(RemoteCursorTest, RecordLocksTakenThroughTheServerAreNotedInTheTable) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    for (const TRow& row : Rows) c->InsertRecord(Record(*c, row).data(), true);
    std::vector<uint8_t> b = Record(*c, {"Golf", "", 0});
    ASSERT_TRUE(c->FindKey(false, b.data(), 1, false, 0, nullptr));
    int32_t recNo = c->GetPhysicalRecNo();
    ASSERT_GT(recNo, 0);
    // An edit starts from the record as read: the server compares the copy the lock carries.
    ASSERT_EQ(c->GetCurrentRecord(b.data(), false), 0);
    ASSERT_EQ(c->GetCurrentRecord(b.data(), true), 0);
    EXPECT_TRUE(c->GetTable()->LockedRecords.Test(recNo));
    EXPECT_EQ(c->GetLockedRecNo(), recNo);
    std::vector<uint8_t> changed = Record(*c, {"Golf", "Lima", 71});
    c->ModifyRecord(changed.data(), true, true);
    EXPECT_FALSE(c->GetTable()->LockedRecords.Test(recNo));
    // Locked again, then given up by cancelling the edit.
    ASSERT_EQ(c->GetCurrentRecord(b.data(), false), 0);
    ASSERT_EQ(c->GetCurrentRecord(b.data(), true), 0);
    c->CancelRecord();
    EXPECT_FALSE(c->GetTable()->LockedRecords.Test(recNo));
    EXPECT_EQ(c->GetLockedRecNo(), 0);
    // Unlocking through the cursor asks the server, then forgets the note.
    ASSERT_EQ(c->GetCurrentRecord(b.data(), false), 0);
    ASSERT_EQ(c->GetCurrentRecord(b.data(), true), 0);
    size_t unlocks = Server->Scripted().RequestsOf(REQUEST_WRITEUNLOCKRECORD).size();
    c->UnlockRecord(0, false);
    EXPECT_EQ(Server->Scripted().RequestsOf(REQUEST_WRITEUNLOCKRECORD).size(), unlocks + 1);
    EXPECT_FALSE(c->GetTable()->LockedRecords.Test(recNo));
    // An edit left open ends with the cursor, without a request after the close.
    ASSERT_EQ(c->GetCurrentRecord(b.data(), false), 0);
    ASSERT_EQ(c->GetCurrentRecord(b.data(), true), 0);
    c->CloseCursor(false);
    EXPECT_EQ(Server->Scripted().RequestsOf(REQUEST_WRITEUNLOCKRECORD).size(), unlocks + 1);
}

// A result cursor of a remote statement, as the SQL layer reads it from a statement's reply.
TEST_F(RemoteCursorTest, CursorAndFieldDescriptorRepliesFillTheCursor) {
    TDataCursor c(RemoteDb);
    TRemoteCursor& r = c.Remote();
    TFieldDescriptor plain;
    plain.FieldNo = 1;
    plain.Name = "Total";
    plain.FieldType = fldInteger;
    ComputeValueSize(plain);
    TFieldDescriptor calculated = plain;
    calculated.FieldNo = 2;
    calculated.Name = "Twice";
    calculated.Calculated = 1;
    TExpToken* tree = NewExpToken();
    tree->Kind = 1;
    tree->Text = "Total";
    std::vector<uint8_t> treeBytes;
    WriteExpTree(tree, treeBytes, TExpTreeLayout::Arguments);
    FreeExpTree(tree);
    auto bytesOf = [](const TFieldDescriptor& d) {
        auto b = d.Encode();
        return std::string(b.begin(), b.end());
    };
    auto replyOf = [](const Params& params) {
        std::string wire = Wire(0, params);
        auto reply = std::make_unique<TRemoteReply>();
        reply->SetMessage(reinterpret_cast<const uint8_t*>(wire.data()), static_cast<uint32_t>(wire.size()));
        reply->DecodeReply(static_cast<uint32_t>(wire.size()), false);
        return reply;
    };
    auto cursorReply = replyOf(
        {Int32Param(77), "Result_1", ByteParam(1), ByteParam(0), ByteParam(1), ByteParam(1), ByteParam(0)});
    r.ReadCursorReply(*cursorReply);
    EXPECT_EQ(r.ServerHandle, 77u);
    EXPECT_EQ(c.GetTableName(), "Result_1");
    EXPECT_TRUE(c.GetExclusive());
    EXPECT_TRUE(c.GetTemporary());
    EXPECT_TRUE(c.GetQueryResult());
    EXPECT_FALSE(c.GetQuerySource());

    auto descs = replyOf({WordParam(2), bytesOf(plain), bytesOf(calculated), AsString(treeBytes)});
    r.ReadFieldDescsReply(*descs);
    ASSERT_EQ(c.GetFieldCount(), 2);
    EXPECT_EQ(c.GetFieldDescs()[1].Name, "Twice");
    ASSERT_NE(c.GetFieldDescs()[1].Expression, nullptr);
    EXPECT_EQ(c.GetFieldDescs()[1].Expression->Text, "Total");
    EXPECT_TRUE(c.HasCalculated());

    // A damaged tree or a descriptor of the wrong size: 15002, nothing installed.
    auto badTree = replyOf({WordParam(1), bytesOf(calculated), "xx"});
    EXPECT_EQ(CodeOf([&] { r.ReadFieldDescsReply(*badTree); }), DBE_UNCOMPRESS);
    auto shortDesc = replyOf({WordParam(1), bytesOf(plain).substr(1)});
    EXPECT_EQ(CodeOf([&] { r.ReadFieldDescsReply(*shortDesc); }), DBE_UNCOMPRESS);
    EXPECT_EQ(c.GetFieldCount(), 2);
}

// From 31100 on the value of an opened BLOB arrives with the open reply, and a record edit
// carries the values changed: size and bytes, or size alone for one emptied.
TEST_F(RemoteCursorTest, BlobValuesTravelWithTheirSize) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    TRemoteCursor& r = c->Remote();
    std::vector<uint8_t> record(c->GetRecordSize(), 0);
    std::string sentRecord(c->GetRecordSize(), 'R');
    auto openReply = [&](const std::string& size, const std::string& bytes) {
        Server->Scripted().On(REQUEST_OPENBLOB, [=](const TServerRequest&) {
            return TServerReply::Ok({WordParam(0), sentRecord, size, bytes});
        });
    };
    TBlobBuffer blob(nullptr, nullptr);
    openReply(Int32Param(3), "abc");
    ASSERT_EQ(r.RequestOpenBlob(2, record.data(), 2, false, true, &blob), 0);
    EXPECT_EQ(AsString(record), sentRecord);
    ASSERT_EQ(blob.Size, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(blob.GetData()), 3), "abc");
    EXPECT_FALSE(blob.Modified);
    // A size the bytes do not match, or one larger than the whole reply: 15002, nothing grown.
    for (const std::string& size : {Int32Param(5), Int32Param(0x7FFFFFFF), Int32Param(-1)}) {
        TBlobBuffer other(nullptr, nullptr);
        openReply(size, "abc");
        EXPECT_EQ(CodeOf([&] { r.RequestOpenBlob(2, record.data(), 2, false, true, &other); }),
                  DBE_UNCOMPRESS);
        EXPECT_LE(other.Size, 5);
    }
    // A value emptied travels as its handle and size 0.
    auto kept = std::make_unique<TBlobBuffer>(nullptr, nullptr);
    kept->ServerHandle = 3;
    kept->SetSize(2);
    std::memcpy(kept->GetData(), "ab", 2);
    auto emptied = std::make_unique<TBlobBuffer>(nullptr, nullptr);
    emptied->ServerHandle = 4;
    emptied->SetSize(2);
    emptied->SetSize(0);
    auto untouched = std::make_unique<TBlobBuffer>(nullptr, nullptr);
    untouched->ServerHandle = 5;
    untouched->RecordBound = true;
    c->AddOpenBlob(std::move(kept));
    c->AddOpenBlob(std::move(emptied));
    c->AddOpenBlob(std::move(untouched));
    // The handles are made up: the server only answers with a position.
    Server->Scripted().On(REQUEST_APPENDRECORD, [&](const TServerRequest&) {
        return TServerReply::Ok({Int32Param(1), Int32Param(1), Int32Param(1), Int32Param(1), Int32Param(1),
                                 std::string(8, '\0'), Int32Param(1), Int32Param(1),
                                 std::string(c->GetKeySize(), '\0'), ByteParam(0), ByteParam(0)});
    });
    c->InsertRecord(Record(*c, Rows[0]).data(), true);
    // Saved with the record: no longer changed; the value bound to the record is gone with it.
    ASSERT_EQ(c->GetOpenBlobs().size(), 2u);
    EXPECT_FALSE(c->GetOpenBlobs()[0]->Modified);
    c->DropOpenBlobsIf([](const TBlobBuffer&) { return true; });
    auto sent = Server->Scripted().RequestsOf(REQUEST_APPENDRECORD);
    ASSERT_EQ(sent.size(), 1u);
    const Params& p = sent[0].Params;
    ASSERT_EQ(p.size(), 12u);
    EXPECT_EQ(Params(p.begin() + 6, p.end()),
              (Params{Int32Param(2), Int32Param(3), Int32Param(2), "ab", Int32Param(4), Int32Param(0)}));
}

// A server of the oldest version over the compressed transport.
class OldServerRemoteCursorTest : public RemoteCursorTest {
protected:
    int64_t ServerVersion() const override { return 30300; }
    bool LANMode() const override { return false; }
};

// The test server reads filter trees in the argument layout only: no filter here.
TEST_F(OldServerRemoteCursorTest, TableThroughServerAnswersAsLocalTable) {
    std::vector<std::string> local = Scenario(Database, "LocalT", false);
    std::vector<std::string> remote = Scenario(RemoteDb, "RemoteT", false);
    EXPECT_EQ(remote, local);
    auto requests = Server->Scripted().RequestsOf(REQUEST_APPENDRECORD);
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(requests[0].Compressed);
    // No BLOB count after the record for a server before 31100.
    EXPECT_EQ(requests[0].Params.size(), 6u);
}

// Before 31100 every BLOB operation is a request of its own, the server holding the value.
TEST_F(OldServerRemoteCursorTest, MemosThroughServerAnswerAsLocalMemos) {
    std::vector<std::string> local = MemoScenario(Database, "LocalM");
    std::vector<std::string> remote = MemoScenario(RemoteDb, "RemoteM");
    EXPECT_EQ(remote, local);
    EXPECT_FALSE(Server->Scripted().RequestsOf(REQUEST_PUTBLOB).empty());
    EXPECT_FALSE(Server->Scripted().RequestsOf(REQUEST_GETBLOB).empty());
}

TEST_F(OldServerRemoteCursorTest, RequestsAnOldServerDoesNotKnowAreNotSent) {
    Create(RemoteDb, "T");
    auto c = Open(RemoteDb, "T");
    size_t before = Server->Scripted().Requests().size();
    c->CancelRecord();
    c->LoadTextIndexParams();
    EXPECT_EQ(Server->Scripted().Requests().size(), before);
    // The table definition goes without the full-text descriptor and parameters.
    auto create = Server->Scripted().RequestsOf(REQUEST_CREATETABLE);
    ASSERT_EQ(create.size(), 1u);
    EXPECT_EQ(create[0].Params.size(), 21u);
    // A callback filter without the estimate flag.
    Server->Scripted().On(REQUEST_ADDCALLBACKFILTER,
                          [](const TServerRequest&) { return TServerReply::Ok({Int32Param(5)}); });
    TFilter* f = c->AddFilter(
        nullptr, {}, nullptr, false, [](void*, TDataCursor&, const uint8_t*, int32_t) { return true; }, true,
        true, false, false, false);
    EXPECT_EQ(f->ServerHandle, 5u);
    auto add = Server->Scripted().RequestsOf(REQUEST_ADDCALLBACKFILTER);
    ASSERT_EQ(add.size(), 1u);
    EXPECT_EQ(add[0].Params, (Params{Int32Param(static_cast<int32_t>(c->Remote().ServerHandle)), ByteParam(1),
                                     ByteParam(0)}));
}

}  // namespace
}  // namespace dbengine
