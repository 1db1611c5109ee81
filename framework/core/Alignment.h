#pragma once
// Horizontal alignment of text, shared by the fields of a dataset and the controls that show them.

namespace framework {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

}  // namespace framework
