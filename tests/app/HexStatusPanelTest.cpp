#include "hexview/HexEditor.h"
#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

TEST(HexStatusPanel, ShowsTheCursorOffsetTheSelectionAndTheMode)
{
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    MainWindow window(&ui, dir.filePath(QStringLiteral("kestrum")));
    window.show();
    HexEditor& editor = hexView(window).editor();
    QByteArray bytes(0x100, '\x5A');
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    hexView(window).loadFrom(stream);
    StatusBar& bar = statusBar(window);

    editor.seek(0x20, 0);
    EXPECT_EQ(bar.panelText(4), QStringLiteral("0x20   OVR"));
    editor.setSelEnd(0x2F);
    EXPECT_EQ(bar.panelText(4), QStringLiteral("0x20   Sel 16 (0x10)   OVR"));
    editor.setInsertMode(true); // a row for the position past the end: offsets get 3 digits
    EXPECT_EQ(bar.panelText(4), QStringLiteral("0x020   Sel 16 (0x10)   INS"));
    editor.keyDown(Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(bar.panelText(4), QStringLiteral("0x020   INS")); // the second nibble of the same byte
    EXPECT_EQ(bar.panelRect(4).right(), bar.width() - 1) << "the last panel reaches the right edge";
    window.close();
}
