#ifndef APP_RECORDDETAIL_H
#define APP_RECORDDETAIL_H

#include <QDialog>

#include "records/testrecord.h"

// One stored record as its report shows it: the vehicle, the snaps with
// the counted ones marked, the result and verdict, and the K curve.
class RecordDetail : public QDialog
{
    Q_OBJECT

public:
    // 'checkFailed': the stored row did not hold together; the report says so.
    RecordDetail(const TestRecord &record, QWidget *parent, bool checkFailed = false);
    QString text() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void showReport();

    TestRecord record;
    bool checkFailed = false;
    class QTextBrowser *browser;
};

#endif
