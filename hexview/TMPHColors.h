#pragma once

#include <QtGlobal>

namespace kestrum {

/// A colour value whose high byte is MPH_SYSTEM_COLOR names a system colour rather than an RGB
/// value: the low byte says which one, and the display takes it from the application palette,
/// so that it follows the desktop theme and any later change of the palette.
inline constexpr quint32 MPH_SYSTEM_COLOR = 0xFF000000U;
inline constexpr quint32 MPH_COLOR_WINDOW = MPH_SYSTEM_COLOR | 5; ///< background of text areas
inline constexpr quint32 MPH_COLOR_WINDOW_TEXT = MPH_SYSTEM_COLOR | 8; ///< text in text areas
inline constexpr quint32 MPH_COLOR_HIGHLIGHT = MPH_SYSTEM_COLOR | 13; ///< background of selected items
inline constexpr quint32 MPH_COLOR_BUTTON_FACE = MPH_SYSTEM_COLOR | 15;
inline constexpr quint32 MPH_COLOR_BUTTON_SHADOW = MPH_SYSTEM_COLOR | 16;
inline constexpr quint32 MPH_COLOR_BUTTON_HIGHLIGHT = MPH_SYSTEM_COLOR | 20;

/// True when the value names a system colour.
constexpr bool IsSystemColor(quint32 value)
{
    return (value & 0xFF000000U) == MPH_SYSTEM_COLOR;
}

/// The colour set of the hex editor: 0xRRGGBB values or system colours.
struct TMPHColors
{
    quint32 Offset = 0x000000; ///< black
    quint32 OddColumn = 0x0000FF; ///< blue
    quint32 EvenColumn = 0x000080; ///< navy
    quint32 CursorFrame = 0x000080; ///< navy
    quint32 NonFocusCursorFrame = 0x00FFFF; ///< aqua
    quint32 Background = MPH_COLOR_WINDOW;
    quint32 ChangedText = 0x800000; ///< maroon
    quint32 ChangedBackground = 0xFFFFA8; ///< pale yellow (0xA8FFFF in blue-green-red order)
    quint32 CurrentOffsetBackground = MPH_COLOR_BUTTON_SHADOW;
    quint32 OffsetBackground = MPH_COLOR_BUTTON_FACE;
    quint32 ActiveFieldBackground = MPH_COLOR_WINDOW;
    quint32 CurrentOffset = MPH_COLOR_BUTTON_HIGHLIGHT;
    quint32 Grid = MPH_COLOR_BUTTON_FACE;

    friend bool operator==(const TMPHColors&, const TMPHColors&) = default;
};

} // namespace kestrum
