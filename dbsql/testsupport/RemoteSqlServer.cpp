#include "dbsql/testsupport/RemoteSqlServer.h"

#include <cstring>
#include <stdexcept>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ExpTreeStream.h"
#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/util/Coding.h"

namespace dbsql::testsupport {

using dbengine::testing::BoolParam;
using dbengine::testing::ByteParam;
using dbengine::testing::DoubleParam;
using dbengine::testing::Int32Param;
using dbengine::testing::ParamNumber;
using dbengine::testing::TServerReply;
using dbengine::testing::TServerRequest;
using dbengine::testing::WordParam;

namespace {

constexpr uint16_t CallbackReply = dbengine::RemoteCallbackReply;
constexpr uint8_t CallbackState = 13;
constexpr int64_t SelectAllVersion = dbengine::RemoteVersionUserCursors;
constexpr int64_t ParamsInExecuteVersion = dbengine::RemoteVersionCancel;

const std::string& Item(const std::vector<std::string>& items, size_t index) {
    if (index >= items.size()) throw std::runtime_error("test server: parameter missing");
    return items[index];
}

}  // namespace

// A statement of the client with the parameters it sent last and the result cursors lent.
struct TRemoteSqlServer::TServed {
    std::unique_ptr<TQueryStatement> Statement;
    std::vector<TParamDesc> Params;
    std::vector<uint8_t> Buffer;
    // The BLOB values the slots of Buffer point at.
    std::vector<std::string> Blobs;
    std::vector<uint32_t> Lent;
    dbengine::TDataCursor* LentCursor = nullptr;
    // The state callbacks of the statements of a script prepared while executing.
    std::vector<TServerReply> States;
    bool Executing = false;
};

TRemoteSqlServer::TRemoteSqlServer(dbengine::TDataDirectory* database, int64_t serverVersion)
    : Engine(database, serverVersion) {
    Install();
}

TRemoteSqlServer::~TRemoteSqlServer() {
    Engine.Scripted().Configure([](auto& s) { s.Handlers.clear(); });
}

TQueryStatement* TRemoteSqlServer::StatementOf(uint32_t handle) const {
    auto it = Statements.find(handle);
    return it != Statements.end() ? it->second->Statement.get() : nullptr;
}

TRemoteSqlServer::TServed& TRemoteSqlServer::Served(uint32_t handle) {
    auto it = Statements.find(handle);
    if (it == Statements.end()) throw std::runtime_error("test server: unknown statement");
    return *it->second;
}

void TRemoteSqlServer::StateItems(const TQueryStatement& statement, std::vector<std::string>& out) const {
    out.push_back(ByteParam(statement.Kind));
    out.push_back(BoolParam(statement.LiveResult));
    out.push_back(BoolParam(statement.ResultIsSourceCursor));
    if (Engine.ServerVersion() >= SelectAllVersion) out.push_back(BoolParam(statement.SelectAll));
}

void TRemoteSqlServer::ResultItems(TServed& served, dbengine::TDataCursor& cursor,
                                   std::vector<std::string>& out) {
    const int64_t version = Engine.ServerVersion();
    const TQueryStatement& statement = *served.Statement;
    if (version >= SelectAllVersion && statement.LiveResult) out.push_back(DatabaseName);
    for (uint32_t handle : served.Lent) Engine.Withdraw(handle);
    served.Lent = {Engine.Lend(cursor)};
    served.LentCursor = &cursor;
    out.push_back(Int32Param(static_cast<int32_t>(served.Lent.back())));
    out.push_back(cursor.GetTableName());
    out.push_back(BoolParam(cursor.GetExclusive()));
    out.push_back(BoolParam(cursor.GetInMemory()));
    out.push_back(BoolParam(cursor.GetTemporary()));
    out.push_back(BoolParam(cursor.GetQueryResult()));
    out.push_back(BoolParam(cursor.GetQuerySource()));
    Engine.OpenReply(cursor, out);
    if (version >= SelectAllVersion && statement.SelectAll) return;
    out.push_back(WordParam(cursor.GetFieldCount()));
    for (const dbengine::TFieldDescriptor& d : cursor.GetFieldDescs()) {
        const auto bytes = d.Encode();
        out.emplace_back(bytes.begin(), bytes.end());
        if (version < dbengine::RemoteVersionTableState || d.Calculated == 0) continue;
        std::vector<uint8_t> tree;
        if (d.Expression != nullptr)
            dbengine::WriteExpTree(d.Expression, tree, dbengine::TExpTreeLayout::Arguments);
        out.emplace_back(tree.begin(), tree.end());
    }
}

TServerReply TRemoteSqlServer::StateCallback(TServed& served, dbengine::TDataCursor* cursor) {
    TServerReply state;
    state.Code = CallbackReply;
    state.Params.push_back(ByteParam(CallbackState));
    StateItems(*served.Statement, state.Params);
    if (cursor != nullptr) ResultItems(served, *cursor, state.Params);
    return state;
}

void TRemoteSqlServer::TakeParams(TServed& served, const std::vector<std::string>& items,
                                  size_t index) const {
    const auto count = static_cast<size_t>(ParamNumber(Item(items, index++)));
    served.Params.assign(count, TParamDesc{});
    served.Blobs.assign(count, std::string());
    size_t size = 0;
    for (TParamDesc& param : served.Params) {
        const std::string& image = Item(items, index++);
        if (image.size() != dbengine::FieldDescriptorSize)
            throw std::runtime_error("test server: malformed parameter descriptor");
        const auto d = dbengine::TFieldDescriptor::Decode(reinterpret_cast<const uint8_t*>(image.data()));
        param.FieldNo = static_cast<uint16_t>(d.FieldNo);
        param.Name = d.Name;
        param.DataType = d.FieldType;
        param.SubType = d.SubType;
        param.Size = static_cast<uint8_t>(d.Size);
        param.Scale = static_cast<uint8_t>(d.Decimals);
        param.Offset = d.Offset;
        const size_t slot = param.DataType == dbengine::fldBlob ? BlobParamSize : param.Size;
        size = std::max(size, size_t(param.Offset) + 1 + slot);
    }
    served.Buffer.assign(size, 0);
    for (size_t i = 0; i < count; ++i) {
        const TParamDesc& param = served.Params[i];
        const std::string& value = Item(items, index++);
        uint8_t* slot = served.Buffer.data() + param.Offset;
        if (param.DataType != dbengine::fldBlob) {
            std::memcpy(slot, value.data(), std::min(value.size(), size_t(param.Size) + 1));
            continue;
        }
        // The flag and the length, then the bytes, which the slot points at.
        if (value.size() < 5) throw std::runtime_error("test server: malformed BLOB parameter");
        std::memcpy(slot, value.data(), 5);
        served.Blobs[i] = value.substr(5);
        dbengine::PutUInt32(slot + 1, static_cast<uint32_t>(served.Blobs[i].size()));
        const char* bytes = served.Blobs[i].data();
        std::memcpy(slot + 5, &bytes, sizeof bytes);
    }
}

void TRemoteSqlServer::Install() {
    using dbengine::testing::TServerReply;
    Engine.Serve(dbengine::REQUEST_OPENDATADIR, [this](const TServerRequest& request) {
        DatabaseName = Item(request.Params, 0);
        return TServerReply::Ok({Int32Param(1)});
    });
    Engine.Serve(76, [this](const TServerRequest&) {
        auto served = std::make_unique<TServed>();
        served->Statement = std::make_unique<TQueryStatement>(Engine.ServedDatabase());
        TServed* raw = served.get();
        // A script's later statements are told to the client before the execute's reply.
        served->Statement->SetPreparedCallback(
            [this, raw](TQueryStatement& statement, uint8_t, bool, bool, bool) {
                if (!raw->Executing) return;
                const bool select =
                    statement.Kind == skSelect && Engine.ServerVersion() >= ParamsInExecuteVersion;
                raw->States.push_back(
                    StateCallback(*raw, select ? statement.MasterQuery->ResultCursor() : nullptr));
            });
        const uint32_t handle = NextHandle++;
        Statements[handle] = std::move(served);
        return TServerReply::Ok({Int32Param(static_cast<int32_t>(handle))});
    });
    Engine.Serve(77, [this](const TServerRequest& request) {
        const auto& items = request.Params;
        TServed& served = Served(static_cast<uint32_t>(ParamNumber(Item(items, 0))));
        TQueryStatement& statement = *served.Statement;
        statement.RequestLive = ParamNumber(Item(items, 3)) != 0;
        statement.SetMaxRowCount(static_cast<int32_t>(ParamNumber(Item(items, 4))));
        statement.PrepareSQL(Item(items, 2));
        std::vector<std::string> out;
        StateItems(statement, out);
        if (statement.Kind == skSelect) ResultItems(served, *statement.MasterQuery->ResultCursor(), out);
        return TServerReply::Ok(std::move(out));
    });
    Engine.Serve(78, [this](const TServerRequest& request) {
        TakeParams(Served(static_cast<uint32_t>(ParamNumber(Item(request.Params, 0)))), request.Params, 1);
        return TServerReply::Ok({});
    });
    Engine.Serve(79, [this](const TServerRequest& request) {
        const auto& items = request.Params;
        TServed& served = Served(static_cast<uint32_t>(ParamNumber(Item(items, 0))));
        const int64_t version = Engine.ServerVersion();
        if (version >= ParamsInExecuteVersion) TakeParams(served, items, 1);
        TQueryStatement& statement = *served.Statement;
        served.States.clear();
        served.Executing = true;
        dbengine::TDataCursor* cursor = nullptr;
        try {
            cursor =
                statement.ExecuteSQL(served.Params, served.Buffer.empty() ? nullptr : served.Buffer.data());
        } catch (...) {
            served.Executing = false;
            throw;
        }
        served.Executing = false;
        TServerReply reply;
        reply.Before = std::move(served.States);
        reply.Params = {DoubleParam(statement.ExecutionTime), Int32Param(statement.RowsAffected)};
        if (cursor != nullptr && version < ParamsInExecuteVersion) {
            // Older clients open the result anew after every execute.
            ResultItems(served, *cursor, reply.Params);
        } else if (cursor != nullptr) {
            if (cursor != served.LentCursor) reply.Before.push_back(StateCallback(served, cursor));
            Engine.Position(*cursor, reply.Params);
        }
        return reply;
    });
    Engine.Serve(80, [this](const TServerRequest& request) {
        auto it = Statements.find(static_cast<uint32_t>(ParamNumber(Item(request.Params, 0))));
        if (it != Statements.end()) {
            for (uint32_t handle : it->second->Lent) Engine.Withdraw(handle);
            Statements.erase(it);
        }
        return TServerReply::Ok({});
    });
}

}  // namespace dbsql::testsupport
