#include "app/vehiclepanel.h"

#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStringListModel>

#include "app/retranslate.h"
#include "config/recordsettings.h"
#include "records/recordreader.h"

namespace {

// A date edit at its minimum shows nothing: no date given.
const QDate NoDate(1950, 1, 1);
constexpr int PlateQuery = 1;

} // namespace

VehiclePanel::VehiclePanel(RecordReader *reader, QWidget *parent)
    : QWidget(parent), reader(reader)
{
    build();
    layOut();
    operatorEdit->setText(settings::lastOperator());
    for (QLineEdit *edit : {plate, vin, operatorEdit})
        connect(edit, &QLineEdit::textChanged, this, &VehiclePanel::changed);
    connect(plate, &QLineEdit::textEdited, this, &VehiclePanel::offerVehicles);
    connect(completer, QOverload<const QString &>::of(&QCompleter::activated), this,
            &VehiclePanel::takeOffered);
    for (QComboBox *box : {category, intake})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &VehiclePanel::changed);
    connect(registered, &QDateEdit::dateChanged, this, &VehiclePanel::changed);
    connect(plateValue, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &VehiclePanel::changed);
    connect(outlets, QOverload<int>::of(&QSpinBox::valueChanged), this, &VehiclePanel::changed);
}

void VehiclePanel::build()
{
    plate = new QLineEdit(this);
    plate->setObjectName(QStringLiteral("vehiclePlate"));
    plate->setMaxLength(VehicleRules::MaxPlateLength);
    Retranslate::follow(plate, "placeholderText", [] { return tr("无车辆"); });
    vin = new QLineEdit(this);
    vin->setObjectName(QStringLiteral("vehicleVin"));
    vin->setMaxLength(VehicleRules::VinLength);
    vin->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-HJ-NPR-Za-hj-npr-z]*")), vin));
    category = new QComboBox(this);
    category->setObjectName(QStringLiteral("vehicleCategory"));
    for (const QString &name : Vehicle::categories())
        category->addItem(name, name);
    category->setCurrentIndex(category->count() - 1);
    intake = new QComboBox(this);
    intake->setObjectName(QStringLiteral("vehicleIntake"));
    intake->addItem(QStringLiteral("—"), int(Vehicle::Intake::Unknown));
    intake->addItem(QString(), int(Vehicle::Intake::Natural));
    intake->addItem(QString(), int(Vehicle::Intake::Turbo));
    nameChoices();
    registered = new QDateEdit(this);
    registered->setObjectName(QStringLiteral("vehicleRegistered"));
    registered->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    registered->setMinimumDate(NoDate);
    registered->setSpecialValueText(QStringLiteral(" "));
    registered->setDate(NoDate);
    odometer = new QSpinBox(this);
    odometer->setObjectName(QStringLiteral("vehicleOdometer"));
    odometer->setRange(-1, 9999999);
    odometer->setSpecialValueText(QStringLiteral(" "));
    odometer->setValue(-1);
    plateValue = new QDoubleSpinBox(this);
    plateValue->setObjectName(QStringLiteral("vehiclePlateValue"));
    plateValue->setRange(0, 10);
    plateValue->setSingleStep(0.05);
    plateValue->setSpecialValueText(QStringLiteral(" "));
    plateValue->setSuffix(QStringLiteral(" m⁻¹"));
    outlets = new QSpinBox(this);
    outlets->setObjectName(QStringLiteral("vehicleOutlets"));
    outlets->setRange(1, Vehicle::MaxOutlets);
    operatorEdit = new QLineEdit(this);
    operatorEdit->setObjectName(QStringLiteral("vehicleOperator"));
    offeredPlates = new QStringListModel(this);
    completer = new QCompleter(offeredPlates, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    plate->setCompleter(completer);
}

void VehiclePanel::layOut()
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    const QList<QPair<const char *, QWidget *>> fields = {
        {QT_TR_NOOP("号牌号码"), plate},     {"VIN", vin},
        {QT_TR_NOOP("车辆类别"), category},  {QT_TR_NOOP("进气方式"), intake},
        {QT_TR_NOOP("初次登记"), registered}, {QT_TR_NOOP("里程(km)"), odometer},
        {QT_TR_NOOP("铭牌值"), plateValue},  {QT_TR_NOOP("检测员"), operatorEdit},
        {QT_TR_NOOP("排气管数"), outlets}};
    for (int i = 0; i < fields.size(); ++i) {
        auto *label = new QLabel(this);
        const char *source = fields.at(i).first;
        Retranslate::text(label, [source] { return tr(source); });
        label->setBuddy(fields.at(i).second);
        grid->addWidget(label, i / 2, (i % 2) * 2);
        grid->addWidget(fields.at(i).second, i / 2, (i % 2) * 2 + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

void VehiclePanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        nameChoices();
    QWidget::changeEvent(event);
}

void VehiclePanel::nameChoices()
{
    category->setItemText(category->findData(QStringLiteral("other")), tr("其他"));
    intake->setItemText(intake->findData(int(Vehicle::Intake::Natural)), tr("自然吸气"));
    intake->setItemText(intake->findData(int(Vehicle::Intake::Turbo)), tr("涡轮增压"));
}

Vehicle VehiclePanel::vehicle() const
{
    Vehicle v;
    v.plate = VehicleRules::normalisedPlate(plate->text());
    v.vin = VehicleRules::normalisedVin(vin->text());
    v.category = category->currentData().toString();
    v.intake = Vehicle::Intake(intake->currentData().toInt());
    if (registered->date() != NoDate)
        v.firstRegistration = registered->date();
    if (odometer->value() >= 0)
        v.odometerKm = odometer->value();
    if (plateValue->value() > 0)
        v.plateValueK = plateValue->value();
    v.outlets = outlets->value();
    return v;
}

QString VehiclePanel::operatorName() const
{
    return operatorEdit->text().trimmed();
}

void VehiclePanel::fill(const Vehicle &v)
{
    plate->setText(v.plate);
    vin->setText(v.vin);
    category->setCurrentIndex(qMax(0, category->findData(v.category)));
    intake->setCurrentIndex(qMax(0, intake->findData(int(v.intake))));
    registered->setDate(v.firstRegistration.isValid() ? v.firstRegistration : NoDate);
    odometer->setValue(v.odometerKm ? int(*v.odometerKm) : -1);
    plateValue->setValue(v.plateValueK.value_or(0));
    outlets->setValue(v.outlets);
}

bool VehiclePanel::confirmVin()
{
    const Vehicle v = vehicle();
    if (VehicleRules::checkVin(v.vin) != VehicleRules::VinCheck::WrongCheckDigit)
        return true;
    const QString text = tr("VIN %1 的校验位（第 9 位）应为 %2。仍按此 VIN 检测吗？")
                             .arg(v.vin, VehicleRules::vinCheckCharacter(v.vin));
    // Qt names its standard buttons in English; the window's words instead.
    QMessageBox box(QMessageBox::Question, tr("VIN 校验位"), text, QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(tr("是"));
    box.button(QMessageBox::No)->setText(tr("否"));
    return box.exec() == QMessageBox::Yes;
}

void VehiclePanel::offerVehicles(const QString &typed)
{
    const QString prefix = VehicleRules::normalisedPlate(typed);
    if (prefix.isEmpty())
        return;
    reader->read<QVector<Vehicle>>(
        PlateQuery, [prefix](RecordStore &store) { return store.vehiclesByPlatePrefix(prefix); },
        [this](const QVector<Vehicle> &found, const QString &) {
            offered = found;
            QStringList plates;
            for (const Vehicle &v : found)
                plates << v.plate;
            offeredPlates->setStringList(plates);
            if (plate->hasFocus() && !plates.isEmpty())
                completer->complete();
        });
}

void VehiclePanel::takeOffered(const QString &chosen)
{
    for (const Vehicle &v : offered)
        if (v.plate == chosen)
            fill(v);
}
