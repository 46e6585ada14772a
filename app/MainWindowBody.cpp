// The main window's controls: the tool bars, the menu, the chip column (chip group, chip
// settings, auto options) and the data column (hex view and log).

#include "app/FindBar.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"
#include "app/RegionsView.h"
#include "ops/ChipOperations.h"
#include "hexview/HexEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

namespace kestrum {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QComboBox* makeCombo(QWidget* parent, const char* name)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setMaxVisibleItems(20);
    return combo;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

QToolBar* MainWindow::addFixedToolBar(const QString& name)
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

void MainWindow::addToolButton(QToolBar* bar, QAction* action, const QString& buttonName)
{
    bar->addAction(action);
    if (QWidget* w = bar->widgetForAction(action)) {
        w->setObjectName(buttonName);
        w->setMinimumSize(39, 52);
    }
}

void MainWindow::buildToolBars()
{
    commandBar = addFixedToolBar(QStringLiteral("commandBar"));
    auto add = [this](QAction* a) {
        addToolButton(commandBar, a, a->objectName().replace(QLatin1String("Action"), QLatin1String("Button")));
    };
    add(openAction);
    add(saveAction);
    commandBar->addSeparator();
    for (QAction* a : {readAction, eraseAction, writeAction, verifyAction, autoAction})
        add(a);
    add(compareAction);
    commandBar->addSeparator();
    add(blankCheckAction);
    add(fillAction);
    commandBar->addSeparator();
    add(deviceAction);
    add(aboutAction);

    // The command bar is disabled while a job runs; Stop lives beside it in a bar of its own, which
    // cannot be hidden, and is enabled exactly then.
    stopBar = addFixedToolBar(QStringLiteral("stopBar"));
    addToolButton(stopBar, stopAction, QStringLiteral("stopButton"));
    stopBar->toggleViewAction()->setVisible(false);
}

void MainWindow::buildMenu()
{
    QMenuBar* bar = menuBar();
    auto menu = [bar](QMenu*& m, const char* name) {
        m = bar->addMenu(captionText(CaptionWindow::Main, name, 2));
        m->setObjectName(QString::fromLatin1(name));
    };
    menu(fileMenu, "fileMenu");
    fileMenu->addAction(openAction);
    fileMenu->addAction(saveAction);
    fileMenu->addAction(bufferInfoAction);
    fileMenu->addAction(compareFileAction);
    fileMenu->addAction(backupsAction);
    fileMenu->addSeparator();
    fileMenu->addAction(quitAction);
    menu(bufferMenu, "bufferMenu");
    bufferMenu->addAction(fillAction);
    menu(editMenu, "editMenu");
    for (QAction* a : {undoAction, redoAction})
        editMenu->addAction(a);
    editMenu->addSeparator();
    for (QAction* a : {cutAction, copyAction, pasteAction, selectAllAction})
        editMenu->addAction(a);
    editMenu->addSeparator();
    editMenu->addAction(copyAsHexAction);
    editMenu->addAction(pasteHexAction);
    editMenu->addSeparator();
    editMenu->addAction(insertModeAction);
    editMenu->addSeparator();
    for (QAction* a : {findAction, replaceAction, findNextAction, findPreviousAction})
        editMenu->addAction(a);
    editMenu->addSeparator();
    for (QAction* a : {goToAction, selectRangeAction, bookmarksAction})
        editMenu->addAction(a);
    connect(editMenu, &QMenu::aboutToShow, this, [this] { updateEditActions(); });
    menu(operationMenu, "operationMenu");
    operationMenu->addAction(autoAction);
    operationMenu->addAction(gangAction);
    operationMenu->addSeparator();
    for (QAction* a : {eraseAction, writeAction, readAction, verifyAction, blankCheckAction, compareAction})
        operationMenu->addAction(a);
    operationMenu->addSeparator();
    operationMenu->addAction(readTwiceAction);
    operationMenu->addAction(backUpAction);
    bar->addAction(deviceAction);
    menu(languageMenu, "languageMenu");
    for (QAction* a : {simplifiedChineseAction, traditionalChineseAction, englishAction})
        languageMenu->addAction(a);
    menu(helpMenu, "helpMenu");
    helpMenu->addAction(logFileAction);
    helpMenu->addAction(aboutAction);
}

void MainWindow::buildBody()
{
    mainPanel = new QWidget(this);
    mainPanel->setObjectName(QStringLiteral("mainPanel"));
    setCentralWidget(mainPanel);
    auto* body = new QHBoxLayout(mainPanel);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);

    // Left column: chip group, chip settings, auto options.
    chipColumn = new QWidget(mainPanel);
    chipColumn->setObjectName(QStringLiteral("chipColumn"));
    chipColumn->setFixedWidth(185);
    auto* left = new QVBoxLayout(chipColumn);
    // The group boxes draw their frames and titles clear of the column's edges.
    left->setContentsMargins(3, 2, 3, 2);
    left->setSpacing(2);
    left->addWidget(buildChipGroup(chipColumn));
    left->addWidget(buildChipSettings(chipColumn));
    left->addWidget(buildAutoOptions(chipColumn), 1);
    body->addWidget(chipColumn);
    body->addWidget(buildDataColumn(mainPanel), 1);
}

QWidget* MainWindow::buildChipGroup(QWidget* parent)
{
    chipGroup = new QGroupBox(QStringLiteral("Chip"), parent);
    chipGroup->setObjectName(QStringLiteral("chipGroup"));
    chipGroup->setFixedHeight(184);
    auto* grid = new QGridLayout(chipGroup);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(3);
    typeLabel = makeLabel(chipGroup, "typeLabel", QStringLiteral("Type"));
    typeCombo = makeCombo(chipGroup, "typeCombo");
    manufacturerLabel = makeLabel(chipGroup, "manufacturerLabel", QStringLiteral("Manufacturer"));
    manufacturerCombo = makeCombo(chipGroup, "manufacturerCombo");
    nameLabel = makeLabel(chipGroup, "nameLabel", QStringLiteral("Name"));
    nameCombo = makeCombo(chipGroup, "nameCombo");
    detectButton = makeButton(chipGroup, "detectButton", QStringLiteral("Test"));
    findButton = makeButton(chipGroup, "findButton", QStringLiteral("Find"));
    int row = 0;
    for (QWidget* w : {static_cast<QWidget*>(typeLabel), static_cast<QWidget*>(typeCombo),
             static_cast<QWidget*>(manufacturerLabel), static_cast<QWidget*>(manufacturerCombo),
             static_cast<QWidget*>(nameLabel), static_cast<QWidget*>(nameCombo)})
        grid->addWidget(w, row++, 0, 1, 2);
    grid->addWidget(detectButton, row, 0);
    grid->addWidget(findButton, row, 1);

    connect(typeCombo, &QComboBox::activated, this, [this] { runGuarded([this] { typeChanged(); }); });
    connect(manufacturerCombo, &QComboBox::activated, this, [this] { runGuarded([this] { manufacturerChanged(); }); });
    connect(nameCombo, &QComboBox::activated, this, [this] { runGuarded([this] { nameChanged(); }); });
    // A locked (disabled) button ignores the click.
    connect(detectButton, &QPushButton::clicked, detectAction, &QAction::trigger);
    connect(findButton, &QPushButton::clicked, this, [this] { runCommand([this] { findChip(); }); });
    return chipGroup;
}

QWidget* MainWindow::buildChipSettings(QWidget* parent)
{
    chipSettingsPanel = new QWidget(parent);
    chipSettingsPanel->setObjectName(QStringLiteral("chipSettingsPanel"));
    chipSettingsPanel->setFixedHeight(104);
    auto* grid = new QGridLayout(chipSettingsPanel);
    grid->setContentsMargins(6, 4, 6, 4);
    sizeLabel = makeLabel(chipSettingsPanel, "sizeLabel", QStringLiteral("Size"));
    pageSizeLabel = makeLabel(chipSettingsPanel, "pageSizeLabel", QStringLiteral("Pagesize"));
    speedLabel = makeLabel(chipSettingsPanel, "speedLabel", QStringLiteral("Speed"));
    capacityEdit = new QLineEdit(chipSettingsPanel);
    capacityEdit->setObjectName(QStringLiteral("capacityEdit"));
    capacityEdit->setReadOnly(true);
    sizeCombo = makeCombo(chipSettingsPanel, "sizeCombo");
    sizeCombo->addItems(sizeListItems());
    sizeCombo->setCurrentIndex(-1);
    pageSizeEdit = new QLineEdit(chipSettingsPanel);
    pageSizeEdit->setObjectName(QStringLiteral("pageSizeEdit"));
    pageSizeEdit->setReadOnly(true);
    speedCombo = makeCombo(chipSettingsPanel, "speedCombo");
    speedCombo->addItems(speedListItems());
    speedCombo->setCurrentIndex(0);
    grid->addWidget(sizeLabel, 0, 0);
    // The size list lies exactly over the capacity field, in front of it.
    grid->addWidget(capacityEdit, 0, 1);
    grid->addWidget(sizeCombo, 0, 1);
    sizeCombo->raise();
    grid->addWidget(pageSizeLabel, 1, 0);
    grid->addWidget(pageSizeEdit, 1, 1);
    grid->addWidget(speedLabel, 2, 0);
    grid->addWidget(speedCombo, 2, 1);
    // Several programmers attached: which one the window uses.
    programmerLabel = makeLabel(chipSettingsPanel, "programmerLabel", QStringLiteral("Programmer"));
    programmerCombo = makeCombo(chipSettingsPanel, "programmerCombo");
    grid->addWidget(programmerLabel, 3, 0);
    grid->addWidget(programmerCombo, 3, 1);
    programmerLabel->hide();
    programmerCombo->hide();
    connect(programmerCombo, &QComboBox::activated, this,
        [this](int index) { runCommand([this, index] { chooseProgrammer(index); }); });
    return chipSettingsPanel;
}

QWidget* MainWindow::buildAutoOptions(QWidget* parent)
{
    autoOptionsGroup = new QGroupBox(QStringLiteral("Auto Options"), parent);
    autoOptionsGroup->setObjectName(QStringLiteral("autoOptionsGroup"));
    auto* grid = new QGridLayout(autoOptionsGroup);
    grid->setContentsMargins(6, 4, 6, 4);
    auto check = [this](const char* name, const QString& text) {
        auto* c = new QCheckBox(text, autoOptionsGroup);
        c->setObjectName(QString::fromLatin1(name));
        c->setChecked(true);
        return c;
    };
    autoEraseCheck = check("autoEraseCheck", QStringLiteral("Erase"));
    autoProgramCheck = check("autoProgramCheck", QStringLiteral("Program"));
    autoVerifyCheck = check("autoVerifyCheck", QStringLiteral("Verify"));
    autoButton = makeButton(autoOptionsGroup, "autoButton", QStringLiteral("AUTO"));
    autoButton->setIcon(QIcon(QStringLiteral(":/icons/auto.svg")));
    autoButton->setIconSize(QSize(24, 24));
    autoButton->setMinimumHeight(48);
    grid->addWidget(autoEraseCheck, 0, 0);
    grid->addWidget(autoProgramCheck, 1, 0);
    grid->addWidget(autoVerifyCheck, 2, 0);
    grid->addWidget(autoButton, 0, 1, 3, 1);
    grid->setRowStretch(3, 1);
    connect(autoButton, &QPushButton::clicked, autoAction, &QAction::trigger);
    return autoOptionsGroup;
}

QWidget* MainWindow::buildDataColumn(QWidget* parent)
{
    // The hex view filling the space, the log at the bottom.
    dataColumn = new QWidget(parent);
    dataColumn->setObjectName(QStringLiteral("dataColumn"));
    auto* column = new QVBoxLayout(dataColumn);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    hexView = new FlashEditorHost(dataColumn);
    regionsView = new RegionsView(this, hexView->editor(), m_buffer, m_reporter,
        [this](const std::function<void()>& command) { return m_operations->runExclusive(command); });
    column->addWidget(regionsView->around(hexView), 1);
    fileMenu->insertAction(bufferInfoAction, regionsView->loadLayoutAction());
    // The Edit items are the hex view's context menu too; their keys work while it has the focus,
    // so the log and the lists keep their own Ctrl+C and Ctrl+A.
    for (QAction* a : {undoAction, redoAction, cutAction, copyAction, pasteAction, selectAllAction, copyAsHexAction,
             pasteHexAction, insertModeAction}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        hexView->addAction(a);
    }
    hexView->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(&hexView->editor(), &HexEditor::changed, this, [this] { updateEditActions(); });
    connect(&hexView->editor(), &HexEditor::selectionChanged, this, [this] { updateEditActions(); });
    findBar = new FindBar(dataColumn, hexView->editor(), m_reporter);
    column->addWidget(findBar);
    logView = new QTextEdit(dataColumn);
    logView->setObjectName(QStringLiteral("logView"));
    logView->setReadOnly(true);
    logView->setFixedHeight(91);
    logView->setLineWrapMode(QTextEdit::NoWrap);
    column->addWidget(logView);
    return dataColumn;
}

} // namespace kestrum
