#include "app/FillDialog.h"

#include <QBoxLayout>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include <algorithm>

namespace kestrum {

namespace {

/// The hexadecimal fields: only hexadecimal digits get in, letters turn upper case.
class HexDigitsValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override
    {
        // A dropped character must not move the cursor: it stays where the typing happened.
        QString cleaned;
        int cursor = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (QStringLiteral("0123456789abcdefABCDEF").contains(input[i]))
                cleaned += input[i].toUpper();
            else if (i < pos)
                --cursor;
        }
        input = cleaned;
        pos = cursor;
        return Acceptable;
    }
};

QLineEdit* hexEdit(QWidget* parent, const char* name, const QString& text, int maxLength)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setValidator(new HexDigitsValidator(edit));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    return edit;
}

} // namespace

FillDialog::FillDialog(QWidget* parent, Reporter& reporter, DataBuffer& buffer, HandlerGuard runGuarded,
    std::function<void(std::uint32_t)> reloadView, std::function<void()> takeViewEdits)
    : QDialog(parent)
    , clockSeconds([] { return static_cast<std::uint32_t>(QDateTime::currentSecsSinceEpoch()); })
    , m_reporter(reporter)
    , m_buffer(buffer)
    , m_runGuarded(std::move(runGuarded))
    , m_reloadView(std::move(reloadView))
    , m_takeViewEdits(std::move(takeViewEdits))
{
    setObjectName(QStringLiteral("fillDialog"));
    setWindowTitle(QStringLiteral("Fill"));
    setFixedSize(340, 286);
    auto* layout = new QVBoxLayout(this);

    dataGroup = new QGroupBox(QStringLiteral("Data"), this);
    dataGroup->setObjectName(QStringLiteral("dataGroup"));
    auto* dataGrid = new QGridLayout(dataGroup);
    byteRadio = new QRadioButton(QStringLiteral("Byte(8bits)"), dataGroup);
    byteRadio->setObjectName(QStringLiteral("byteRadio"));
    byteRadio->setChecked(true);
    byteEdit = hexEdit(dataGroup, "byteEdit", QStringLiteral("FF"), 2);
    wordRadio = new QRadioButton(QStringLiteral("Word(16bits)"), dataGroup);
    wordRadio->setObjectName(QStringLiteral("wordRadio"));
    wordEdit = hexEdit(dataGroup, "wordEdit", QStringLiteral("FFFF"), 4);
    randomRadio = new QRadioButton(QStringLiteral("Random"), dataGroup);
    randomRadio->setObjectName(QStringLiteral("randomRadio"));
    dataGrid->addWidget(byteRadio, 0, 0);
    dataGrid->addWidget(byteEdit, 0, 1);
    dataGrid->addWidget(wordRadio, 1, 0);
    dataGrid->addWidget(wordEdit, 1, 1);
    dataGrid->addWidget(randomRadio, 2, 0);
    layout->addWidget(dataGroup);

    rangeGroup = new QGroupBox(QStringLiteral("Range"), this);
    rangeGroup->setObjectName(QStringLiteral("rangeGroup"));
    auto* range = new QGridLayout(rangeGroup);
    startLabel = new QLabel(QStringLiteral("Start ADDR"), rangeGroup);
    startLabel->setObjectName(QStringLiteral("startLabel"));
    startEdit = hexEdit(rangeGroup, "startEdit", QStringLiteral("00000"), 0);
    endLabel = new QLabel(QStringLiteral("End ADDR"), rangeGroup);
    endLabel->setObjectName(QStringLiteral("endLabel"));
    endEdit = hexEdit(rangeGroup, "endEdit", QStringLiteral("FFFF"), 0);
    range->addWidget(startLabel, 0, 0);
    range->addWidget(startEdit, 0, 1);
    range->addWidget(endLabel, 1, 0);
    range->addWidget(endEdit, 1, 1);
    layout->addWidget(rangeGroup);

    auto* buttons = new QHBoxLayout;
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cance"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);

    connect(okButton, &QPushButton::clicked, this, [this] { m_runGuarded([this] { fillAndClose(); }); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void FillDialog::prepare(std::uint32_t chipSize)
{
    m_chipSize = chipSize;
    endEdit->setText(proposedFillEnd(chipSize));
}

FillRequest FillDialog::request() const
{
    FillRequest r;
    r.kind = wordRadio->isChecked() ? FillKind::Word : randomRadio->isChecked() ? FillKind::Random : FillKind::Byte;
    r.byteText = byteEdit->text();
    r.wordText = wordEdit->text();
    r.startText = startEdit->text();
    r.endText = endEdit->text();
    return r;
}

void FillDialog::fillAndClose()
{
    QString error;
    const std::optional<FillPlan> plan = planFill(request(), m_reporter.message(MsgFillRange), &error);
    if (!plan) {
        m_reporter.showError(error);
        return;
    }
    // Edits made in the view before the fill go into the buffer first, as for Save and Write; the
    // used length still never shrinks, so nothing loaded before is cut off from Write.
    const qint32 usedBefore = m_buffer.usedLength;
    m_takeViewEdits();
    m_buffer.usedLength = std::max(m_buffer.usedLength, usedBefore);
    applyFill(m_buffer, *plan, clockSeconds());
    m_reporter.addLogLine(fillLogLine(m_reporter, *plan));
    m_reloadView(std::max(m_chipSize, plan->end + 1));
    accept();
}

} // namespace kestrum
