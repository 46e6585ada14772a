// Repaint time of the hex view for a small and a full 64 MiB image: painting touches only the rows
// in view, so both must cost the same. Run by hand (QT_QPA_PLATFORM=offscreen works); prints one
// line per image and the ratio of the two.
#include "hexview/MPHexEditorView.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace kestrum;

namespace {

using Clock = std::chrono::steady_clock;

void load(TMPHexEditorEx& editor, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + 0x31);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    editor.LoadFromStream(buffer);
}

// Best time of one repaint in milliseconds, with the cursor, a changed byte and a selection in
// the middle of the data.
double repaintMs(qint64 size)
{
    MPHexEditorView view;
    view.editor().SetShowRuler(true);
    view.resize(900, 700);
    load(view.editor(), size);
    TMPHexEditorEx& editor = view.editor();
    const qint64 middle = size / 2;
    editor.Seek(middle, 0);
    editor.IntChangeByte(editor.GetDataAt(middle), quint8(editor.GetDataAt(middle) ^ 0xFF), middle);
    editor.SetSelStart(middle);
    editor.SetSelEnd(std::min(size - 1, middle + 40));
    view.show();
    QApplication::processEvents();
    QImage target(view.viewport()->size(), QImage::Format_RGB32);
    double best = 1e9;
    for (int run = 0; run < 50; ++run) {
        const auto start = Clock::now();
        view.viewport()->render(&target);
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const double small = repaintMs(4096);
    const double large = repaintMs(64LL * 1024 * 1024);
    std::printf("repaint 4 KiB   %8.3f ms\n", small);
    std::printf("repaint 64 MiB  %8.3f ms\n", large);
    std::printf("ratio           %8.2f (goal: about 1)\n", large / small);
    return 0;
}
