// The viewer's script and style, built into the program from picture/viewer/.
#pragma once

namespace wux {

extern const char kViewerScript[];
extern const char kViewerStyle[];

}  // namespace wux
