#include "app/QtUserInterface.h"

#include "app/ChooserDialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace kestrum {

QtUserInterface::QtUserInterface(QWidget* parent)
    : m_parent(parent)
{
}

void QtUserInterface::showError(const QString& text)
{
    QMessageBox::critical(m_parent, QStringLiteral("Error"), text, QMessageBox::Ok);
}

bool QtUserInterface::askYesNo(const QString& text)
{
    return QMessageBox::question(
               m_parent, QStringLiteral("Info"), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

int QtUserInterface::askButtons(const QString& text, const QStringList& captions)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Info"), text, QMessageBox::NoButton, m_parent);
    QList<QPushButton*> buttons;
    for (qsizetype i = 0; i < captions.size(); ++i)
        buttons << box.addButton(
            captions[i], i + 1 == captions.size() ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    box.setEscapeButton(buttons.last());
    box.exec();
    const qsizetype chosen = buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return chosen >= 0 ? int(chosen) : int(captions.size()) - 1;
}

std::optional<int> QtUserInterface::chooseRow(const Choice& choice)
{
    ChooserDialog dialog(choice, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenRow();
}

void QtUserInterface::showInformation(const QString& text)
{
    QMessageBox::information(m_parent, QStringLiteral("Information"), text, QMessageBox::Ok);
}

void QtUserInterface::beep()
{
    QApplication::beep();
}

QString QtUserInterface::qtFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The description already names the pattern in most entries; Qt reads the last (...) group.
        QString description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (%1)").arg(pattern);
        else
            description = description.left(description.indexOf(QLatin1Char('('))).trimmed()
                + QStringLiteral(" (%1)").arg(pattern);
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtUserInterface::chooseOpenFile(const QString& filter)
{
    const QString qt = qtFilter(filter);
    QString selected = qt.section(QStringLiteral(";;"), 0, 0);
    return QFileDialog::getOpenFileName(m_parent, QString(), m_startFolder, qt, &selected);
}

QString QtUserInterface::suffixForFilter(const QString& qtFilterEntry, const QString& fallback)
{
    const qsizetype open = qtFilterEntry.lastIndexOf(QLatin1Char('('));
    const QString patterns = qtFilterEntry.mid(open + 1).section(QLatin1Char(')'), 0, 0);
    const QString first = patterns.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    const QString suffix = first.mid(2);
    if (open < 0 || !first.startsWith(QLatin1String("*.")) || suffix.isEmpty() || suffix.contains(QLatin1Char('*'))
        || suffix.contains(QLatin1Char('?')))
        return fallback;
    return suffix;
}

QString QtUserInterface::chooseSaveFile(const QString& filter, const QString& defaultSuffix)
{
    const QString start = m_proposedName.isEmpty() ? m_startFolder : QDir(m_startFolder).filePath(m_proposedName);
    m_proposedName.clear();
    QFileDialog dialog(m_parent, QString(), start);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString qt = qtFilter(filter);
    dialog.setNameFilter(qt);
    // A name typed without an extension gets the one of the kind chosen in the filter list; the
    // list starts at the kind of the default suffix.
    dialog.setDefaultSuffix(defaultSuffix);
    for (const QString& entry : qt.split(QStringLiteral(";;"))) {
        if (suffixForFilter(entry, QString()) == defaultSuffix) {
            dialog.selectNameFilter(entry);
            break;
        }
    }
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, defaultSuffix](const QString& entry) {
        dialog.setDefaultSuffix(suffixForFilter(entry, defaultSuffix));
    });
    // The program asks about overwriting itself, in the user's language.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtUserInterface::insertLogLine(const QString&)
{
    // The main window inserts every line into its log box before it gets here.
}

void QtUserInterface::openLocation(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace kestrum
