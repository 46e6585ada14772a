#pragma once

#include "HexEditorTestSupport.h"

#include "hexview/HexEditorView.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QStyleHints>
#include <QTest>
#include <QWheelEvent>

#include <map>

namespace kestrum::test {

/// A shown hex view, with helpers to send it input and to look at what it painted.
class ViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A steady caret, so that a snapshot never meets its hidden phase (the blink test
        // sets its own flash time).
        m_flashTime = QGuiApplication::styleHints()->cursorFlashTime();
        QGuiApplication::styleHints()->setCursorFlashTime(0);
        view.resize(800, 300);
        view.show();
        QApplication::processEvents();
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&view, &press);
    }

    /// Pixels of exactly this colour inside a rectangle of the viewport image.
    static int countColor(const QImage& image, const QRect& rect, quint32 rgbValue)
    {
        int count = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                count += (image.pixel(x, y) & 0xFFFFFF) == rgbValue ? 1 : 0;
        return count;
    }

    QImage snapshot() { return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    /// The character box of a data cell: one character wide at the cell's left edge.
    QRect box(GridCell cell) const
    {
        const QRect rect = view.cellRect(cell);
        return QRect(rect.x(), rect.y(), view.charWidth(), view.rowHeight());
    }

    /// Text drawn without smoothing, so that glyphs have the exact pen colour.
    void useCrispFont()
    {
        QFont font = view.font();
        font.setStyleStrategy(QFont::NoAntialias);
        view.setFont(font);
    }

    void focus()
    {
        view.activateWindow();
        view.setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(view.hasFocus());
    }

    void unfocus()
    {
        view.clearFocus();
        QApplication::processEvents();
        ASSERT_FALSE(view.hasFocus());
    }

    void mouse(QEvent::Type type, GridCell cell, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPoint point = view.cellRect(cell).center();
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, point, view.viewport()->mapToGlobal(point),
            type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, modifiers);
        QApplication::sendEvent(view.viewport(), &event);
    }

    void wheel(int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF point(view.viewport()->width() / 2.0, view.viewport()->height() / 2.0);
        QWheelEvent event(point, view.viewport()->mapToGlobal(point), QPoint(), QPoint(0, delta), Qt::NoButton,
            modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &event);
    }

    void TearDown() override { QGuiApplication::styleHints()->setCursorFlashTime(m_flashTime); }

    HexEditorView view;

private:
    int m_flashTime = 0;
};

using CellTexts = std::map<std::pair<int, int>, QString>;

inline QString textAt(const CellTexts& texts, int row, int col)
{
    const auto it = texts.find({row, col});
    return it == texts.end() ? QStringLiteral("<not drawn>") : it->second;
}

class ViewTexts : public ViewTest
{
protected:
    /// The text of every cell painted, by (row, column).
    CellTexts paintedTexts()
    {
        CellTexts texts;
        view.setCellPainter([&](QPainter&, const QRect&, QString& text, int row, int col, bool&) {
            texts[std::make_pair(row, col)] = text;
        });
        view.viewport()->grab();
        view.setCellPainter({});
        return texts;
    }
};

} // namespace kestrum::test
