// Verification and repair of an index file header of unknown bytes: verification leaves the
// header as it was; after a repair, a second verification finds nothing but page pointers (which
// repair leaves for the index rebuild), and without those the header passes the open check.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"

#include "EngineFuzz.h"

using namespace dbengine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::StartEngineOnce();
    if (size > 2 * IndexHeaderSize) return 0;
    testsupport::TFakeIndexTable table;
    table.AddField("Name", fldString, 21);
    table.AddField("Count", fldInteger, 4);
    table.AddField("Notes", fldBlob, 8, fldstMemo);
    table.AddField("Long", fldString, 251);
    {
        TFileHandler writer;
        writer.FileName = "FUZZ.IDX";
        writer.InMemory = true;
        writer.CreateFile();
        writer.WriteAt(0, data, static_cast<uint32_t>(size));
        writer.CloseFile();
    }
    {
        TIndexFile file(&table);
        file.FileName = "FUZZ.IDX";
        file.InMemory = true;
        try {
            file.OpenFile();
        } catch (const EDbEngineError&) {
            return 0;
        }
        std::vector<std::string> lines;
        TDataCursor cursor(nullptr);
        cursor.SetLogCallback([&](TDataCursor&, const std::string& text) { lines.push_back(text); });
        std::vector<uint8_t> before(IndexHeaderSize), after(IndexHeaderSize);
        EncodeIndexHeader(file.Header, before.data());
        file.VerifyHeader(cursor, true);
        EncodeIndexHeader(file.Header, after.data());
        if (before != after) __builtin_trap();

        file.VerifyHeader(cursor, false);
        lines.clear();
        bool clean = file.VerifyHeader(cursor, true);
        for (const std::string& line : lines)
            if (line.find("page pointer") == std::string::npos) {
                std::fprintf(stderr, "after repair: %s\n", line.c_str());
                __builtin_trap();
            }
        // A page counter below 1 is no rule of the verification (the index rebuild renews the
        // pages), but the open check refuses it.
        if (clean && file.Header.NextPageNo >= 1) {
            try {
                file.CheckHeader();
            } catch (const EDbEngineError& e) {
                std::fprintf(stderr, "repaired header fails its check: %d\n", e.ErrorCode);
                const TIndexHeader& h = file.Header;
                std::fprintf(stderr, "count %d next %d internal %d\n", h.IndexCount, h.NextPageNo,
                             h.InternalPrimaryIndex);
                for (int i = 0; i < IndexDescriptorCount; ++i) {
                    const TIndexDescriptor& d = h.Descriptors[i];
                    std::fprintf(
                        stderr, "%d [%s] len %zu unique %d count %d fields %d %d %d pages %d %d %d\n", i,
                        d.Name.c_str(), d.Name.size(), d.Unique, d.FieldCount, d.FieldNumbers[0],
                        d.FieldNumbers[1], d.FieldNumbers[2], d.RootPage, d.FreePage, d.DataRootPage);
                }
                __builtin_trap();
            }
        }
        file.CloseFile();
    }
    TFileHandler cleanup;
    cleanup.FileName = "FUZZ.IDX";
    cleanup.InMemory = true;
    cleanup.DeleteFile();
    return 0;
}
