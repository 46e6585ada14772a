#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/Captions.h"
#include "app/ChipEditorDialog.h"
#include "app/DeviceChangeMonitor.h"
#include "app/FillDialog.h"
#include "app/FlashEditorHost.h"
#include "app/QtUserInterface.h"
#include "app/SearchDialog.h"
#include "app/StatusBar.h"
#include "app/WindowJobs.h"
#include "base/FileLocations.h"
#include "chipdb/NameTokens.h"
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
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

// The icons live in this static library; their resource must be registered by hand.
static void initKestrumResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace kestrum {

/// Passes every box and dialog to the user interface in use and writes log lines into the log box.
class TForm1::LogForwarder : public UserInterface
{
public:
    LogForwarder(UserInterface& inner, TForm1& window)
        : m_inner(inner)
        , m_window(window)
    {
    }
    void showError(const QString& text) override { m_inner.showError(text); }
    bool askYesNo(const QString& text) override { return m_inner.askYesNo(text); }
    std::optional<int> chooseRow(const Choice& choice) override { return m_inner.chooseRow(choice); }
    void showInformation(const QString& text) override { m_inner.showInformation(text); }
    void beep() override { m_inner.beep(); }
    QString chooseOpenFile(const QString& filter) override
    {
        m_window.prepareFileDialog(m_inner);
        return m_window.rememberFolder(m_inner.chooseOpenFile(filter));
    }
    QString chooseSaveFile(const QString& filter, const QString& suffix) override
    {
        m_window.prepareFileDialog(m_inner);
        return m_window.rememberFolder(m_inner.chooseSaveFile(filter, suffix));
    }
    void insertLogLine(const QString& line) override
    {
        if (QTextEdit* log = m_window.RichEdit1) {
            QTextCursor cursor(log->document());
            cursor.movePosition(QTextCursor::Start);
            cursor.insertText(log->document()->isEmpty() ? line : line + QLatin1Char('\n'));
        }
        m_inner.insertLogLine(line);
    }

private:
    UserInterface& m_inner;
    TForm1& m_window;
};

namespace {

UserInterface& pickUi(UserInterface* given, std::unique_ptr<UserInterface>& owned, QWidget* parent)
{
    if (given)
        return *given;
    owned = std::make_unique<QtUserInterface>(parent);
    return *owned;
}

} // namespace

TForm1::TForm1(UserInterface* ui, const QString& executablePath)
    : m_logForwarder(std::make_unique<LogForwarder>(pickUi(ui, m_ownedUi, this), *this))
    , m_reporter(*m_logForwarder)
    , m_executablePath(executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath)
    , m_selection(m_table, [this](std::uint32_t n) { reloadView(n); })
    , m_ini(locateFiles(m_executablePath).settingsFile)
{
    initKestrumResources();
    setObjectName(QStringLiteral("Form1"));
    m_caption = QStringLiteral("Kestrum USB High Speed Programmer");
    setWindowTitle(m_caption);
    setWindowIcon(QIcon(QStringLiteral(":/icons/kestrum.svg")));
    resize(881, 518);

    buildActions();
    buildToolBar();
    buildStopBar();
    buildMenu();
    buildBody();

    StatusBar1 = new TStatusBar(this, [this] { return m_reporter.language(); });
    setStatusBar(StatusBar1);
    StatusBar1->setPanelText(0, QStringLiteral("State"));
    StatusBar1->setPanelText(1, messageText(MsgNotConnected, 0));
    StatusBar1->setPanelText(2, QStringLiteral("Use time"));
    StatusBar1->setPanelText(3, QStringLiteral("00:00:00"));

    m_handOver = std::make_unique<ViewHandOver>(m_buffer, *FlashEditor);
    // The USB link belongs to the window; a chip job never outlives it.
    m_usb = std::make_unique<UsbLink>(this);
    m_jobs = std::make_unique<WindowJobs>(
        *this, WindowJobs::Controls {StatusBar1, ToolBar1, Panel1, CheckBox1, CheckBox2, CheckBox3, ToolStop});
    // Panel 4 follows the hex view: cursor offset, selection length, insert or overwrite mode.
    m_jobs->setPositionText(FlashEditor->positionText());
    connect(FlashEditor, &FlashEditorHost::positionTextChanged, this,
        [this](const QString& text) { m_jobs->setPositionText(text); });
    m_programmer = std::make_unique<ChipProgrammer>(*m_usb, m_reporter, m_buffer, *m_jobs);
    m_operations = std::make_unique<ChipOperations>(*m_usb, *m_programmer, m_reporter, m_buffer, *m_jobs, *m_jobs);
    m_operations->setErrorBoxesLogged(true);
    m_operations->onIdle = [this] {
        if (m_closeRequested)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    };
    m_deviceMonitor = new DeviceChangeMonitor(this);
    connect(m_deviceMonitor, &DeviceChangeMonitor::deviceChanged, this,
        [this] { runGuarded([this] { probeProgrammer(); }); });
    m_deviceMonitor->start();
    onActivate = [this] { probeProgrammer(); };
    wireCommands();
    // Save takes the view's edits first, as Write does: a user's edits never go missing from a file.
    m_files = std::make_unique<FileCommands>(
        m_reporter, m_buffer, [this](std::uint32_t n) { reloadView(n); }, [this] { takeViewEdits(); });

    // The creation handler: settings first, then the dialogs, all before the first show.
    m_ini.load();
    m_settings = readSettings(m_ini);
    applySettings();
    setUpComfort();

    const HandlerGuard guard = [this](const std::function<void()>& handler) { runGuarded(handler); };
    // After the chip editor reloads or saves the table, the chip is selected again by its names.
    Form2 = new TForm2(this, m_reporter, m_table, locateFiles(m_executablePath).databaseFile, guard, [this] {
        takeViewEdits();
        showingSelection([this] { return selectChipAgain(m_selection, m_table); });
        rememberSelection();
    });
    // A chip chosen by search is remembered for the next start as one chosen in the lists is.
    Form3 = new TForm3(
        this, m_reporter, m_table, guard, [this](const QString& type, const QString& maker, const QString& name) {
            selectChipByNames(type, maker, name);
            rememberSelection();
        });
    // The fill takes the view's edits first; the view then spans the chip, or the fill past it.
    FillDialog = new TForm4(
        this, m_reporter, m_buffer, guard,
        [this](std::uint32_t n) {
            m_buffer.markModified();
            reloadView(n);
        },
        [this] { takeViewEdits(); });
    AboutBox = new TAboutBox(this);
}

TForm1::~TForm1()
{
    tearDownComfort();
}

void TForm1::buildActions()
{
    auto make = [this](QAction*& action, const char* name, const QString& text, const char* icon = nullptr) {
        action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        if (icon)
            action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(icon))));
    };
    make(ToolOpen, "ToolOpen", QStringLiteral("Open"), "open");
    make(ToolSave, "ToolSave", QStringLiteral("Save"), "save");
    make(ToolRead, "ToolRead", QStringLiteral("Read"), "read");
    make(ToolErase, "ToolErase", QStringLiteral("ERASE"), "erase");
    make(ToolWrite, "ToolWrite", QStringLiteral("Write"), "write");
    make(ToolVerify, "ToolVerify", QStringLiteral("Verify"), "verify");
    make(ToolAuto, "ToolAuto", QStringLiteral("AUTO"), "auto");
    make(ToolBank, "ToolBank", QStringLiteral("Bank"), "blank");
    make(ToolFill, "ToolFill", QStringLiteral("FIll"), "fill");
    make(ToolDevice, "ToolDevice", QStringLiteral("Device"), "device");
    make(ToolAbout, "ToolAbout", QStringLiteral("About"), "about");

    make(O2, "O2", QStringLiteral("Open(&O)"));
    make(S1, "S1", QStringLiteral("Save(&S)"));
    make(Q1, "Q1", QStringLiteral("Quit(&Q)"));
    make(Fill, "Fill", QStringLiteral("Fill(&F)"));
    make(A1, "A1", QStringLiteral("Auto(&A)"));
    make(E1, "E1", QStringLiteral("Erase(&E)"));
    make(W1, "W1", QStringLiteral("Write(&W)"));
    make(R1, "R1", QStringLiteral("Read(&R)"));
    make(V1, "V1", QStringLiteral("Verify(&V)"));
    make(N7, "N7", QStringLiteral("Bank(&B)"));
    make(N3, "N3", QStringLiteral("Device(&Y)"));
    make(China, "China", QString::fromUtf16(u"中文"));
    make(fanti, "fanti", QString::fromUtf16(u"繁體"));
    make(Enlish, "Enlish", QStringLiteral("Enlish"));
    make(N5, "N5", QStringLiteral("About(&A)"));
    for (QAction* a : {China, fanti, Enlish})
        a->setCheckable(true);

    connect(Q1, &QAction::triggered, this, &QWidget::close);
    // Every menu command waits for a running chip job, the language switch and the About box too
    // (a box opened from a job's event pump would hold the job). A refused switch keeps the checks.
    int language = 0;
    for (QAction* item : {China, fanti, Enlish}) {
        connect(item, &QAction::triggered, this, [this, item, language] {
            runCommand([this, language] { switchLanguage(language); });
            item->setChecked(m_reporter.language() == language);
        });
        ++language;
    }
    connect(ToolAbout, &QAction::triggered, this, [this] { runCommand([this] { ToolAboutClick(); }); });
    connect(N5, &QAction::triggered, this, [this] { runCommand([this] { ToolAboutClick(); }); });
}

void TForm1::wireCommands()
{
    auto bind = [this](std::initializer_list<QAction*> actions, void (TForm1::*handler)()) {
        for (QAction* a : actions)
            connect(
                a, &QAction::triggered, this, [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    };
    bind({ToolOpen, O2}, &TForm1::ToolOpenClick);
    bind({ToolSave, S1}, &TForm1::ToolSaveClick);
    bind({ToolFill, Fill}, &TForm1::ToolFillClick);
    // The editor reloads and rewrites the chip table, which a running chip command reads.
    bind({ToolDevice, N3}, &TForm1::ToolDeviceClick);

    // The chip commands carry their own busy guard.
    auto op = [this](std::initializer_list<QAction*> actions, void (TForm1::*handler)()) {
        for (QAction* a : actions)
            connect(
                a, &QAction::triggered, this, [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
    };
    op({ToolRead, R1}, &TForm1::ToolReadClick);
    op({ToolErase, E1}, &TForm1::ToolEraseClick);
    op({ToolWrite, W1}, &TForm1::ToolWriteClick);
    op({ToolVerify, V1}, &TForm1::ToolVerifyClick);
    op({ToolBank, N7}, &TForm1::ToolBankClick);
    op({ToolAuto, A1}, &TForm1::ToolAutoClick);
    connect(BitBtn3, &QPushButton::clicked, this, [this] { runGuarded([this] { ToolAutoClick(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { runGuarded([this] { BitBtn1Click(); }); });
}

void TForm1::ToolEraseClick()
{
    m_operations->erase();
}
void TForm1::ToolVerifyClick()
{
    m_operations->verify();
}
void TForm1::ToolBankClick()
{
    m_operations->blankCheck();
}
void TForm1::BitBtn1Click()
{
    m_operations->detect();
}

QToolBar* TForm1::addFixedToolBar(const QString& name)
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setFixedHeight(57);
    addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

void TForm1::addToolButton(QToolBar* bar, QAction* action, const QString& buttonName)
{
    bar->addAction(action);
    if (QWidget* w = bar->widgetForAction(action)) {
        w->setObjectName(buttonName);
        w->setMinimumSize(39, 52);
    }
}

void TForm1::buildToolBar()
{
    ToolBar1 = addFixedToolBar(QStringLiteral("ToolBar1"));
    auto add = [this](QAction* a) { addToolButton(ToolBar1, a, a->objectName()); };
    add(ToolOpen);
    add(ToolSave);
    ToolBar1->addSeparator();
    for (QAction* a : {ToolRead, ToolErase, ToolWrite, ToolVerify, ToolAuto})
        add(a);
    ToolBar1->addSeparator();
    add(ToolBank);
    add(ToolFill);
    ToolBar1->addSeparator();
    add(ToolDevice);
    add(ToolAbout);
}

void TForm1::buildMenu()
{
    QMenuBar* bar = menuBar();
    O1 = bar->addMenu(QStringLiteral("File(&F)"));
    O1->setObjectName(QStringLiteral("O1"));
    O1->addAction(O2);
    O1->addAction(S1);
    O1->addSeparator()->setObjectName(QStringLiteral("N1"));
    O1->addAction(Q1);
    Buff = bar->addMenu(QStringLiteral("Buffer(&B)"));
    Buff->setObjectName(QStringLiteral("Buff"));
    Buff->addAction(Fill);
    O3 = bar->addMenu(QStringLiteral("Operation(&O)"));
    O3->setObjectName(QStringLiteral("O3"));
    O3->addAction(A1);
    O3->addSeparator()->setObjectName(QStringLiteral("N2"));
    for (QAction* a : {E1, W1, R1, V1, N7})
        O3->addAction(a);
    bar->addAction(N3);
    L1 = bar->addMenu(QStringLiteral("Language(&L)"));
    L1->setObjectName(QStringLiteral("L1"));
    L1->addAction(China);
    L1->addAction(fanti);
    L1->addAction(Enlish);
    H1 = bar->addMenu(QStringLiteral("Help(&H)"));
    H1->setObjectName(QStringLiteral("H1"));
    H1->addAction(N5);
}

void TForm1::buildBody()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    setCentralWidget(Panel1);
    auto* body = new QHBoxLayout(Panel1);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);

    // Left column: chip group, chip settings, auto options.
    Panel2 = new QWidget(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(185);
    auto* left = new QVBoxLayout(Panel2);
    // The group boxes draw their frames and titles clear of the column's edges.
    left->setContentsMargins(3, 2, 3, 2);
    left->setSpacing(2);

    GroupBox1 = new QGroupBox(QStringLiteral("Chip"), Panel2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFixedHeight(184);
    auto* chip = new QGridLayout(GroupBox1);
    chip->setContentsMargins(6, 4, 6, 4);
    chip->setVerticalSpacing(3);
    auto label = [](QWidget* parent, QLabel*& l, const char* name, const QString& text) {
        l = new QLabel(text, parent);
        l->setObjectName(QString::fromLatin1(name));
    };
    auto combo = [](QWidget* parent, QComboBox*& c, const char* name) {
        c = new QComboBox(parent);
        c->setObjectName(QString::fromLatin1(name));
        c->setMaxVisibleItems(20);
    };
    label(GroupBox1, Label1, "Label1", QStringLiteral("Type"));
    combo(GroupBox1, ComboBox1, "ComboBox1");
    label(GroupBox1, Label2, "Label2", QStringLiteral("Manufacturer"));
    combo(GroupBox1, ComboBox2, "ComboBox2");
    label(GroupBox1, Label3, "Label3", QStringLiteral("Name"));
    combo(GroupBox1, ComboBox3, "ComboBox3");
    BitBtn1 = new QPushButton(QStringLiteral("Test"), GroupBox1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("Find"), GroupBox1);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    chip->addWidget(Label1, 0, 0, 1, 2);
    chip->addWidget(ComboBox1, 1, 0, 1, 2);
    chip->addWidget(Label2, 2, 0, 1, 2);
    chip->addWidget(ComboBox2, 3, 0, 1, 2);
    chip->addWidget(Label3, 4, 0, 1, 2);
    chip->addWidget(ComboBox3, 5, 0, 1, 2);
    chip->addWidget(BitBtn1, 6, 0);
    chip->addWidget(BitBtn2, 6, 1);
    left->addWidget(GroupBox1);

    Panel8 = new QWidget(Panel2);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    Panel8->setFixedHeight(104);
    auto* settings = new QGridLayout(Panel8);
    settings->setContentsMargins(6, 4, 6, 4);
    label(Panel8, Label4, "Label4", QStringLiteral("Size"));
    label(Panel8, Label5, "Label5", QStringLiteral("Pagesize"));
    label(Panel8, Label6, "Label6", QStringLiteral("Speed"));
    Edit1 = new QLineEdit(Panel8);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    combo(Panel8, ComboBox5, "ComboBox5");
    ComboBox5->addItems(sizeListItems());
    ComboBox5->setCurrentIndex(-1);
    Edit2 = new QLineEdit(Panel8);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setReadOnly(true);
    combo(Panel8, ComboBox4, "ComboBox4");
    ComboBox4->addItems(speedListItems());
    ComboBox4->setCurrentIndex(0);
    settings->addWidget(Label4, 0, 0);
    // The size list lies exactly over the capacity field, in front of it.
    settings->addWidget(Edit1, 0, 1);
    settings->addWidget(ComboBox5, 0, 1);
    ComboBox5->raise();
    settings->addWidget(Label5, 1, 0);
    settings->addWidget(Edit2, 1, 1);
    settings->addWidget(Label6, 2, 0);
    settings->addWidget(ComboBox4, 2, 1);
    left->addWidget(Panel8);

    GroupBox2 = new QGroupBox(QStringLiteral("Auto Options"), Panel2);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* autoBox = new QGridLayout(GroupBox2);
    autoBox->setContentsMargins(6, 4, 6, 4);
    auto check = [this](QCheckBox*& c, const char* name, const QString& text) {
        c = new QCheckBox(text, GroupBox2);
        c->setObjectName(QString::fromLatin1(name));
        c->setChecked(true);
    };
    check(CheckBox1, "CheckBox1", QStringLiteral("Erase"));
    check(CheckBox2, "CheckBox2", QStringLiteral("Program"));
    check(CheckBox3, "CheckBox3", QStringLiteral("Verify"));
    BitBtn3 = new QPushButton(QIcon(QStringLiteral(":/icons/auto.svg")), QStringLiteral("AUTO"), GroupBox2);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setIconSize(QSize(24, 24));
    BitBtn3->setMinimumHeight(48);
    autoBox->addWidget(CheckBox1, 0, 0);
    autoBox->addWidget(CheckBox2, 1, 0);
    autoBox->addWidget(CheckBox3, 2, 0);
    autoBox->addWidget(BitBtn3, 0, 1, 3, 1);
    autoBox->setRowStretch(3, 1);
    left->addWidget(GroupBox2, 1);
    body->addWidget(Panel2);

    // Right column: the hex view filling the space, the log at the bottom.
    Panel3 = new QWidget(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto* right = new QVBoxLayout(Panel3);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    FlashEditor = new FlashEditorHost(Panel3);
    right->addWidget(FlashEditor, 1);
    RichEdit1 = new QTextEdit(Panel3);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setFixedHeight(91);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    right->addWidget(RichEdit1);
    body->addWidget(Panel3, 1);

    connect(ComboBox1, &QComboBox::activated, this, [this] { runGuarded([this] { ComboBox1Change(); }); });
    connect(ComboBox2, &QComboBox::activated, this, [this] { runGuarded([this] { ComboBox2Change(); }); });
    connect(ComboBox3, &QComboBox::activated, this, [this] { runGuarded([this] { ComboBox3Change(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn2Click(); }); });
}

std::uint8_t TForm1::speedByte() const
{
    return static_cast<std::uint8_t>(ComboBox4->currentIndex());
}

void TForm1::applySettings()
{
    ComboBox4->setCurrentIndex(m_settings.speed >= 0 && m_settings.speed < ComboBox4->count() ? m_settings.speed : -1);
    // A language the program does not have counts as Simplified Chinese.
    m_reporter.setLanguage(normalizedLanguage(m_settings.language));
    ToolDevice->setVisible(m_settings.chip != 0);
    N3->setVisible(m_settings.chip != 0);
    if (!m_settings.formMax)
        resize(clampWindowSize(QSize(m_settings.formWidth, m_settings.formHeight), screen()->availableSize()));
}

void TForm1::collectSettings()
{
    m_settings.formMax = isMaximized();
    const QRect g = geometry();
    m_settings.formHeight = g.height();
    m_settings.formWidth = g.width();
    m_settings.formTop = g.top();
    m_settings.formLeft = g.left();
    m_settings.speed = ComboBox4->currentIndex();
    m_settings.language = m_reporter.language();
}

void TForm1::runGuarded(const std::function<void()>& handler)
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

void TForm1::runCommand(const std::function<void()>& handler)
{
    runGuarded([this, &handler] { m_operations->runExclusive(handler); });
}

void TForm1::probeProgrammer()
{
    m_operations->probeProgrammer();
}

void TForm1::setSelectionIndices(int t, int m, int n)
{
    m_settings.typeIndex = t;
    m_settings.makerIndex = m;
    m_settings.nameIndex = n;
}

LoadResult TForm1::LoadChipDatabase()
{
    const LoadResult result = loadChipDatabaseFile(locateFiles(m_executablePath).databaseFile, m_table, m_reporter);
    // Saved indices that designate no chip select the first one, as a fresh start does.
    if (result == LoadResult::Loaded)
        showingSelection([this] {
            return m_selection.restoreSelection(m_settings.typeIndex, m_settings.makerIndex, m_settings.nameIndex);
        });
    return result;
}

int TForm1::selectByIndices(int t, int m, int n)
{
    return showingSelection([&] { return m_selection.selectByIndices(t, m, n); });
}

int TForm1::selectChipByNames(const QString& type, const QString& maker, const QString& name)
{
    return showingSelection([&] { return m_selection.selectByNames(type, maker, name); });
}

int TForm1::showingSelection(const std::function<int()>& fill)
{
    // A fill that ends with an error has still rebuilt lists; they are shown before it goes on.
    int found = -1;
    try {
        found = fill();
    } catch (...) {
        showChipSelection();
        throw;
    }
    showChipSelection();
    return found;
}

void TForm1::showChipSelection()
{
    auto show = [](QComboBox* box, const PickList& list) {
        const QSignalBlocker block(box);
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        if (shown != list.items()) {
            box->clear();
            box->addItems(list.items());
        }
        box->setCurrentIndex(list.selected());
    };
    show(ComboBox1, m_selection.types());
    show(ComboBox2, m_selection.makers());
    show(ComboBox3, m_selection.names());
    Edit1->setText(m_selection.sizeText());
    {
        const QSignalBlocker block(ComboBox5);
        ComboBox5->setCurrentIndex(m_selection.sizeIndex());
    }
    Edit2->setText(m_selection.pageText());
}

void TForm1::reloadView(std::uint32_t count)
{
    m_handOver->reloadView(count);
}

void TForm1::ComboBox1Change()
{
    // A new type starts at its first manufacturer and name.
    ComboBox2->setCurrentIndex(0);
    ComboBox3->setCurrentIndex(0);
    ComboBox3Change();
}

void TForm1::ComboBox2Change()
{
    ComboBox3->setCurrentIndex(0);
    ComboBox3Change();
}

void TForm1::ComboBox3Change()
{
    m_settings.typeIndex = ComboBox1->currentIndex();
    m_settings.makerIndex = ComboBox2->currentIndex();
    m_settings.nameIndex = ComboBox3->currentIndex();
    selectByIndices(m_settings.typeIndex, m_settings.makerIndex, m_settings.nameIndex);
}

void TForm1::BitBtn2Click()
{
    Form3->exec();
}

void TForm1::ToolFillClick()
{
    FillDialog->prepare(chipSize());
    FillDialog->exec();
}

void TForm1::ToolDeviceClick()
{
    Form2->exec();
}

void TForm1::ToolSaveClick()
{
    m_files->save(chipSize());
}

void TForm1::ToolAboutClick()
{
    AboutBox->exec();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShowDone) {
        m_firstShowDone = true;
        runGuarded([this] { FormShow(); });
    }
}

void TForm1::FormShow()
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
    runGuarded([this] { LoadChipDatabase(); });
    ApplyLanguage();
    // The first activation probes the programmer. Where no window manager activates the window
    // (a bare X server), probe once anyway as soon as the window is up.
    QTimer::singleShot(0, this, [this] {
        if (!m_activatedOnce)
            FormActivate();
    });
}

/// Sets one caption: the window's own caption for an empty control name, else the text of the
/// window's control (menu, action, group box, button or label) of that name.
static void applyCaption(QWidget* window, const QString& control, const QString& text)
{
    if (control.isEmpty()) {
        window->setWindowTitle(text);
        return;
    }
    for (QObject* o : window->findChildren<QObject*>(control)) {
        // Dialogs are children of the main window too: only this window's own controls count. A
        // menu is a popup, a window of its own; it belongs where its menu bar is.
        auto* w = qobject_cast<QWidget*>(o);
        if (auto* m = qobject_cast<QMenu*>(o); m && m->parentWidget())
            w = m->parentWidget();
        if (w && w->window() != window)
            continue;
        if (auto* a = qobject_cast<QAction*>(o); a && a->parent() != window)
            continue;
        if (auto* a = qobject_cast<QAction*>(o))
            a->setText(text);
        else if (auto* m = qobject_cast<QMenu*>(o))
            m->setTitle(text);
        else if (auto* g = qobject_cast<QGroupBox*>(o))
            g->setTitle(text);
        else if (auto* b = qobject_cast<QAbstractButton*>(o))
            b->setText(text);
        else if (auto* l = qobject_cast<QLabel*>(o))
            l->setText(text);
    }
}

void TForm1::ApplyLanguage()
{
    const int language = m_reporter.language();
    if (language < 0 || language >= LanguageCount)
        return;
    China->setChecked(language == 0);
    fanti->setChecked(language == 1);
    Enlish->setChecked(language == 2);
    // One pass in the order of the table: the main window, the chip editor, the search dialog,
    // the fill dialog.
    for (const Caption& c : captionTable()) {
        const QString control = QString::fromLatin1(c.control);
        const QString text = c.text(language);
        switch (c.window) {
        case CaptionWindow::Main:
            if (control.isEmpty())
                m_caption = text;
            if (control.startsWith(QLatin1String("panel")))
                StatusBar1->setPanelText(control.mid(5).toInt(), text);
            else
                applyCaption(this, control, text);
            break;
        case CaptionWindow::ChipEditor:
            applyCaption(Form2, control, text);
            break;
        case CaptionWindow::ChipSearch:
            applyCaption(Form3, control, text);
            break;
        case CaptionWindow::Fill:
            applyCaption(FillDialog, control, text);
            break;
        }
    }
    showModifiedMark();
    updateMinimumSize();
    // Panel 1 is red only while its text is "Not connected" in the language now in force.
    StatusBar1->update();
}

void TForm1::switchLanguage(int language)
{
    m_reporter.setLanguage(language);
    ApplyLanguage();
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TForm1::FormActivate()
{
    m_activatedOnce = true;
    if (onActivate)
        runGuarded(onActivate);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize()
{
    if (StatusBar1)
        StatusBar1->placeProgress();
}

} // namespace kestrum
