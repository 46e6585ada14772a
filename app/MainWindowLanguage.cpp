// The main window's language: the captions of every window in the language in force and the
// language items' check marks.

#include "app/CompareDialog.h"
#include "app/MainWindow.h"
#include "app/RegionsView.h"

#include "app/Captions.h"
#include "app/ChipEditorDialog.h"
#include "app/ChipSearchDialog.h"
#include "app/AddressDialogs.h"
#include "app/BookmarksDialog.h"
#include "app/FillDialog.h"
#include "app/StatusBar.h"
#include "base/Messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QTranslator>

namespace kestrum {

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

void MainWindow::applyLanguage()
{
    const int language = m_reporter.language();
    if (language < 0 || language >= LanguageCount)
        return;
    showLanguageChecks();
    applyQtLanguage(language);
    regionsView->retranslate();
    // One pass in the order of the table: the main window, its tool bar, the chip editor, the
    // search dialog, the fill dialog.
    for (const Caption& c : captionTable()) {
        const QString control = QString::fromLatin1(c.control);
        const QString text = c.text(language);
        switch (c.window) {
        case CaptionWindow::Main:
            if (control.isEmpty())
                m_caption = text;
            if (control.startsWith(QLatin1String("panel")))
                m_statusBar->setPanelText(control.mid(5).toInt(), text);
            else
                applyCaption(this, control, text);
            break;
        case CaptionWindow::ToolBar:
            // The tool button shows the caption, and its tip says the same.
            if (auto* a = findChild<QAction*>(control, Qt::FindDirectChildrenOnly)) {
                a->setIconText(text);
                a->setToolTip(text);
            }
            break;
        case CaptionWindow::ChipEditor:
            applyCaption(chipEditor, control, text);
            break;
        case CaptionWindow::ChipSearch:
            applyCaption(chipSearch, control, text);
            break;
        case CaptionWindow::Fill:
            applyCaption(fillDialog, control, text);
            break;
        case CaptionWindow::GoTo:
            applyCaption(goToDialog, control, text);
            break;
        case CaptionWindow::SelectRange:
            applyCaption(selectRangeDialog, control, text);
            break;
        case CaptionWindow::BookmarkList:
            applyCaption(bookmarksDialog, control, text);
            break;
        }
    }
    // Panel 1 says what it said in the language now in force, and so keeps its colour.
    const QString state = m_statusBar->panelText(1);
    for (const MessageKey key :
        {MsgReady, MsgNotConnected, MsgErasing, MsgReading, MsgBlankChecking, MsgVerifying, MsgWriting}) {
        for (int other = 0; other < LanguageCount; ++other) {
            if (state == messageText(key, other))
                m_statusBar->setPanelText(1, messageText(key, language));
        }
    }
    if (compareDialog)
        compareDialog->applyLanguage();
    showModifiedMark();
    fitToFont();
    // Panel 1 is red only while its text is "Not connected" in the language now in force.
    m_statusBar->update();
}

void MainWindow::applyQtLanguage(int language)
{
    if (m_qtTexts)
        QCoreApplication::removeTranslator(m_qtTexts.get());
    m_qtTexts.reset();
    if (language == EnglishLanguage)
        return;
    auto texts = std::make_unique<QTranslator>();
    const QString name = language == 1 ? QStringLiteral("qtbase_zh_TW") : QStringLiteral("qtbase_zh_CN");
    if (texts->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(texts.get()))
        m_qtTexts = std::move(texts);
}

void MainWindow::showLanguageChecks()
{
    const int language = m_reporter.language();
    simplifiedChineseAction->setChecked(language == 0);
    traditionalChineseAction->setChecked(language == 1);
    englishAction->setChecked(language == 2);
}

void MainWindow::switchLanguage(int language)
{
    m_reporter.setLanguage(language);
    applyLanguage();
}

} // namespace kestrum
