// Repaint and caret-move time of the hex view for a 1 KiB and a full 64 MiB image: painting
// touches only the rows in view and a caret move only the cursor's neighbourhood, so both must
// cost the same for either size. Then the full paint of a 1000 x 700 view against a baseline that
// draws the same rows as plain strings, one drawText per row and colour. Run by hand
// (QT_QPA_PLATFORM=offscreen works); prints one line per measurement and its ratio.
#include "ProcessMemory.h"
#include "hexview/HexEditorView.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace kestrum;

using kestrum::bench::resetPeak;
using kestrum::bench::statusKiB;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void load(HexEditor& editor, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + 0x31);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    editor.loadFromStream(buffer);
}

struct Figures
{
    double repaint = 0; // ms, best of one full repaint
    double caretMove = 0; // ms, best of one caret move (key handling and the repaint it causes)
};

// With the cursor, a changed byte and a selection in the middle of the data.
Figures measure(qint64 size)
{
    HexEditorView view;
    view.editor().setShowRuler(true);
    view.resize(900, 700);
    load(view.editor(), size);
    HexEditor& editor = view.editor();
    const qint64 middle = size / 2;
    editor.seek(middle, 0);
    editor.changeByte(editor.dataAt(middle), quint8(editor.dataAt(middle) ^ 0xFF), middle);
    editor.setSelStart(middle);
    editor.setSelEnd(std::min(size - 1, middle + 40));
    view.show();
    view.setFocus();
    QApplication::processEvents();
    QImage target(view.viewport()->size(), QImage::Format_RGB32);
    Figures figures;
    figures.repaint = 1e9;
    for (int run = 0; run < 50; ++run) {
        const auto start = Clock::now();
        view.viewport()->render(&target);
        figures.repaint = std::min(figures.repaint, msSince(start));
    }
    // Right and Down in turn walk the caret through the rows in view and past them.
    figures.caretMove = 1e9;
    editor.seek(std::max<qint64>(0, middle - 200), 0);
    for (int run = 0; run < 200; ++run) {
        const int key = run % 4 == 3 ? Qt::Key_Down : Qt::Key_Right;
        const auto start = Clock::now();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &press);
        view.viewport()->render(&target);
        figures.caretMove = std::min(figures.caretMove, msSince(start));
    }
    return figures;
}

// The rows the view shows, drawn as plain strings: per row the offset, the hexadecimal digits of
// the odd and of the even column groups, and the characters, one drawText each; the texts are made
// in the timed part, as the view makes its own.
double baseline(HexEditorView& view, QImage& target)
{
    const HexEditor& editor = view.editor();
    const QFont font = view.font();
    const QFontMetrics metrics(font);
    const int rowHeight = view.rowHeight();
    const int rows = (target.height() - view.rulerHeight() + rowHeight - 1) / rowHeight;
    const int bytesPerRow = editor.bytesPerRow();
    const QByteArray bytes(editor.dataStorage().memory() + editor.topRow() * bytesPerRow,
        std::min<qint64>(editor.dataSize() - editor.topRow() * bytesPerRow, qint64(rows) * bytesPerRow));
    const QColor colors[4] = {Qt::black, Qt::blue, Qt::darkBlue, Qt::black};
    static const char digits[] = "0123456789ABCDEF";
    double best = 1e9;
    for (int run = 0; run < 50; ++run) {
        const auto start = Clock::now();
        QPainter painter(&target);
        painter.setFont(font);
        painter.fillRect(target.rect(), Qt::white);
        for (int row = 0; row < rows; ++row) {
            QString texts[4];
            texts[0] = QStringLiteral("0x") + QString::number((editor.topRow() + row) * bytesPerRow, 16);
            for (int i = 0; i < bytesPerRow && row * bytesPerRow + i < bytes.size(); ++i) {
                const auto byte = static_cast<quint8>(bytes[row * bytesPerRow + i]);
                const bool odd = (i / editor.bytesPerColumn()) % 2 == 0;
                QString& mine = texts[odd ? 1 : 2];
                QString& other = texts[odd ? 2 : 1];
                mine += QLatin1Char(digits[byte >> 4]);
                mine += QLatin1Char(digits[byte & 0x0F]);
                other += QStringLiteral("  ");
                texts[3] += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar(u'.');
            }
            const int y = view.rulerHeight() + row * rowHeight + metrics.ascent() + 1;
            const int x[4] = {0, 120, 120, 120 + 3 * bytesPerRow * view.charWidth()};
            for (int i = 0; i < 4; ++i) {
                painter.setPen(colors[i]);
                painter.drawText(x[i], y, texts[i]);
            }
        }
        painter.end();
        best = std::min(best, msSince(start));
    }
    return best;
}

void comparePaintWithBaseline()
{
    HexEditorView view;
    view.editor().setShowRuler(true);
    view.resize(1000, 700);
    load(view.editor(), 64LL * 1024 * 1024);
    view.show();
    QApplication::processEvents();
    QImage target(view.viewport()->size(), QImage::Format_RGB32);
    double paint = 1e9;
    for (int run = 0; run < 50; ++run) {
        const auto start = Clock::now();
        view.viewport()->render(&target);
        paint = std::min(paint, msSince(start));
    }
    const double plain = baseline(view, target);
    std::printf("full paint of %dx%d: view %.3f ms, baseline (one drawText per row and colour) %.3f ms, "
                "ratio %.2f (goal <= 1.2)\n",
        view.viewport()->width(), view.viewport()->height(), paint, plain, paint / plain);
}

// A 64 MiB image moved into a shown view and the first paint after it; and the peak memory above
// the image and the view meanwhile.
void loadAndFirstPaint()
{
    constexpr qint64 size = 64LL * 1024 * 1024;
    HexEditorView view;
    view.editor().setShowRuler(true);
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    QImage target(view.viewport()->size(), QImage::Format_RGB32);
    double best = 1e9;
    qint64 peakExtra = 0;
    bool peakReset = true;
    for (int run = 0; run < 5; ++run) {
        QByteArray image(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            image[i] = static_cast<char>(i * 7 + run);
        peakReset = resetPeak() && peakReset;
        const qint64 before = statusKiB("VmRSS");
        const auto start = Clock::now();
        view.editor().loadFromBytes(std::move(image));
        view.viewport()->render(&target);
        best = std::min(best, msSince(start));
        peakExtra = std::max(peakExtra, statusKiB("VmHWM") - before);
    }
    std::printf("64 MiB load + first paint: %.2f ms (best of 5; goal <= 16 ms), peak memory above the image "
                "%lld KiB (VmHWM - VmRSS%s; goal <= %lld KiB, 12.5 %%)\n",
        best, static_cast<long long>(peakExtra), peakReset ? "" : ", peak not reset",
        static_cast<long long>(size / 8 / 1024));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const Figures small = measure(1024);
    const Figures large = measure(64LL * 1024 * 1024);
    std::printf("                 1 KiB      64 MiB     ratio (goal <= 1.2)\n");
    std::printf("repaint      %8.3f ms %8.3f ms %8.2f\n", small.repaint, large.repaint, large.repaint / small.repaint);
    std::printf(
        "caret move   %8.3f ms %8.3f ms %8.2f\n", small.caretMove, large.caretMove, large.caretMove / small.caretMove);
    comparePaintWithBaseline();
    loadAndFirstPaint();
    return 0;
}
