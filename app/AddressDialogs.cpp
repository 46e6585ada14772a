#include "app/AddressDialogs.h"

#include "app/Captions.h"
#include "app/EntryHistory.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kestrum {

namespace {

/// Addresses are kept without the blanks around them.
void remember(QComboBox* combo)
{
    rememberEntry(combo, combo->currentText().trimmed());
}

QLabel* label(QWidget* parent, const char* name, CaptionWindow window)
{
    auto* l = new QLabel(captionText(window, name, 2), parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QDialogButtonBox* buttons(QDialog* dialog, CaptionWindow window)
{
    auto* box = new QDialogButtonBox(dialog);
    QPushButton* ok = box->addButton(captionText(window, "okButton", 2), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(captionText(window, "cancelButton", 2), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

void focusEntry(QComboBox* combo)
{
    combo->setFocus();
    combo->lineEdit()->selectAll();
}

} // namespace

GoToDialog::GoToDialog(QWidget* parent, std::function<bool(const QString&)> apply)
    : QDialog(parent)
    , m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("goToDialog"));
    setWindowTitle(captionText(CaptionWindow::GoTo, "", 2));
    auto* grid = new QGridLayout(this);
    m_address = historyCombo(this, "addressCombo", 18);
    grid->addWidget(label(this, "addressLabel", CaptionWindow::GoTo), 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(label(this, "addressHintLabel", CaptionWindow::GoTo), 1, 0, 1, 2);
    grid->addWidget(buttons(this, CaptionWindow::GoTo), 2, 0, 1, 2);
}

void GoToDialog::start()
{
    open();
    focusEntry(m_address);
}

void GoToDialog::accept()
{
    if (!m_apply(m_address->currentText()))
        return;
    remember(m_address);
    QDialog::accept();
}

SelectRangeDialog::SelectRangeDialog(QWidget* parent, std::function<bool(const QString&, const QString&, bool)> apply)
    : QDialog(parent)
    , m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("selectRangeDialog"));
    setWindowTitle(captionText(CaptionWindow::SelectRange, "", 2));
    auto* grid = new QGridLayout(this);
    m_start = historyCombo(this, "startCombo", 18);
    m_extent = historyCombo(this, "extentCombo", 18);
    m_length = new QRadioButton(captionText(CaptionWindow::SelectRange, "lengthRadio", 2), this);
    m_length->setObjectName(QStringLiteral("lengthRadio"));
    m_length->setChecked(true);
    auto* end = new QRadioButton(captionText(CaptionWindow::SelectRange, "endRadio", 2), this);
    end->setObjectName(QStringLiteral("endRadio"));
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(m_length);
    kinds->addWidget(end);
    kinds->addStretch(1);
    grid->addWidget(label(this, "addressLabel", CaptionWindow::SelectRange), 0, 0);
    grid->addWidget(m_start, 0, 1);
    grid->addLayout(kinds, 1, 0, 1, 2);
    grid->addWidget(m_extent, 2, 1);
    grid->addWidget(label(this, "addressHintLabel", CaptionWindow::SelectRange), 3, 0, 1, 2);
    grid->addWidget(buttons(this, CaptionWindow::SelectRange), 4, 0, 1, 2);
}

void SelectRangeDialog::start()
{
    open();
    focusEntry(m_start);
}

void SelectRangeDialog::accept()
{
    if (!m_apply(m_start->currentText(), m_extent->currentText(), m_length->isChecked()))
        return;
    remember(m_start);
    remember(m_extent);
    QDialog::accept();
}

} // namespace kestrum
