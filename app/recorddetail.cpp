#include "app/recorddetail.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "report/recordreport.h"

RecordDetail::RecordDetail(const TestRecord &record, QWidget *parent)
    : QDialog(parent), browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("recordDetail"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("检测记录 %1").arg(record.vehicle.isServiceTest() ? tr("无车辆")
                                                                          : record.vehicle.plate));
    // The report's curve at a size that fits this dialog's width.
    RecordReport(record).fill(browser->document(), QSizeF(140, 45), 96 / 25.4);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(browser);
    layout->addWidget(buttons);
    resize(600, 560);
}

QString RecordDetail::text() const
{
    return browser->toPlainText();
}
