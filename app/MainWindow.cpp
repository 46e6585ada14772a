// The main window's construction, settings and window events. The command table lives in
// MainWindowCommands.cpp, the language switch in MainWindowLanguage.cpp.

#include "app/MainWindow.h"
#include "app/RegionsView.h"
#include "base/LogFile.h"

#include "app/AboutBox.h"
#include "app/AddressDialogs.h"
#include "app/BookmarksDialog.h"
#include "app/Captions.h"
#include "app/ChipEditorDialog.h"
#include "app/ChipSearchDialog.h"
#include "app/DeviceChangeMonitor.h"
#include "app/FillDialog.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindowJobView.h"
#include "app/QtUserInterface.h"
#include "app/StatusBar.h"
#include "base/FileLocations.h"
#include "base/Language.h"
#include "chipdb/NameTokens.h"
#include "hexview/HexEditor.h"
#include "link/UsbLink.h"
#include "ops/ChipOperations.h"
#include "ops/ChipProgrammer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

// The icons live in this static library; their resource must be registered by hand.
static void initKestrumResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace kestrum {

/// Passes every box and dialog to the user interface in use and writes log lines into the log box.
class MainWindow::LogForwarder : public UserInterface
{
public:
    LogForwarder(UserInterface& inner, MainWindow& window)
        : m_inner(inner)
        , m_window(window)
    {
    }
    void showError(const QString& text) override { m_inner.showError(text); }
    bool askYesNo(const QString& text) override { return m_inner.askYesNo(text); }
    std::optional<int> chooseRow(const Choice& choice) override { return m_inner.chooseRow(choice); }
    int askButtons(const QString& text, const QStringList& captions) override
    {
        return m_inner.askButtons(text, captions);
    }
    void showInformation(const QString& text) override { m_inner.showInformation(text); }
    void beep() override { m_inner.beep(); }
    QString chooseOpenFile(const QString& filter) override
    {
        m_window.prepareFileDialog(m_inner);
        const QString chosen = m_window.rememberFolder(m_inner.chooseOpenFile(filter));
        if (!chosen.isEmpty())
            m_window.m_lastOpened = chosen;
        return chosen;
    }
    QString chooseSaveFile(const QString& filter, const QString&) override
    {
        m_window.prepareFileDialog(m_inner);
        const QString suffix = m_window.saveSuffix();
        if (auto* qt = dynamic_cast<QtUserInterface*>(&m_inner))
            qt->proposeName(m_window.chipName() + QLatin1Char('.') + suffix);
        return m_window.rememberFolder(m_inner.chooseSaveFile(filter, suffix));
    }
    void insertLogLine(const QString& line) override
    {
        if (QTextEdit* log = m_window.logView) {
            QTextCursor cursor(log->document());
            cursor.movePosition(QTextCursor::Start);
            cursor.insertText(log->document()->isEmpty() ? line : line + QLatin1Char('\n'));
        }
        m_inner.insertLogLine(line);
        m_window.keepLogLine(line);
    }
    void openLocation(const QString& path) override { m_inner.openLocation(path); }

private:
    UserInterface& m_inner;
    MainWindow& m_window;
};

namespace {

UserInterface& pickUi(UserInterface* given, std::unique_ptr<UserInterface>& owned, QWidget* parent)
{
    if (given)
        return *given;
    owned = std::make_unique<QtUserInterface>(parent);
    return *owned;
}

/// Swallows the input that would change a list that only shows a value.
class InputBlocker : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

} // namespace

MainWindow::MainWindow(UserInterface* ui, const QString& executablePath)
    : m_logForwarder(std::make_unique<LogForwarder>(pickUi(ui, m_ownedUi, this), *this))
    , m_reporter(*m_logForwarder)
    , m_executablePath(executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath)
    // Another chip shows the buffer over its size; the edits in the view go into the buffer first.
    , m_selection(m_table,
          [this](std::uint32_t n) {
              takeWholeViewEdits();
              reloadView(n);
          })
    , m_ini(locateFiles(m_executablePath).settingsFile)
{
    initKestrumResources();
    // The log file takes every line from the first on, the settings' own complaints included.
    m_logFile = std::make_unique<LogFile>(locateFiles(m_executablePath).logFile);
    setObjectName(QStringLiteral("mainWindow"));
    m_caption = QStringLiteral("Kestrum USB High Speed Programmer");
    setWindowTitle(m_caption);
    setWindowIcon(QIcon(QStringLiteral(":/icons/kestrum.svg")));
    resize(881, 518);

    buildCommands();
    buildToolBars();
    buildMenu();
    buildBody();

    m_statusBar = new StatusBar(this, [this] { return m_reporter.language(); });
    setStatusBar(m_statusBar);
    m_statusBar->setPanelText(0, QStringLiteral("State"));
    m_statusBar->setPanelText(1, messageText(MsgNotConnected, 0));
    m_statusBar->setPanelText(2, QStringLiteral("Use time"));
    m_statusBar->setPanelText(3, QStringLiteral("00:00:00"));

    m_handOver = std::make_unique<ViewHandOver>(m_buffer, *hexView);
    // The USB link belongs to the window; a chip job never outlives it.
    m_usb = std::make_unique<UsbLink>(this);
    m_jobView = std::make_unique<MainWindowJobView>(*this,
        MainWindowJobView::Controls {m_statusBar, commandBar, mainPanel, logView, autoEraseCheck, autoProgramCheck,
            autoVerifyCheck, stopAction});
    // Panel 4 follows the hex view: cursor offset, selection length, insert or overwrite mode.
    m_jobView->setPositionText(hexView->positionText());
    connect(hexView, &FlashEditorHost::positionTextChanged, this,
        [this](const QString& text) { m_jobView->setPositionText(text); });
    m_programmer = std::make_unique<ChipProgrammer>(*m_usb, m_reporter, m_buffer, *m_jobView);
    m_operations
        = std::make_unique<ChipOperations>(*m_usb, *m_programmer, m_reporter, m_buffer, *m_jobView, *m_jobView);
    m_operations->setErrorBoxesLogged(true);
    m_operations->onIdle = [this] {
        updateEditActions();
        flushLogFile();
        if (m_closeRequested)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    };
    m_deviceMonitor = new DeviceChangeMonitor(this);
    connect(m_deviceMonitor, &DeviceChangeMonitor::deviceChanged, this,
        [this] { runGuarded([this] { probeProgrammer(); }); });
    m_deviceMonitor->start();
    onActivate = [this] { probeProgrammer(); };
    // Save takes the view's edits first, as Write does: a user's edits never go missing from a file.
    m_files = std::make_unique<FileCommands>(
        m_reporter, m_buffer, [this](std::uint32_t n) { reloadView(n); }, [this] { takeViewEdits(); });

    // Settings first, then the dialogs, all before the first show.
    m_ini.load();
    m_settings = readSettings(m_ini, &m_reporter);
    applySettings();
    setUpSafeguards();
    setUpComfort();
    buildDialogs();
}

MainWindow::~MainWindow()
{
    // The hex view outlives this class's members while the widget tears its children down.
    disconnect(&hexView->editor(), nullptr, this, nullptr);
    m_logFile->flush();
}

void MainWindow::buildDialogs()
{
    const HandlerGuard guard = [this](const std::function<void()>& handler) { runGuarded(handler); };
    // After the chip editor reloads or saves the table, the chip is selected again by its names.
    chipEditor
        = new ChipEditorDialog(this, m_reporter, m_table, locateFiles(m_executablePath).databaseFile, guard, [this] {
              takeViewEdits();
              showingSelection([this] { return selectChipAgain(m_selection, m_table); });
              rememberSelection();
          });
    // A chip chosen by search is remembered for the next start as one chosen in the lists is.
    chipSearch = new ChipSearchDialog(
        this, m_reporter, m_table, guard, [this](const QString& type, const QString& maker, const QString& name) {
            selectChipByNames(type, maker, name);
            rememberSelection();
        });
    // The fill takes the view's edits first; the view then spans the chip, or the fill past it.
    fillDialog = new FillDialog(
        this, m_reporter, m_buffer, guard,
        [this](std::uint32_t n) {
            m_buffer.markModified();
            reloadView(n);
        },
        [this] { takeViewEdits(); });
    aboutBox = new AboutBox(this);
    goToDialog = new GoToDialog(this, [this](const QString& entry) { return goTo(entry); });
    selectRangeDialog = new SelectRangeDialog(this, [this](const QString& start, const QString& extent, bool isLength) {
        return selectRangeOf(start, extent, isLength);
    });
    bookmarksDialog = new BookmarksDialog(this, hexView->editor());
}

void MainWindow::setUpComfort()
{
    // The size list only shows the chosen chip's size: no focus, no clicks, no drop-down arrow.
    sizeCombo->setFocusPolicy(Qt::NoFocus);
    sizeCombo->setAttribute(Qt::WA_TransparentForMouseEvents);
    sizeCombo->installEventFilter(new InputBlocker(sizeCombo));
    sizeCombo->setStyleSheet(QStringLiteral("QComboBox::drop-down { width: 0px; border: none; }"));

    connect(&hexView->editor(), &HexEditor::invalidated, this, [this] {
        showModifiedMark();
        updateEditActions();
    });

    // A first start opens at the design size, which shows a whole row of the hex view with its
    // characters; a size stored by an earlier close is used as it is.
    if (!m_settings.formMax
        && m_ini.readString(QStringLiteral("Environment"), QStringLiteral("FormWidth"), QString()).isEmpty())
        resize(clampWindowSize(QSize(881, 518), screen()->availableSize()));
    fitToFont();

    // Without a stored language a first start speaks the language of the system.
    if (!m_settings.languageStored) {
        m_settings.language = languageForLocale(QLocale().name());
        m_reporter.setLanguage(m_settings.language);
    }
}

namespace {

/// The width a button's caption needs: its text, its icon and the button's margins.
int captionWidth(const QAbstractButton* button)
{
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    return button->fontMetrics().horizontalAdvance(button->text()) + icon + 12;
}

/// The width a group needs around a content of that width: its frame and its layout's margins.
int aroundContent(const QWidget* group, int content)
{
    const QMargins frame = group->contentsMargins();
    const QMargins layout = group->layout()->contentsMargins();
    int width = content + frame.left() + frame.right() + layout.left() + layout.right();
    if (const auto* box = qobject_cast<const QGroupBox*>(group))
        width = std::max(width, box->fontMetrics().horizontalAdvance(box->title()) + 24);
    return width;
}

int widestHint(std::initializer_list<const QWidget*> widgets)
{
    int widest = 0;
    for (const QWidget* w : widgets)
        widest = std::max(widest, w->sizeHint().width());
    return widest;
}

} // namespace

void MainWindow::fitToFont()
{
    // The design width is the least; a larger font or a longer caption widens the chip column so
    // that no caption in it is cut.
    const int spacing = 6;
    const int chip = aroundContent(chipGroup,
        std::max(widestHint({typeLabel, manufacturerLabel, nameLabel}),
            2 * std::max(captionWidth(detectButton), captionWidth(findButton)) + spacing));
    const int settings
        = aroundContent(chipSettingsPanel, widestHint({sizeLabel, pageSizeLabel, speedLabel}) + spacing + 60);
    const int options = aroundContent(autoOptionsGroup,
        widestHint({autoEraseCheck, autoProgramCheck, autoVerifyCheck}) + spacing + captionWidth(autoButton));
    const QMargins column = chipColumn->layout()->contentsMargins();
    chipColumn->setFixedWidth(std::max(185, std::max({chip, settings, options}) + column.left() + column.right()));
    updateMinimumSize();
}

void MainWindow::updateMinimumSize()
{
    // Every tool button, the whole left column and the status bar's fixed panels stay usable; the
    // hex view keeps a few columns. Captions differ by language, so this follows the switch.
    const int hexViewMinimum = 240;
    // The fixed panels, some progress bar and, beside it during a job, the rate and time left.
    const int statusPanels = m_statusBar->fixedPanelsWidth() + 2 + 80 + m_statusBar->rateRoom();
    const int toolBars = commandBar->sizeHint().width() + stopBar->sizeHint().width();
    const int width = std::max({toolBars, chipColumn->width() + hexViewMinimum, statusPanels});
    const int height = menuBar()->sizeHint().height() + commandBar->height() + chipColumn->minimumSizeHint().height()
        + m_statusBar->sizeHint().height();
    setMinimumSize(width, height);
}

std::uint8_t MainWindow::speedByte() const
{
    return static_cast<std::uint8_t>(speedCombo->currentIndex());
}

void MainWindow::applySettings()
{
    speedCombo->setCurrentIndex(
        m_settings.speed >= 0 && m_settings.speed < speedCombo->count() ? m_settings.speed : -1);
    // A language the program does not have counts as Simplified Chinese.
    m_reporter.setLanguage(normalizedLanguage(m_settings.language));
    deviceAction->setVisible(m_settings.chip != 0);
    if (!m_settings.formMax)
        resize(clampWindowSize(QSize(m_settings.formWidth, m_settings.formHeight), screen()->availableSize()));
}

void MainWindow::collectSettings()
{
    m_settings.formMax = isMaximized();
    const QRect g = geometry();
    m_settings.formHeight = g.height();
    m_settings.formWidth = g.width();
    m_settings.formTop = g.top();
    m_settings.formLeft = g.left();
    m_settings.speed = speedCombo->currentIndex();
    m_settings.language = m_reporter.language();
    m_settings.readTwice = readTwiceAction->isChecked();
    m_settings.backUp = backUpAction->isChecked();
}

void MainWindow::runGuarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const ListIndexError& e) {
        m_reporter.showError(e.text());
    } catch (const std::exception& e) {
        m_reporter.showError(QString::fromLocal8Bit(e.what()));
    }
    showModifiedMark();
}

void MainWindow::runCommand(const std::function<void()>& handler)
{
    runGuarded([this, &handler] { m_operations->runExclusive(handler); });
}

void MainWindow::probeProgrammer()
{
    // A job holds the link: the probe is put off, and the list with it.
    if (!m_operations->holdsProgrammer()) {
        const std::vector<QByteArray> locations = m_usb->programmerLocations();
        const bool several = locations.size() > 1;
        programmerCombo->clear();
        int chosen = 0;
        for (const QByteArray& location : locations) {
            if (QString::fromLatin1(location) == m_settings.programmer)
                chosen = programmerCombo->count();
            programmerCombo->addItem(QString::fromLatin1(location));
        }
        programmerCombo->setCurrentIndex(several ? chosen : -1);
        programmerLabel->setVisible(several);
        programmerCombo->setVisible(several);
        chipSettingsPanel->setFixedHeight(several ? 134 : 104);
        // With one programmer (or none) the window takes whichever answers, as it always did.
        m_usb->setLocation(several ? locations[static_cast<std::size_t>(chosen)] : QByteArray());
    }
    m_operations->probeProgrammer();
}

void MainWindow::chooseProgrammer(int index)
{
    if (index < 0 || index >= programmerCombo->count())
        return;
    m_settings.programmer = programmerCombo->itemText(index);
    m_usb->setLocation(m_settings.programmer.toLatin1());
    m_operations->probeProgrammer();
}

void MainWindow::reloadView(std::uint32_t count)
{
    m_handOver->reloadView(count);
    regionsView->imageChanged(count);
}

void MainWindow::takeViewEdits()
{
    // Without a chip shown there is no size to cut the edits to.
    if (m_selection.shownChip() < 0) {
        takeWholeViewEdits();
        return;
    }
    if (hexView->isModified())
        m_buffer.markModified();
    m_handOver->takeViewEdits(chipSize());
}

void MainWindow::takeWholeViewEdits()
{
    if (hexView->isModified())
        m_buffer.markModified();
    m_handOver->takeViewEdits(BufferCapacity);
}

bool MainWindow::hasUnsavedChanges() const
{
    return m_buffer.modified || hexView->isModified();
}

void MainWindow::showModifiedMark()
{
    const QString title = hasUnsavedChanges() ? QLatin1Char('*') + m_caption : m_caption;
    if (windowTitle() != title)
        setWindowTitle(title);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShowDone) {
        m_firstShowDone = true;
        runGuarded([this] { firstShow(); });
    }
}

void MainWindow::firstShow()
{
    // The window opens in the middle of the screen; the restored size stays.
    if (m_settings.formMax) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // A record with too few names ends the selection fill with an error box; the captions and
    // the probe below still follow, so the layout captions are never seen.
    runGuarded([this] { loadChipDatabase(); });
    applyLanguage();
    // The first activation probes the programmer. Where no window manager activates the window
    // (a bare X server), probe once anyway as soon as the window is up.
    QTimer::singleShot(0, this, [this] {
        if (!m_activatedOnce)
            activated();
    });
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activated();
    if (event->type() == QEvent::FontChange && chipColumn)
        fitToFont();
}

void MainWindow::activated()
{
    m_activatedOnce = true;
    if (onActivate)
        runGuarded(onActivate);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_statusBar)
        m_statusBar->placeProgress();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A chip job in progress is stopped first when the user agrees (end command, link closed);
    // the window closes right after it.
    if (m_operations->holdsProgrammer()) {
        event->ignore();
        if (m_closeRequested || m_reporter.ui().askYesNo(m_reporter.message(MsgStopJobQuestion))) {
            m_closeRequested = true;
            m_operations->stop();
        }
        return;
    }
    // A close asked for during a job is carried out now, or not at all.
    m_closeRequested = false;
    if (!confirmDiscard()) {
        event->ignore();
        return;
    }
    collectSettings();
    storeSettings(m_ini, m_settings, m_reporter);
    event->accept();
}

} // namespace kestrum
