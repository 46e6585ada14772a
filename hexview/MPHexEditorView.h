#pragma once

#include "hexview/MPHSystemClipboard.h"
#include "hexview/TMPHexEditorEx.h"

#include <QAbstractScrollArea>

namespace kestrum {

/// The widget that shows a TMPHexEditorEx: an offset column ("0x..."), the hexadecimal field and
/// the character field, one row per BytesPerRow bytes, painting only the rows in view. Keys go to
/// the control's own key handling; a click moves the cursor.
class MPHexEditorView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit MPHexEditorView(QWidget* parent = nullptr);
    ~MPHexEditorView() override;

    TMPHexEditorEx& editor() { return m_editor; }
    const TMPHexEditorEx& editor() const { return m_editor; }

    /// The grid cell under a point of the viewport; false outside the data fields.
    bool cellAt(const QPoint& point, TMPHGridCell& cell) const;
    /// Offset text of a row start, as the offset column shows it.
    QString offsetText(qint64 position) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    void updateMetrics();
    void syncScrollBar();
    int offsetColumnWidth() const;
    int hexX(int byteInRow) const;
    int charX(int byteInRow) const;

    TMPHexEditorEx m_editor;
    MPHSystemClipboard m_clipboard;
    int m_charWidth = 8;
    int m_rowHeight = 16;
    bool m_syncing = false;
};

} // namespace kestrum
