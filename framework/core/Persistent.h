#pragma once
// TPersistent: an object whose state can be copied from another object with Assign.
//
// Assign(Source) first asks this class whether it knows Source (an override of Assign handles the
// classes it understands and passes the rest to the inherited Assign); failing that, it asks Source
// to copy itself into this object (Source->AssignTo(this)), so a new class can teach an older one to
// receive it. When neither side knows the other, EConvertError "Cannot assign a TFoo to a TBar"
// is raised ("nil" stands for a missing source).

#include "framework/core/Object.h"

namespace framework {

class TFiler;

class TPersistent : public TObject {
public:
    TPersistent() = default;
    // Objects of the class tree are references, not values: state is copied with Assign.
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;

    virtual void Assign(TPersistent* Source);

    // Declares the stored properties that are not published (each through Filer->DefineProperty
    // or Filer->DefineBinaryProperty); the filer reads or writes those that concern it. Overrides
    // call the inherited one.
    virtual void DefineProperties(TFiler* Filer);

protected:
    virtual void AssignTo(TPersistent* Dest);
    [[noreturn]] void AssignError(TPersistent* Source);
};

}  // namespace framework
