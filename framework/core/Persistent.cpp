#include "framework/core/Persistent.h"

#include "framework/core/Exception.h"

namespace framework {

void TPersistent::Assign(TPersistent* Source) {
    if (Source != nullptr) {
        Source->AssignTo(this);
    } else {
        AssignError(nullptr);
    }
}

void TPersistent::DefineProperties(TFiler*) {}

void TPersistent::AssignTo(TPersistent* Dest) {
    Dest->AssignError(this);
}

void TPersistent::AssignError(TPersistent* Source) {
    std::string sourceName = Source != nullptr ? Source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}

}  // namespace framework
