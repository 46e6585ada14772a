#pragma once

#include <QDialog>

namespace kestrum {

/// The About box: the program picture, its version and a notice line; the same in every language.
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace kestrum
