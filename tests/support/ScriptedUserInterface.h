#pragma once

#include "base/UserInterface.h"
#include "tests/support/QtPrinters.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

namespace kestrum::test {

/// A user interface for headless tests: records every box, beep and log line, and answers
/// questions and file dialogs from scripts. An unscripted question fails the test.
class ScriptedUserInterface : public UserInterface
{
public:
    void showError(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void showInformation(const QString& text) override;
    void beep() override;
    QString chooseOpenFile(const QString& filter) override;
    QString chooseSaveFile(const QString& filter, const QString& defaultSuffix) override;
    void insertLogLine(const QString& line) override;
    std::optional<int> chooseRow(const Choice& choice) override;
    int askButtons(const QString& text, const QStringList& captions) override;

    // Scripts.
    std::deque<bool> answers; ///< answers to askYesNo, in order
    std::deque<QString> openFiles; ///< results of chooseOpenFile (empty = cancel)
    std::deque<QString> saveFiles; ///< results of chooseSaveFile (empty = cancel)
    std::deque<std::optional<int>> rowChoices; ///< results of chooseRow (none = cancel)
    /// results of askButtons; when none is left, answers counts as for a Yes/No question
    std::deque<int> buttonAnswers;
    std::vector<QStringList> buttonCaptions; ///< the captions of every askButtons

    // Records.
    QStringList errors;
    QStringList questions;
    QStringList informations;
    QStringList log; ///< newest first, as the log box shows it
    QStringList openFilters;
    QStringList saveFilters;
    QStringList saveSuffixes;
    int beeps = 0;
    std::vector<Choice> choices; ///< every list offered by chooseRow

    /// Everything shown in a box, in order, tagged "E:", "Q:" or "I:".
    QStringList boxes;

    void clearRecords();
};

} // namespace kestrum::test
