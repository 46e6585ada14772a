#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrum {

/// Everything a command shows to the user or asks of the user goes through this one interface:
/// the window implements it with message boxes, file dialogs, the beep and the log box; tests
/// implement it with scripted answers and recorded texts; the command-line tool with stderr.
class UserInterface
{
public:
    virtual ~UserInterface() = default;

    /// Modal box, caption "Error", stop icon, one OK button.
    virtual void showError(const QString& text) = 0;
    /// Modal Yes/No question, caption "Info", question icon. Returns true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
    /// Modal box, caption "Information", information icon, one OK button.
    virtual void showInformation(const QString& text) = 0;
    /// The system's default beep.
    virtual void beep() = 0;
    /// Open-file dialog with a filter in the "Text|*.ext|Text|*.ext" form; empty when cancelled.
    virtual QString chooseOpenFile(const QString& filter) = 0;
    /// Save-file dialog; the default suffix is appended when the user types a name without one.
    virtual QString chooseSaveFile(const QString& filter, const QString& defaultSuffix) = 0;
    /// Inserts a complete, already numbered line at the top of the log.
    virtual void insertLogLine(const QString& line) = 0;
    /// Modal question with a button per caption, the last one the one that cancels; returns the
    /// index of the button chosen. Without a person to ask it is a Yes/No question: Yes takes the
    /// button before the last one, No the last one.
    virtual int askButtons(const QString& text, const QStringList& captions)
    {
        const int last = int(captions.size()) - 1;
        return askYesNo(text) ? last - 1 : last;
    }

    /// Opens a file or a folder in the program the desktop uses for it (the log file, the
    /// backups); nothing without a desktop.
    virtual void openLocation(const QString& path) { (void)path; }

    /// A modal list to choose one row from, all texts in the current language.
    struct Choice
    {
        QString title;
        QString text; ///< above the list
        QStringList columns;
        QList<QStringList> rows; ///< one cell per column
        int preselected = 0;
        QString accept; ///< caption of the button that takes the chosen row
        QString cancel;
    };
    /// The chosen row, or none when cancelled. Without a person to ask (the command line), the
    /// preselected row.
    virtual std::optional<int> chooseRow(const Choice& choice) { return choice.preselected; }
};

} // namespace kestrum
