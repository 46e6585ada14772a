// Takes the README's pictures of the main window on the simulated programmer: the window in the
// middle of a read (rate, time left, Stop enabled), the chooser of chips sharing an ID, the find
// bar and the result of Compare; with "gang", on several simulated programmers, the window that
// programs them all a moment into a run.
//   kestrum-screenshots OUTPUT_FOLDER [gang]   (run by scripts/screenshots.sh)
#include "app/FlashEditorHost.h"
#include "app/GangWindow.h"
#include "app/KestrumApplication.h"
#include "app/MainWindow.h"
#include "hexview/HexEditor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <cstdio>

using namespace kestrum;

namespace {

bool save(QWidget* widget, const QString& path)
{
    const bool ok = widget && widget->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    KestrumApplication app(argc, argv);
    if (argc != 2 && !(argc == 3 && qstrcmp(argv[2], "gang") == 0)) {
        std::fprintf(stderr, "usage: kestrum-screenshots OUTPUT_FOLDER [gang]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    // The database and the settings beside the program.
    MainWindow w(nullptr, QCoreApplication::applicationDirPath() + QStringLiteral("/kestrum"));
    w.switchLanguage(2);
    w.resize(1000, 620);
    w.show();
    w.selectChipByNames(QStringLiteral("25 SPI Flash"), QStringLiteral("Winbond"), QStringLiteral("W25Q128JV"));
    int failures = 0;

    if (argc == 3) {
        // A 2 MiB image on every programmer; the fourth holds another chip and fails at once.
        w.selectChipByNames(QStringLiteral("25 SPI Flash"), QStringLiteral("Winbond"), QStringLiteral("W25Q16JV"));
        DataBuffer& buffer = w.dataBuffer();
        for (quint32 i = 0; i < (2u << 20); ++i)
            buffer.data()[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
        buffer.usedLength = 2 << 20;
        GangWindow gang(&w, w.reporter(), w.gangJob());
        gang.resize(600, 600);
        gang.show();
        gang.start();
        QTimer::singleShot(2500, &gang, [&] {
            failures += !save(&gang, out.filePath(QStringLiteral("kestrum-gang.png")));
            gang.stop();
        });
        QObject::connect(&gang, &GangWindow::runEnded, &app, &QCoreApplication::quit);
        app.exec();
        return failures == 0 ? 0 : 1;
    }

    // Three seconds into a read: grab, then Stop.
    QTimer::singleShot(3000, &w, [&] {
        failures += !save(&w, out.filePath(QStringLiteral("kestrum-reading.png")));
        w.findChild<QAction*>(QStringLiteral("stopAction"))->trigger();
    });
    w.findChild<QAction*>(QStringLiteral("readAction"))->trigger();

    // Detection: the chip answers an ID that several listed chips share.
    QTimer::singleShot(800, &w, [&] {
        QWidget* chooser = QApplication::activeModalWidget();
        failures += !save(chooser, out.filePath(QStringLiteral("kestrum-chooser.png")));
        if (chooser)
            chooser->close();
    });
    w.findChild<QPushButton*>(QStringLiteral("detectButton"))->click();

    // The find bar over what was read: six bytes from the middle of the first screen, found
    // again from the start, with the replacement row open.
    auto* view = w.findChild<FlashEditorHost*>(QStringLiteral("hexView"));
    QByteArray sought(6, '\0');
    view->readBytes(sought.data(), 0x2A3, sought.size());
    view->editor().seek(0, 0);
    w.findChild<QAction*>(QStringLiteral("replaceAction"))->trigger();
    w.findChild<QComboBox*>(QStringLiteral("findCombo"))->setEditText(QString::fromLatin1(sought.toHex(' ').toUpper()));
    w.findChild<QComboBox*>(QStringLiteral("replaceCombo"))->setEditText(QStringLiteral("4B 45 53 54 52 55"));
    w.findChild<QPushButton*>(QStringLiteral("findNextButton"))->click();
    QCoreApplication::processEvents();
    failures += !save(&w, out.filePath(QStringLiteral("kestrum-find.png")));

    // Compare: the buffer holds the start of the chip as the stopped read left it; three bytes of
    // it are changed, two of them close enough to be one range.
    for (const quint32 at : {0x1000u, 0x1009u, 0x8123u})
        w.dataBuffer().data()[at] ^= 0x5A;
    w.findChild<QAction*>(QStringLiteral("compareAction"))->trigger();
    auto* dialog = w.findChild<QDialog*>(QStringLiteral("compareDialog"));
    if (auto* list = dialog ? dialog->findChild<QTreeWidget*>(QStringLiteral("rangeList")) : nullptr)
        list->setCurrentItem(list->topLevelItem(0));
    failures += !save(dialog, out.filePath(QStringLiteral("kestrum-compare.png")));
    return failures == 0 ? 0 : 1;
}
