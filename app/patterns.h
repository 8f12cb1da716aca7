#pragma once

#include "core/codepage.h"
#include "core/text.h"

// The features of a record page that the harvest reads.
namespace app::patterns {

using core::Text;

inline const Text& nutrient_name() {
  static const Text pattern = "<a class=\"bblue\" href=\".*?\">(.*?)</a></td>";
  return pattern;
}
inline const Text& nutrient_value() {
  static const Text pattern = "<td width=\"16%\">(\\d+)<span class=\"bgray\">(.*?)</span></td>";
  return pattern;
}
inline const Text& food_name() {
  static const Text pattern = core::gbk(u8"botitle18\">(.*?)的营养价值");
  return pattern;
}
inline const Text& deleted_marker() {
  static const Text marker = core::gbk(u8"记录已被删除");
  return marker;
}

// The table's 24 cells (8 rows of 3) read column by column: the cell shown in list-view column
// (i - 1) * 8 + j and stored in that place of a row, for table column i and row j.
inline int cell_of(int table_column, int table_row) {
  return (table_row - 1) * 3 + table_column;
}

}  // namespace app::patterns
