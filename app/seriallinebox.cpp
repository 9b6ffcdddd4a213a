#include "app/seriallinebox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/retranslate.h"
#include "net/serialclient.h"

namespace {

// A combo box that lists the ports present each time it opens.
class PortCombo : public QComboBox
{
public:
    PortCombo(SerialLineBox *box, QWidget *parent) : QComboBox(parent), box(box) {}

    void showPopup() override
    {
        box->listPorts();
        QComboBox::showPopup();
    }

private:
    SerialLineBox *box;
};

QLabel *fieldLabel(const char *source, QWidget *buddy)
{
    auto *label = new QLabel;
    label->setBuddy(buddy);
    Retranslate::text(label, [source] { return SerialLineBox::tr(source); });
    return label;
}

} // namespace

SerialLineBox::SerialLineBox(QWidget *parent)
    : QWidget(parent)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *choice = new QHBoxLayout;
    network = new QRadioButton;
    network->setObjectName(QStringLiteral("networkLinkRadio"));
    serial = new QRadioButton;
    serial->setObjectName(QStringLiteral("serialLinkRadio"));
    Retranslate::text(network, [] { return tr("网络"); });
    Retranslate::text(serial, [] { return tr("串口"); });
    auto *group = new QButtonGroup(this);
    group->addButton(network);
    group->addButton(serial);
    auto *choiceLabel = new QLabel;
    Retranslate::text(choiceLabel, [] { return tr("连接方式"); });
    choice->addWidget(choiceLabel);
    choice->addWidget(network);
    choice->addWidget(serial);
    choice->addStretch();
    outer->addLayout(choice);

    lineFields = new QWidget;
    lineFields->setObjectName(QStringLiteral("serialLineFields"));
    auto *form = new QFormLayout(lineFields);
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    addLineFields(form);
    outer->addWidget(lineFields);
    network->setChecked(true);
    lineFields->setVisible(false);
    connect(serial, &QRadioButton::toggled, this, [this](bool on) {
        lineFields->setVisible(on);
        emit serialToggled(on);
    });
}

void SerialLineBox::addLineFields(QFormLayout *form)
{
    port = new PortCombo(this, lineFields);
    port->setObjectName(QStringLiteral("serialPortCombo"));
    port->setEditable(true);
    port->setInsertPolicy(QComboBox::NoInsert);
    port->lineEdit()->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
    form->addRow(fieldLabel(QT_TR_NOOP("串口"), port), port);
    auto *help = new QLabel;
    help->setObjectName(QStringLiteral("serialPortHelp"));
    help->setWordWrap(true);
    Retranslate::text(help, [] {
        return tr("仪表接在本机的串口或 USB 转串口适配器上。打开列表时列出本机现有的串口；也可直接填写，如 "
                  "/dev/ttyUSB0 或 COM3。确定后立即打开此串口，打不开时每秒重试。");
    });
    form->addRow(help);

    baud = new QComboBox;
    baud->setObjectName(QStringLiteral("serialBaudCombo"));
    baud->setEditable(true);
    for (const int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        baud->addItem(QString::number(rate));
    form->addRow(fieldLabel(QT_TR_NOOP("波特率"), baud), baud);
    dataBits = new QComboBox;
    dataBits->setObjectName(QStringLiteral("serialDataBitsCombo"));
    for (int bits = 8; bits >= 5; --bits)
        dataBits->addItem(QString::number(bits), bits);
    form->addRow(fieldLabel(QT_TR_NOOP("数据位"), dataBits), dataBits);
    parity = wordCombo(SerialLine::parities(), {QT_TR_NOOP("无"), QT_TR_NOOP("偶校验"), QT_TR_NOOP("奇校验"),
                                                QT_TR_NOOP("空格"), QT_TR_NOOP("标记")});
    parity->setObjectName(QStringLiteral("serialParityCombo"));
    form->addRow(fieldLabel(QT_TR_NOOP("校验"), parity), parity);
    stopBits = wordCombo(SerialLine::stopBitChoices(), {});
    stopBits->setObjectName(QStringLiteral("serialStopBitsCombo"));
    form->addRow(fieldLabel(QT_TR_NOOP("停止位"), stopBits), stopBits);
    flow = wordCombo(SerialLine::flowControls(), {QT_TR_NOOP("无"), QT_TR_NOOP("硬件 (RTS/CTS)"),
                                                  QT_TR_NOOP("软件 (XON/XOFF)")});
    flow->setObjectName(QStringLiteral("serialFlowCombo"));
    form->addRow(fieldLabel(QT_TR_NOOP("流控"), flow), flow);
}

// The words set.ini uses are the items' data; the operator reads them in
// the window's language.
QComboBox *SerialLineBox::wordCombo(const QStringList &words, const QList<const char *> &texts)
{
    auto *combo = new QComboBox;
    for (const QString &word : words)
        combo->addItem(word, word);
    if (!texts.isEmpty())
        wordTexts.append({combo, texts});
    nameWords();
    return combo;
}

void SerialLineBox::nameWords()
{
    for (const auto &[combo, texts] : qAsConst(wordTexts))
        for (int i = 0; i < combo->count() && i < texts.size(); ++i)
            combo->setItemText(i, tr(texts.at(i)));
}

void SerialLineBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        nameWords();
    QWidget::changeEvent(event);
}

void SerialLineBox::listPorts()
{
    const QString typed = port->currentText();
    port->clear();
    for (const SerialClient::PortEntry &entry : SerialClient::availablePorts()) {
        const QString shown = entry.description.isEmpty()
                                  ? entry.name
                                  : QStringLiteral("%1 — %2").arg(entry.name, entry.description);
        port->addItem(shown, entry.name);
    }
    port->setEditText(typed);
}

void SerialLineBox::show(bool onSerial, const SerialLine &line)
{
    (onSerial ? serial : network)->setChecked(true);
    port->setEditText(line.port);
    baud->setEditText(QString::number(line.baud));
    dataBits->setCurrentIndex(dataBits->findData(line.dataBits));
    parity->setCurrentIndex(parity->findData(line.parity));
    stopBits->setCurrentIndex(stopBits->findData(line.stopBits));
    flow->setCurrentIndex(flow->findData(line.flowControl));
}

bool SerialLineBox::serialChosen() const
{
    return serial->isChecked();
}

SerialLine SerialLineBox::line() const
{
    SerialLine l;
    // A port chosen from the list shows its description too; set.ini keeps the name.
    const int chosen = port->findText(port->currentText());
    l.port = chosen >= 0 ? port->itemData(chosen).toString() : port->currentText();
    bool ok = false;
    l.baud = baud->currentText().trimmed().toInt(&ok);
    if (!ok)
        l.baud = 0;  // refused by the form, with the field named
    l.dataBits = dataBits->currentData().toInt();
    l.parity = parity->currentData().toString();
    l.stopBits = stopBits->currentData().toString();
    l.flowControl = flow->currentData().toString();
    return l;
}
