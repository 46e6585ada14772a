#include "link/LinkLog.h"

namespace kestrum {

Q_LOGGING_CATEGORY(lcLink, "kestrum.link")

} // namespace kestrum
