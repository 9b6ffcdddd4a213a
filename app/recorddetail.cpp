#include "app/recorddetail.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/retranslate.h"
#include "report/recordreport.h"

RecordDetail::RecordDetail(const TestRecord &record, QWidget *parent, bool checkFailed)
    : QDialog(parent), record(record), checkFailed(checkFailed), browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("recordDetail"));
    setAttribute(Qt::WA_DeleteOnClose);
    showReport();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    Retranslate::text(buttons->button(QDialogButtonBox::Close), [] { return tr("关闭"); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(browser);
    layout->addWidget(buttons);
    resize(600, 560);
}

void RecordDetail::showReport()
{
    setWindowTitle(tr("检测记录 %1").arg(record.vehicle.isServiceTest() ? tr("无车辆") : record.vehicle.plate));
    // The report's curve at a size that fits this dialog's width.
    RecordReport page(record);
    page.markCheckFailed(checkFailed);
    page.fill(browser->document(), QSizeF(140, 45), 96 / 25.4);
}

void RecordDetail::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        showReport();
    QDialog::changeEvent(event);
}

QString RecordDetail::text() const
{
    return browser->toPlainText();
}
