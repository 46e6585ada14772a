#pragma once

#include <QDialog>

namespace kestrum {

/// `TAboutBox`: the program picture, its version and a notice line; the same in every language.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace kestrum
