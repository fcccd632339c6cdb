// Layouts of the input deck's log records.
#pragma once

#include "record/layout.h"

namespace ph {

inline const Layout& mapRowLayout() {
  static const Layout l("(80(I2,1X))");
  return l;
}
inline const Layout& textLayout() {
  static const Layout l("(a)");
  return l;
}

}  // namespace ph
