// Verification and repair of a whole table whose files are damaged at random: a sound table of
// twenty records with memos, two secondary indexes and full-text words is written once; each input
// is a list of damages to its three files (a byte set, or a file cut or grown). Verification must
// change no file; repair and a second verification must end with a result or an engine error,
// never a crash, hang or unbounded allocation.
//
// Input: groups of 6 bytes: file (low 2 bits: 0 data, 1 index, 2 BLOB; bit 7: resize instead of
// set), offset (4 bytes, little-endian, taken modulo the file's size plus a little), value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/Record.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"

#include "EngineFuzz.h"

using namespace dbengine;
using testsupport::Field;
using testsupport::Index;

namespace {

const char* const Extensions[3] = {".DAT", ".IDX", ".BLB"};

struct TState {
    std::string Folder;
    TDataDirectory* Database = nullptr;
    std::string Files[3];
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Run(TDataDirectory* database, bool verifyOnly) {
    TDataCursor c(database);
    c.SetTableName("T");
    c.SetExclusive(true);
    c.SetLogCallback([](TDataCursor&, const std::string& text) {
        if (std::getenv("FUZZ_LOG") != nullptr) std::fprintf(stderr, "%s\n", text.c_str());
    });
    return c.VerifyRepairTable(verifyOnly, false, false, true, false);
}

// The sound table, made once in a folder of its own on drive D:.
TState& State() {
    static TState state = [] {
        TState s;
        char folder[] = "/tmp/korvane-table-verify-XXXXXX";
        if (mkdtemp(folder) == nullptr) std::abort();
        s.Folder = folder;
        setenv("KORVANE_DRIVES", ("D=" + s.Folder).c_str(), 1);
        fuzzsupport::StartEngineOnce();
        s.Database = GetEngineSession()->OpenDataDirectory("D:\\", "D:\\", false);
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "City", fldString, 20),
                      Field(3, "Count", fldInteger), Field(4, "Notes", fldBlob, 0, fldstMemo)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByCity", {2}, false), Index("ByCount", {3}, true)};
        def.TextIndex.FieldNumbers[0] = 2;
        def.TextIndex.FieldNumbers[1] = 4;
        TDataCursor creator(s.Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, true);
        {
            TDataCursor c(s.Database);
            c.SetTableName("T");
            c.OpenCursor();
            for (int r = 1; r <= 20; ++r) {
                std::vector<uint8_t> b(c.GetRecordSize(), 0);
                c.ClearRecordBuffer(b.data());
                uint8_t v[32] = {};
                std::string name = "N" + std::to_string(r);
                std::memcpy(v, name.data(), name.size());
                c.PutField(1, b.data(), v, false, false);
                std::memset(v, 0, sizeof v);
                std::memcpy(v, r % 3 ? "north" : "south", 5);
                c.PutField(2, b.data(), v, false, false);
                PutInt32(v, r);
                c.PutField(3, b.data(), v, false, false);
                c.InsertRecord(b.data(), false);
            }
        }
        // Memos on every third record, written into the BLOB file and the records directly; a
        // forced rebuild then puts their words into the text index.
        TDataTable* t = nullptr;
        if (s.Database->OpenSharedTable("T", t, true, false, false, false, false, false) != 0) std::abort();
        const uint16_t offset = t->DataFile->GetFieldDescriptor(4).Offset;
        for (int r = 1; r <= 20; r += 3) {
            TBlobBuffer blob(nullptr, t->BlobFile.get());
            blob.Stamp = t->DataFile->NextBlobStamp();
            const std::string text = "lorem ipsum dolor sit amet ";
            blob.SetSize(100 * r);
            for (int32_t i = 0; i < blob.Size; ++i)
                blob.GetData()[i] = static_cast<uint8_t>(text[i % text.size()]);
            blob.Save();
            TRecord* rec = nullptr;
            t->DataFile->GetRecord(nullptr, r, 1, false, false, rec);
            uint8_t* at = rec->Data() + offset;
            at[0] = 1;
            PutInt32(at + 1, blob.FirstBlock);
            PutInt32(at + 5, blob.Stamp);
            rec->Modified = true;
            t->DataFile->ReleaseRecord(rec);
        }
        t->FlushBuffers(false, true, true, true);
        s.Database->ReleaseSharedTable(t, false, false, false);
        {
            TDataCursor c(s.Database);
            c.SetTableName("T");
            c.SetExclusive(true);
            c.VerifyRepairTable(false, false, false, false, true);
        }
        if (!Run(s.Database, true)) std::abort();
        for (int i = 0; i < 3; ++i) s.Files[i] = ReadFile(s.Folder + "/T" + Extensions[i]);
        return s;
    }();
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TState& s = State();
    std::string files[3] = {s.Files[0], s.Files[1], s.Files[2]};
    for (size_t at = 0; at + 6 <= size && at < 6 * 64; at += 6) {
        std::string& f = files[(data[at] & 3) % 3];
        const uint32_t offset = GetUInt32(data + at + 1);
        if (data[at] & 0x80) {
            f.resize(offset % (f.size() + 1024), '\0');
        } else if (!f.empty()) {
            f[offset % f.size()] = static_cast<char>(data[at + 5]);
        }
    }
    for (int i = 0; i < 3; ++i) WriteFile(s.Folder + "/T" + Extensions[i], files[i]);
    try {
        Run(s.Database, true);
    } catch (const EDbEngineError&) {
    }
    for (int i = 0; i < 3; ++i)
        if (ReadFile(s.Folder + "/T" + Extensions[i]) != files[i]) __builtin_trap();  // verification wrote
    try {
        Run(s.Database, false);
        Run(s.Database, true);
    } catch (const EDbEngineError&) {
    }
    return 0;
}
