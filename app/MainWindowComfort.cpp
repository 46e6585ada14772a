// The main window's everyday conveniences: keyboard shortcuts, the remembered folder, the language
// of a first start, and the question before unsaved buffer changes are dropped.

#include "app/BufferInfoBox.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"
#include "app/QtUserInterface.h"
#include "app/StatusBar.h"
#include "hexview/HexEditor.h"
#include "ops/ChipOperations.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QToolBar>

#include <algorithm>

namespace kestrum {

namespace {

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

int languageForLocale(const QString& localeName)
{
    const QString name = localeName.section(QLatin1Char('.'), 0, 0).replace(QLatin1Char('-'), QLatin1Char('_'));
    if (name == QLatin1String("zh_CN") || name == QLatin1String("zh_SG"))
        return 0;
    if (name == QLatin1String("zh_TW") || name == QLatin1String("zh_HK") || name == QLatin1String("zh_MO"))
        return 1;
    return 2;
}

void TForm1::tearDownComfort()
{
    // The hex view outlives this class's members while the widget tears its children down.
    disconnect(&FlashEditor->editor(), nullptr, this, nullptr);
}

void TForm1::setUpComfort()
{
    // Menu items carry the keys so that the menus show them; the hex editor keeps Ctrl+Z, Y, X, C,
    // V, A and the navigation keys, and no key closes the window but Ctrl+Q.
    const std::pair<QAction*, QKeySequence> keys[] = {
        {O2, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {S1, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {Q1, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {N5, QKeySequence(Qt::Key_F1)},
        {A1, QKeySequence(Qt::Key_F4)},
        {R1, QKeySequence(Qt::Key_F5)},
        {E1, QKeySequence(Qt::Key_F6)},
        {W1, QKeySequence(Qt::Key_F7)},
        {V1, QKeySequence(Qt::Key_F8)},
        {N7, QKeySequence(Qt::Key_F9)},
    };
    for (const auto& [item, key] : keys)
        item->setShortcut(key);

    // File > Buffer information, after Save; it reads the buffer, so it waits for a chip job.
    BufferInfo = new QAction(QStringLiteral("Buffer information(&I)"), this);
    BufferInfo->setObjectName(QStringLiteral("BufferInfo"));
    O1->insertAction(O1->actions().value(O1->actions().indexOf(S1) + 1, Q1), BufferInfo);
    connect(BufferInfo, &QAction::triggered, this, [this] { runCommand([this] { BufferInfoClick(); }); });
    // A button's caption would replace a shortcut of its own; the key lives beside it. A locked
    // (disabled) button ignores the click.
    auto* test = new QShortcut(QKeySequence(Qt::Key_F2), this);
    test->setObjectName(QStringLiteral("TestKey"));
    connect(test, &QShortcut::activated, BitBtn1, &QPushButton::click);

    // The size list only shows the chosen chip's size: no focus, no clicks, no drop-down arrow.
    ComboBox5->setFocusPolicy(Qt::NoFocus);
    ComboBox5->setAttribute(Qt::WA_TransparentForMouseEvents);
    ComboBox5->installEventFilter(new InputBlocker(ComboBox5));
    ComboBox5->setStyleSheet(QStringLiteral("QComboBox::drop-down { width: 0px; border: none; }"));

    connect(&FlashEditor->editor(), &HexEditor::invalidated, this, [this] { showModifiedMark(); });

    // A first start opens at the design size, which shows a whole row of the hex view with its
    // characters; a size stored by an earlier close is used as it is.
    if (!m_settings.formMax
        && m_ini.readString(QStringLiteral("Environment"), QStringLiteral("FormWidth"), QString()).isEmpty())
        resize(clampWindowSize(QSize(881, 518), screen()->availableSize()));
    updateMinimumSize();

    // Without a stored language a first start speaks the language of the system.
    if (!m_settings.languageStored) {
        m_settings.language = languageForLocale(QLocale().name());
        m_reporter.setLanguage(m_settings.language);
    }
}

void TForm1::rememberSelection()
{
    setSelectionIndices(
        m_selection.types().selected(), m_selection.makers().selected(), m_selection.names().selected());
}

void TForm1::updateMinimumSize()
{
    // Every tool button, the whole left column and the status bar's fixed panels stay usable; the
    // hex view keeps a few columns. Captions differ by language, so this follows the switch.
    const int hexViewMinimum = 240;
    // The fixed panels, some progress bar and, beside it during a job, the rate and time left.
    const int statusPanels = 317 + 80 + StatusBar1->rateRoom();
    const int toolBars = ToolBar1->sizeHint().width() + ToolBarStop->sizeHint().width();
    const int width = std::max({toolBars, Panel2->width() + hexViewMinimum, statusPanels});
    const int height = menuBar()->sizeHint().height() + ToolBar1->height() + Panel2->minimumSizeHint().height()
        + StatusBar1->sizeHint().height();
    setMinimumSize(width, height);
}

bool TForm1::hasUnsavedChanges() const
{
    return m_buffer.modified || FlashEditor->GetModified();
}

bool TForm1::confirmDiscard()
{
    return !hasUnsavedChanges() || m_reporter.ui().askYesNo(m_reporter.MessageText(MsgDiscardChanges));
}

void TForm1::showModifiedMark()
{
    const QString title = hasUnsavedChanges() ? QLatin1Char('*') + m_caption : m_caption;
    if (windowTitle() != title)
        setWindowTitle(title);
}

bool TForm1::ranToItsEnd(const std::function<void()>& command)
{
    // A command refused by the busy guard would leave the outcome of the one before.
    if (m_operations->holdsProgrammer())
        return false;
    command();
    return m_operations->lastOutcome() == CommandOutcome::Done;
}

void TForm1::prepareFileDialog(UserInterface& ui) const
{
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui))
        qt->setStartFolder(m_settings.lastFolder);
}

QString TForm1::rememberFolder(const QString& chosen)
{
    if (!chosen.isEmpty())
        m_settings.lastFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}

void TForm1::ToolReadClick()
{
    // A read refused by a running job asks nothing; one that ran to its end matches the chip.
    if (!m_operations->isBusy() && !confirmDiscard())
        return;
    if (ranToItsEnd([this] { m_operations->read(); }))
        m_buffer.markSaved();
}

void TForm1::ToolWriteClick()
{
    if (ranToItsEnd([this] { m_operations->write(); }))
        m_buffer.markSaved();
}

void TForm1::ToolAutoClick()
{
    // A run that programmed and verified the chip leaves nothing unwritten.
    const bool programs = CheckBox2->isChecked() && CheckBox3->isChecked();
    if (ranToItsEnd([this] { m_operations->autoRun(); }) && programs)
        m_buffer.markSaved();
}

void TForm1::ToolOpenClick()
{
    if (confirmDiscard())
        m_files->open(chipSize());
}

void TForm1::BufferInfoClick()
{
    TakeViewEdits();
    BufferInfoBox box(m_reporter, bufferInformationText(m_reporter, m_buffer, chipSize()), this);
    box.exec();
}

void TForm1::TakeViewEdits()
{
    if (FlashEditor->GetModified())
        m_buffer.markModified();
    m_handOver->TakeViewEdits(chipSize());
}

} // namespace kestrum
