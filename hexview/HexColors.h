#pragma once

#include <QtGlobal>

namespace kestrum {

/// A colour value whose high byte is SystemColorTag names a system colour rather than an RGB
/// value: the low byte says which one, and the display takes it from the application palette,
/// so that it follows the desktop theme and any later change of the palette.
inline constexpr quint32 SystemColorTag = 0xFF000000U;
inline constexpr quint32 SystemWindow = SystemColorTag | 5; ///< background of text areas
inline constexpr quint32 SystemWindowText = SystemColorTag | 8; ///< text in text areas
inline constexpr quint32 SystemHighlight = SystemColorTag | 13; ///< background of selected items
inline constexpr quint32 SystemButtonFace = SystemColorTag | 15;
inline constexpr quint32 SystemButtonShadow = SystemColorTag | 16;
inline constexpr quint32 SystemButtonHighlight = SystemColorTag | 20;

/// True when the value names a system colour.
constexpr bool isSystemColor(quint32 value)
{
    return (value & 0xFF000000U) == SystemColorTag;
}

/// The colour set of the hex editor: 0xRRGGBB values or system colours.
struct HexColors
{
    quint32 Offset = 0x000000; ///< black
    quint32 OddColumn = 0x0000FF; ///< blue
    quint32 EvenColumn = 0x000080; ///< navy
    quint32 CursorFrame = 0x000080; ///< navy
    quint32 NonFocusCursorFrame = 0x00FFFF; ///< aqua
    quint32 Background = SystemWindow;
    quint32 ChangedText = 0x800000; ///< maroon
    quint32 ChangedBackground = 0xFFFFA8; ///< pale yellow (0xA8FFFF in blue-green-red order)
    quint32 CurrentOffsetBackground = SystemButtonShadow;
    quint32 OffsetBackground = SystemButtonFace;
    quint32 ActiveFieldBackground = SystemWindow;
    quint32 CurrentOffset = SystemButtonHighlight;
    quint32 Grid = SystemButtonFace;

    friend bool operator==(const HexColors&, const HexColors&) = default;
};

} // namespace kestrum
