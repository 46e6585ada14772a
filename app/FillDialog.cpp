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

/// `Edit1KeyPress`: only hexadecimal digits get in, letters turn upper case.
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

TForm4::TForm4(QWidget* parent, Reporter& reporter, DataBuffer& buffer, HandlerGuard runGuarded,
    std::function<void(std::uint32_t)> reloadView, std::function<void()> takeViewEdits)
    : QDialog(parent)
    , clockSeconds([] { return static_cast<std::uint32_t>(QDateTime::currentSecsSinceEpoch()); })
    , m_reporter(reporter)
    , m_buffer(buffer)
    , m_runGuarded(std::move(runGuarded))
    , m_reloadView(std::move(reloadView))
    , m_takeViewEdits(std::move(takeViewEdits))
{
    setObjectName(QStringLiteral("FillDialog"));
    setWindowTitle(QStringLiteral("Fill"));
    setFixedSize(340, 286);
    auto* layout = new QVBoxLayout(this);

    GroupBox1 = new QGroupBox(QStringLiteral("Data"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* dataGrid = new QGridLayout(GroupBox1);
    RadioButton1 = new QRadioButton(QStringLiteral("Byte(8bits)"), GroupBox1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setChecked(true);
    Edit1 = hexEdit(GroupBox1, "Edit1", QStringLiteral("FF"), 2);
    RadioButton2 = new QRadioButton(QStringLiteral("Word(16bits)"), GroupBox1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    Edit2 = hexEdit(GroupBox1, "Edit2", QStringLiteral("FFFF"), 4);
    RadioButton3 = new QRadioButton(QStringLiteral("Random"), GroupBox1);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    dataGrid->addWidget(RadioButton1, 0, 0);
    dataGrid->addWidget(Edit1, 0, 1);
    dataGrid->addWidget(RadioButton2, 1, 0);
    dataGrid->addWidget(Edit2, 1, 1);
    dataGrid->addWidget(RadioButton3, 2, 0);
    layout->addWidget(GroupBox1);

    GroupBox2 = new QGroupBox(QStringLiteral("Range"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* range = new QGridLayout(GroupBox2);
    Label1 = new QLabel(QStringLiteral("Start ADDR"), GroupBox2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit3 = hexEdit(GroupBox2, "Edit3", QStringLiteral("00000"), 0);
    Label2 = new QLabel(QStringLiteral("End ADDR"), GroupBox2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit4 = hexEdit(GroupBox2, "Edit4", QStringLiteral("FFFF"), 0);
    range->addWidget(Label1, 0, 0);
    range->addWidget(Edit3, 0, 1);
    range->addWidget(Label2, 1, 0);
    range->addWidget(Edit4, 1, 1);
    layout->addWidget(GroupBox2);

    auto* buttons = new QHBoxLayout;
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cance"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { m_runGuarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm4::prepare(std::uint32_t chipSize)
{
    m_chipSize = chipSize;
    Edit4->setText(proposedFillEnd(chipSize));
}

FillRequest TForm4::request() const
{
    FillRequest r;
    r.kind = RadioButton2->isChecked() ? FillKind::Word : RadioButton3->isChecked() ? FillKind::Random : FillKind::Byte;
    r.byteText = Edit1->text();
    r.wordText = Edit2->text();
    r.startText = Edit3->text();
    r.endText = Edit4->text();
    return r;
}

void TForm4::BitBtn1Click()
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
