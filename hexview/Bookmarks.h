#pragma once

#include "hexview/HexEditorTypes.h"

#include <array>

namespace kestrum {

/// One bookmark: a data position (-1 = unset) and whether it points into the character field.
struct Bookmark
{
    qint32 position = -1;
    bool inCharField = false;

    friend bool operator==(const Bookmark&, const Bookmark&) = default;
};

/// The ten bookmarks of the control, index 0 to 9.
using Bookmarks = std::array<Bookmark, BookmarkCount>;

} // namespace kestrum
