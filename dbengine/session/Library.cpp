#include "dbengine/session/Library.h"

#include "dbengine/expr/CharMaps.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/file/FileList.h"
#include "dbengine/util/RecordsBitmap.h"

namespace dbengine {

void LibraryStartup() {
    CreateExpTokenPool();
    CreateRecordsBitmapPool();
    CreateLanguageCharMaps();
    CreateEngineFileList();
}

void LibraryShutdown() {
    FreeEngineFileList();
    FreeLanguageCharMaps();
    FreeRecordsBitmapPool();
    FreeExpTokenPool();
}

}  // namespace dbengine
