#pragma once

#include "hexview/MPHexEditorTypes.h"

#include <array>

namespace kestrum {

/// One bookmark: a data position (-1 = unset) and whether it points into the character field.
struct TMPHBookmark
{
    qint32 mPosition = -1;
    bool mInCharField = false;

    friend bool operator==(const TMPHBookmark&, const TMPHBookmark&) = default;
};

/// The ten bookmarks of the control, index 0 to 9.
using TMPHBookmarks = std::array<TMPHBookmark, MPH_BOOKMARK_COUNT>;

} // namespace kestrum
