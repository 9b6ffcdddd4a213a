#ifndef APP_SERIALLINEBOX_H
#define APP_SERIALLINEBOX_H

#include <QPair>
#include <QVector>
#include <QWidget>

#include "net/serialline.h"

class QComboBox;
class QLabel;
class QRadioButton;

// The settings dialog's choice of how the meter is reached (网络 / 串口)
// and, for 串口, the port and its line settings. The ports present are
// listed afresh each time the list opens, since an adapter may have been
// plugged in while the dialog was open.
class SerialLineBox : public QWidget
{
    Q_OBJECT

public:
    explicit SerialLineBox(QWidget *parent = nullptr);

    void show(bool serial, const SerialLine &line);
    bool serialChosen() const;
    SerialLine line() const;

    QComboBox *portField() const { return port; }
    QComboBox *baudField() const { return baud; }

    // Fills the port list with the ports present, keeping the text typed.
    void listPorts();

signals:
    void serialToggled(bool serial);

protected:
    void changeEvent(QEvent *event) override;

private:
    void nameWords();
    void addLineFields(class QFormLayout *form);
    QComboBox *wordCombo(const QStringList &words, const QList<const char *> &texts);

    QRadioButton *network;
    QRadioButton *serial;
    QWidget *lineFields;
    QComboBox *port;
    QComboBox *baud;
    QComboBox *dataBits;
    QComboBox *parity;
    QComboBox *stopBits;
    QComboBox *flow;
    // Combos whose items show a translated text for set.ini's word.
    QVector<QPair<QComboBox *, QList<const char *>>> wordTexts;
};

#endif
