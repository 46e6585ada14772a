#include "app/FindBar.h"

#include "app/Captions.h"
#include "app/EntryHistory.h"
#include "base/Messages.h"
#include "base/Reporter.h"
#include "hexview/EditorSearch.h"
#include "hexview/HexEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace kestrum {

namespace {

/// Selections up to this length become the find entry when the bar opens.
constexpr qint64 LongestTakenSelection = 64;

template<typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>)
        widget->setText(captionText(CaptionWindow::Main, name, 2));
    return widget;
}

QComboBox* entryCombo(QWidget* parent, const char* name)
{
    QComboBox* combo = historyCombo(parent, name, 16);
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return combo;
}

/// Search texts are kept as typed: their blanks count.
void remember(QComboBox* combo)
{
    rememberEntry(combo, combo->currentText());
}

} // namespace

FindBar::FindBar(QWidget* parent, HexEditor& editor, const Reporter& reporter)
    : QWidget(parent)
    , m_editor(editor)
    , m_reporter(reporter)
{
    setObjectName(QStringLiteral("findBar"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);
    m_find = entryCombo(this, "findCombo");
    m_hex = named(new QRadioButton(this), "hexRadio");
    m_utf8 = named(new QRadioButton(this), "utf8Radio");
    auto* codePage = named(new QRadioButton(this), "codePageRadio");
    m_hex->setChecked(true);
    m_matchCase = named(new QCheckBox(this), "matchCaseCheck");
    m_matchCase->setEnabled(false);
    connect(m_hex, &QRadioButton::toggled, m_matchCase, [this](bool hex) { m_matchCase->setEnabled(!hex); });
    auto* previous = named(new QPushButton(this), "findPreviousButton");
    auto* next = named(new QPushButton(this), "findNextButton");
    auto* count = named(new QPushButton(this), "countButton");
    auto* close = new QPushButton(QStringLiteral("\u00D7"), this);
    close->setObjectName(QStringLiteral("closeFindButton"));
    close->setFlat(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("findStatusLabel"));
    // Three rows: the entry with its buttons, the kind of entry with what the last action said,
    // and the replacement with its buttons under the find buttons.
    const auto row = [](std::initializer_list<QWidget*> widgets) {
        auto* layout = new QHBoxLayout;
        for (QWidget* w : widgets) {
            // Captions keep the size of their text; the entries take what is left.
            w->setSizePolicy(QSizePolicy::Fixed, w->sizePolicy().verticalPolicy());
            layout->addWidget(w);
        }
        return layout;
    };
    QHBoxLayout* findButtons = row({previous, next, count});
    findButtons->addStretch(1);
    findButtons->addWidget(close);
    QHBoxLayout* kinds = row({m_hex, m_utf8, codePage, m_matchCase});
    kinds->addWidget(m_status, 1);
    grid->addWidget(named(new QLabel(this), "findTextLabel"), 0, 0);
    grid->addWidget(m_find, 0, 1);
    grid->addLayout(findButtons, 0, 2);
    grid->addLayout(kinds, 1, 1, 1, 2);

    m_replaceLabel = named(new QLabel(this), "replaceTextLabel");
    m_replace = entryCombo(this, "replaceCombo");
    m_replaceRow = new QWidget(this);
    m_replaceRow->setObjectName(QStringLiteral("replaceRow"));
    auto* replace = named(new QPushButton(m_replaceRow), "replaceButton");
    auto* replaceAll = named(new QPushButton(m_replaceRow), "replaceAllButton");
    QHBoxLayout* replaceButtons = row({replace, replaceAll});
    replaceButtons->setContentsMargins(0, 0, 0, 0);
    replaceButtons->addStretch(1);
    m_replaceRow->setLayout(replaceButtons);
    grid->addWidget(m_replaceLabel, 2, 0);
    grid->addWidget(m_replace, 2, 1);
    grid->addWidget(m_replaceRow, 2, 2);
    grid->setColumnStretch(1, 1);

    for (QPushButton* b : {previous, next, count, close, replace, replaceAll})
        b->setAutoDefault(false);
    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(count, &QPushButton::clicked, this, &FindBar::countMatches);
    connect(replace, &QPushButton::clicked, this, &FindBar::replaceOne);
    connect(replaceAll, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(close, &QPushButton::clicked, this, &FindBar::closeBar);
    // Enter finds the next match, Shift+Enter the previous one; Enter in the replacement replaces.
    connect(m_find->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        find(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
    });
    connect(m_replace->lineEdit(), &QLineEdit::returnPressed, this, &FindBar::replaceOne);
    hide();
}

void FindBar::start(bool replacing)
{
    if (m_editor.hasSelection() && m_editor.selCount() <= LongestTakenSelection) {
        QByteArray bytes(m_editor.selCount(), Qt::Uninitialized);
        m_editor.readBuffer(bytes.data(), m_editor.selectionLow(), bytes.size());
        const bool printable = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
        if (!printable)
            m_hex->setChecked(true);
        m_find->setEditText(m_hex->isChecked() ? QString::fromLatin1(bytes.toHex(' ').toUpper()) : QString::fromLatin1(bytes));
    }
    for (QWidget* w : std::initializer_list<QWidget*> {m_replaceLabel, m_replace, m_replaceRow})
        w->setVisible(replacing);
    show();
    m_find->setFocus();
    m_find->lineEdit()->selectAll();
}

void FindBar::findNext()
{
    find(false);
}

void FindBar::findPrevious()
{
    find(true);
}

QString FindBar::statusText() const
{
    return m_status->text();
}

void FindBar::say(const QString& text)
{
    m_status->setText(text);
}

void FindBar::tell(const FindResult& result)
{
    say(result.position < 0 ? m_reporter.message(MsgFindNotFound)
                            : result.wrapped ? m_reporter.message(MsgFindWrapped) : QString());
}

SearchPattern FindBar::pattern()
{
    const QString text = m_find->currentText();
    if (m_hex->isChecked()) {
        SearchPattern p = SearchPattern::ofHex(text);
        if (p.isEmpty())
            say(m_reporter.message(MsgFindBadHex));
        return p;
    }
    if (text.isEmpty())
        return {};
    if (m_utf8->isChecked())
        return SearchPattern::ofUtf8(text, m_matchCase->isChecked());
    SearchPattern p = SearchPattern::ofCodePage(text, m_matchCase->isChecked(), m_editor.translation());
    if (p.isEmpty())
        say(m_reporter.message(MsgFindNoCodePage));
    return p;
}

bool FindBar::replacement(QByteArray& bytes)
{
    const QString text = m_replace->currentText();
    if (m_hex->isChecked()) {
        // An empty replacement removes what is found (in insert mode).
        const std::optional<QByteArray> hex = SearchPattern::bytesOfHexText(text);
        if (!hex && !text.trimmed().isEmpty()) {
            say(m_reporter.message(MsgFindBadHex));
            return false;
        }
        bytes = hex.value_or(QByteArray());
        return true;
    }
    if (m_utf8->isChecked()) {
        bytes = text.toUtf8();
        return true;
    }
    const SearchPattern exact = SearchPattern::ofCodePage(text, true, m_editor.translation());
    if (exact.isEmpty() && !text.isEmpty()) {
        say(m_reporter.message(MsgFindNoCodePage));
        return false;
    }
    bytes = exact.bytes();
    return true;
}

void FindBar::find(bool backwards)
{
    if (isHidden())
        start(false);
    const SearchPattern p = pattern();
    if (p.isEmpty())
        return;
    remember(m_find);
    tell(findInEditor(m_editor, p, backwards));
}

void FindBar::countMatches()
{
    const SearchPattern p = pattern();
    if (p.isEmpty())
        return;
    remember(m_find);
    say(m_reporter.message(MsgFindCount).arg(p.count(m_editor.dataStorage().memory(), m_editor.dataSize())));
}

bool FindBar::replacing(SearchPattern& p, QByteArray& bytes)
{
    p = pattern();
    if (p.isEmpty() || !replacement(bytes))
        return false;
    switch (replacementRefusal(m_editor, p, bytes)) {
    case ReplaceRefusal::ReadOnly:
        say(m_reporter.message(MsgReplaceReadOnly));
        return false;
    case ReplaceRefusal::SizeChange:
        say(m_reporter.message(MsgReplaceSizeRefused).arg(p.size()).arg(bytes.size()));
        return false;
    case ReplaceRefusal::None:
        break;
    }
    remember(m_find);
    remember(m_replace);
    return true;
}

void FindBar::replaceOne()
{
    SearchPattern p;
    QByteArray bytes;
    if (!replacing(p, bytes))
        return;
    tell(replaceInEditor(m_editor, p, bytes, m_reporter.message(MsgReplacedCount).arg(1)));
}

void FindBar::replaceAll()
{
    SearchPattern p;
    QByteArray bytes;
    if (!replacing(p, bytes))
        return;
    const QString replaced = m_reporter.message(MsgReplacedCount);
    const qint64 count = replaceAllInEditor(m_editor, p, bytes, replaced);
    say(count == 0 ? m_reporter.message(MsgFindNotFound) : replaced.arg(count));
}

void FindBar::closeBar()
{
    hide();
    if (QWidget* view = parentWidget() ? parentWidget()->findChild<QWidget*>(QStringLiteral("hexView")) : nullptr)
        view->setFocus();
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        closeBar();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kestrum
