#include "app/QtUserInterface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

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
    return QFileDialog::getOpenFileName(m_parent, QString(), QString(), qt, &selected);
}

QString QtUserInterface::chooseSaveFile(const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
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

} // namespace kestrum
