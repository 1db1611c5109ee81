#pragma once
// For tests of the lower sub-folders (files, expressions, bit sets) that need what stands above
// them: the engine's start-up and session, the library's process-wide objects, and a shared
// table as the owner of a file under test.

#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/session/Library.h"
