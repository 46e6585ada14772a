#pragma once

#include <QString>

#include <vector>

namespace kestrum {

/// Which window a caption belongs to. ToolBar captions are the main window's: the caption of a
/// command's tool button where it differs from the command's menu text.
enum class CaptionWindow { Main, ToolBar, ChipEditor, ChipSearch, Fill, GoTo, SelectRange, BookmarkList };

/// One caption of the language switch: the control's name ("" = the window caption; "panel0" and
/// "panel2" = status bar panels; a command's action for Main and ToolBar) and its text in the
/// three languages.
struct Caption
{
    CaptionWindow window;
    const char* control;
    const char16_t* simplified;
    const char16_t* traditional;
    const char16_t* english;

    [[nodiscard]] QString text(int language) const;
};

/// Every caption, in the order the switch applies them.
const std::vector<Caption>& captionTable();

/// The caption of one control of a window in a language (empty when the table has none).
QString captionText(CaptionWindow window, const char* control, int language);

} // namespace kestrum
