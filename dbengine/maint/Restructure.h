#pragma once
// Table restructure: the causes a restructure reports when a record cannot be carried over, and
// the file moves that swap a rebuilt table in without ever leaving the old one unreachable.
//
// The restructure itself is TDataCursor::RestructureTable (Restructure.cpp).

#include <string>

namespace dbengine {

// Causes passed to the cursor's data-lost callback.
enum TDataLostCause : int {
    dlOtherError = 0,    // inserting a copied record failed with another error
    dlKeyViolation = 1,  // a unique index refused the record; context: the index name
    dlValidity = 2,      // minimum, maximum or required check; context: the field name
    dlFieldDropped = 3,  // the old field has no new field; context: the old field's name
    dlNotConverted = 4,  // the value cannot become the new field's type; context: the old field
};

// Moves one table file (rename, or copy and delete when the rename fails, as between file
// systems); an existing target is replaced. Raises the file layer's error when both fail, and
// then the source file is still where it was.
void MoveTableFile(const std::string& from, const std::string& to, bool inMemory);

}  // namespace dbengine
