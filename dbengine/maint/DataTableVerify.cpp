// The shared table's part of verification: the three files' header checks in their order, and
// the BLOB chain check where the table has a BLOB file.

#include "dbengine/session/DataTable.h"

namespace dbengine {

void TDataTable::VerifyFiles(TVerifyLog& log, bool verifyOnly, bool& dataOk, bool& indexOk, bool& blobOk) {
    dataOk = DataFile->VerifyHeader(log, verifyOnly);
    indexOk = IndexFile->VerifyHeader(log, verifyOnly);
    blobOk = HasBlobFields() ? BlobFile->VerifyHeader(log, verifyOnly) : true;
}

bool TDataTable::VerifyBlobs(TVerifyLog& log, bool verifyOnly, int32_t& firstBlock, int32_t stamp,
                             int32_t recordNo, bool tolerant) {
    if (!BlobOpen()) return true;
    return BlobFile->VerifyBlobs(log, verifyOnly, firstBlock, stamp, recordNo, tolerant);
}

}  // namespace dbengine
