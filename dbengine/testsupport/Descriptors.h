#pragma once
// Field and index descriptors for table definitions in tests.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/index/IndexFormat.h"

namespace dbengine::testsupport {

inline TFieldDescriptor Field(int16_t no, const std::string& name, uint8_t type, uint8_t size = 0,
                              uint8_t subType = 0) {
    TFieldDescriptor d;
    d.FieldNo = no;
    d.Name = name;
    d.FieldType = type;
    d.Size = size;
    d.SubType = subType;
    return d;
}

inline TIndexDescriptor Index(const std::string& name, std::initializer_list<uint16_t> fields,
                              bool unique = false) {
    TIndexDescriptor d;
    d.Name = name;
    int k = 0;
    for (uint16_t f : fields) d.FieldNumbers[k++] = f;
    d.Unique = unique ? 1 : 0;
    return d;
}

}  // namespace dbengine::testsupport
