#pragma once

#include <QtGlobal>

namespace kestrum {

/// The colour set of the hex editor, as 0xRRGGBB values. The defaults stand for the system
/// colours of a light desktop theme (window white, button face 0xF0F0F0, button shadow
/// 0xA0A0A0, button highlight white); the display resolves them against the palette.
struct TMPHColors
{
    quint32 Offset = 0x000000; ///< black
    quint32 OddColumn = 0x0000FF; ///< blue
    quint32 EvenColumn = 0x000080; ///< navy
    quint32 CursorFrame = 0x000080; ///< navy
    quint32 NonFocusCursorFrame = 0x00FFFF; ///< aqua
    quint32 Background = 0xFFFFFF; ///< window colour
    quint32 ChangedText = 0x800000; ///< maroon
    quint32 ChangedBackground = 0xFFFFA8; ///< pale yellow (0xA8FFFF in blue-green-red order)
    quint32 CurrentOffsetBackground = 0xA0A0A0; ///< button shadow
    quint32 OffsetBackground = 0xF0F0F0; ///< button face
    quint32 ActiveFieldBackground = 0xFFFFFF; ///< window colour
    quint32 CurrentOffset = 0xFFFFFF; ///< button highlight
    quint32 Grid = 0xF0F0F0; ///< button face

    friend bool operator==(const TMPHColors&, const TMPHColors&) = default;
};

} // namespace kestrum
