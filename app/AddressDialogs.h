#pragma once

#include <QDialog>

#include <functional>

class QComboBox;
class QRadioButton;

namespace kestrum {

/// Go to address: one address, remembered with the last entries. OK hands the entry to `apply`;
/// the dialog closes when it was an address and stays open for another try when not.
class GoToDialog : public QDialog
{
    Q_OBJECT
public:
    GoToDialog(QWidget* parent, std::function<bool(const QString& entry)> apply);

    /// Opens over the window with the last entry selected, ready to be typed over.
    void start();

    void accept() override;

private:
    std::function<bool(const QString&)> m_apply;
    QComboBox* m_address = nullptr;
};

/// Select range: a start and a length or an end, each remembered with the last entries.
class SelectRangeDialog : public QDialog
{
    Q_OBJECT
public:
    SelectRangeDialog(QWidget* parent,
        std::function<bool(const QString& start, const QString& extent, bool isLength)> apply);

    void start();

    void accept() override;

private:
    std::function<bool(const QString&, const QString&, bool)> m_apply;
    QComboBox* m_start = nullptr;
    QComboBox* m_extent = nullptr;
    QRadioButton* m_length = nullptr;
};

} // namespace kestrum
