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
#include "tests/layout/LayoutImages.h"

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
#include <cstring>

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
    const bool gangMode = argc == 3 && qstrcmp(argv[2], "gang") == 0;
    const bool regionsMode = argc == 3 && qstrcmp(argv[2], "regions") == 0;
    if (argc != 2 && !gangMode && !regionsMode) {
        std::fprintf(stderr, "usage: kestrum-screenshots OUTPUT_FOLDER [gang|regions]\n");
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

    if (regionsMode) {
        // A laptop's 16 MiB image: descriptor, GbE, ME and BIOS regions, a gzip stream in the BIOS.
        using namespace kestrum::testing;
        constexpr std::size_t Size = 16u << 20;
        w.resize(1280, 640);
        Image image = descriptorImage(Size,
            {flreg(0, 0xFFF), flreg(0x500000, 0xFFFFFF), flreg(0x3000, 0x4FFFFF), flreg(0x1000, 0x2FFF), UnusedRegion});
        for (std::size_t i = 0x3000; i < 0x380000; ++i)
            image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 9));
        for (std::size_t i = 0x800000; i < 0xF00000; ++i)
            image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
        std::memset(&image[0xC00000], 0, 0x100000);
        std::memcpy(&image[0x900000], "\x1F\x8B\x08", 3);
        for (std::size_t i = 0x1000; i < 0x1080; ++i)
            image[i] = static_cast<std::uint8_t>(i);
        std::memcpy(w.dataBuffer().data(), image.data(), Size);
        w.dataBuffer().usedLength = static_cast<qint32>(Size);
        w.reloadView(static_cast<std::uint32_t>(Size));
        if (auto* list = w.findChild<QTreeWidget*>(QStringLiteral("regionList")))
            list->setCurrentItem(list->topLevelItem(3));
        QCoreApplication::processEvents();
        failures += !save(&w, out.filePath(QStringLiteral("kestrum-regions.png")));
        return failures == 0 ? 0 : 1;
    }

    if (gangMode) {
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
