#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

namespace kestrum::test {

void ScriptedUserInterface::showError(const QString& text)
{
    errors << text;
    boxes << QStringLiteral("E:") + text;
}

bool ScriptedUserInterface::askYesNo(const QString& text)
{
    questions << text;
    boxes << QStringLiteral("Q:") + text;
    if (answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << text.toStdString();
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

int ScriptedUserInterface::askButtons(const QString& text, const QStringList& captions)
{
    buttonCaptions.push_back(captions);
    if (buttonAnswers.empty())
        return UserInterface::askButtons(text, captions);
    questions << text;
    boxes << QStringLiteral("Q:") + text;
    const int answer = buttonAnswers.front();
    buttonAnswers.pop_front();
    return answer;
}

std::optional<int> ScriptedUserInterface::chooseRow(const Choice& choice)
{
    choices.push_back(choice);
    boxes << QStringLiteral("C:") + choice.text;
    if (rowChoices.empty()) {
        ADD_FAILURE() << "unscripted choice: " << choice.text.toStdString();
        return std::nullopt;
    }
    const std::optional<int> row = rowChoices.front();
    rowChoices.pop_front();
    return row;
}

void ScriptedUserInterface::showInformation(const QString& text)
{
    informations << text;
    boxes << QStringLiteral("I:") + text;
}

void ScriptedUserInterface::beep()
{
    ++beeps;
}

QString ScriptedUserInterface::chooseOpenFile(const QString& filter)
{
    openFilters << filter;
    if (openFiles.empty())
        return {};
    QString f = openFiles.front();
    openFiles.pop_front();
    return f;
}

QString ScriptedUserInterface::chooseSaveFile(const QString& filter, const QString& defaultSuffix)
{
    saveFilters << filter;
    saveSuffixes << defaultSuffix;
    if (saveFiles.empty())
        return {};
    QString f = saveFiles.front();
    saveFiles.pop_front();
    return f;
}

void ScriptedUserInterface::insertLogLine(const QString& line)
{
    log.prepend(line);
}

void ScriptedUserInterface::clearRecords()
{
    errors.clear();
    questions.clear();
    informations.clear();
    log.clear();
    boxes.clear();
    openFilters.clear();
    saveFilters.clear();
    saveSuffixes.clear();
    choices.clear();
    buttonCaptions.clear();
    beeps = 0;
}

} // namespace kestrum::test
