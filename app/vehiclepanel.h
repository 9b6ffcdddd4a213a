#ifndef APP_VEHICLEPANEL_H
#define APP_VEHICLEPANEL_H

#include <QVector>
#include <QWidget>

#include "records/vehicle.h"

class QComboBox;
class QCompleter;
class QDateEdit;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;
class QStringListModel;
class RecordReader;

// The vehicle of the next test, in two columns: plate, VIN, category,
// intake, first registration, odometer, plate value of K and the operator.
// Typing a plate offers the vehicles already on record whose plate starts
// so, read through 'reader'; choosing one fills in its fields.
class VehiclePanel : public QWidget
{
    Q_OBJECT

public:
    VehiclePanel(RecordReader *reader, QWidget *parent);

    Vehicle vehicle() const;
    QString operatorName() const;
    void fill(const Vehicle &vehicle);
    // A VIN whose check digit disagrees is the operator's call: false when
    // they decline it.
    bool confirmVin();

signals:
    void changed();

protected:
    void changeEvent(QEvent *event) override;

private:
    // The choices whose names are words, in the language shown.
    void nameChoices();
    void build();
    void layOut();
    void offerVehicles(const QString &typed);
    void takeOffered(const QString &plate);

    RecordReader *reader;
    QLineEdit *plate = nullptr;
    QLineEdit *vin = nullptr;
    QComboBox *category = nullptr;
    QComboBox *intake = nullptr;
    QDateEdit *registered = nullptr;
    QSpinBox *odometer = nullptr;
    QDoubleSpinBox *plateValue = nullptr;
    QSpinBox *outlets = nullptr;
    QLineEdit *operatorEdit = nullptr;
    QCompleter *completer = nullptr;
    QStringListModel *offeredPlates = nullptr;
    QVector<Vehicle> offered;
};

#endif
