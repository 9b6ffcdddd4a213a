#include "app/methodeditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QSpinBox>

#include "config/settings.h"

namespace {

// The series keeps the presets' names in its own words (the results file
// and the records hold them as they are); only the page shows them
// translated, in the context the history and the report share.
QString shown(const QString &seriesWord)
{
    return QCoreApplication::translate("FreeAccelPage", seriesWord.toUtf8().constData());
}

} // namespace

MethodEditor::MethodEditor(const Controls &controls, const FreeAccelMethod &inUse, QObject *parent)
    : QObject(parent), c(controls)
{
    for (const FreeAccelMethod &m : FreeAccelMethod::presets())
        c.preset->addItem(shown(m.name), m.name);
    c.preset->addItem(shown(FreeAccelMethod::CustomName), FreeAccelMethod::CustomName);
    own = inUse;
    show(inUse);

    connect(c.preset, QOverload<int>::of(&QComboBox::activated), this, &MethodEditor::choosePreset);
    connect(c.counted, QOverload<int>::of(&QSpinBox::valueChanged), this, &MethodEditor::edited);
    connect(c.maxSnaps, QOverload<int>::of(&QSpinBox::valueChanged), this, &MethodEditor::edited);
    connect(c.band, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &MethodEditor::edited);
    connect(c.limit, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &MethodEditor::edited);
    connect(c.rejectDecreasing, &QCheckBox::toggled, this, &MethodEditor::edited);
    connect(c.useLimit, &QCheckBox::toggled, this, &MethodEditor::edited);
    connect(c.limit, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &MethodEditor::manualLimitChanged);
    connect(c.useLimit, &QCheckBox::toggled, this, &MethodEditor::manualLimitChanged);
}

FreeAccelMethod MethodEditor::method() const
{
    FreeAccelMethod m;
    m.name = c.preset->currentData().toString();
    m.counted = c.counted->value();
    m.band = c.band->value();
    m.maxSnaps = c.maxSnaps->value();
    m.rejectDecreasing = c.rejectDecreasing->isChecked();
    m.hasLimit = c.useLimit->isChecked();
    m.limitK = c.limit->value();
    return m;
}

std::optional<double> MethodEditor::manualLimit() const
{
    if (!c.useLimit->isChecked())
        return std::nullopt;
    return c.limit->value();
}

void MethodEditor::setEditable(bool can)
{
    editable = can;
    for (QWidget *w : std::initializer_list<QWidget *>{c.preset, c.counted, c.band, c.maxSnaps,
                                                       c.rejectDecreasing})
        w->setEnabled(editable && !fixed);
    c.useLimit->setEnabled(editable);
    c.limit->setEnabled(editable && c.useLimit->isChecked());
}

void MethodEditor::fixRules(const std::optional<FreeAccelMethod> &rules)
{
    if (!fixed)
        own = method();
    fixed = rules;
    const int profileItem = c.preset->count() - 1 - int(FreeAccelMethod::presets().size());
    if (profileItem > 0)
        c.preset->removeItem(c.preset->count() - 1);
    FreeAccelMethod m = fixed ? *fixed : own;
    if (fixed)
        c.preset->addItem(m.name, m.name);
    m.hasLimit = c.useLimit->isChecked();
    m.limitK = c.limit->value();
    // A profile without a band shows none, not the smallest one.
    const bool noBand = fixed && fixed->band <= 0;
    c.band->setMinimum(noBand ? 0 : 0.01);
    c.band->setSpecialValueText(noBand ? QStringLiteral("—") : QString());
    show(m);
    setEditable(editable);
}

void MethodEditor::retranslate()
{
    for (int i = 0; i < c.preset->count(); ++i)
        c.preset->setItemText(i, shown(c.preset->itemData(i).toString()));
}

void MethodEditor::show(const FreeAccelMethod &method)
{
    showing = true;
    int index = c.preset->findData(method.name);
    if (index < 0)
        index = c.preset->count() - 1;
    c.preset->setCurrentIndex(index);
    c.counted->setValue(method.counted);
    c.band->setValue(method.band);
    c.maxSnaps->setMinimum(method.counted);
    c.maxSnaps->setValue(method.maxSnaps);
    c.rejectDecreasing->setChecked(method.rejectDecreasing);
    c.useLimit->setChecked(method.hasLimit);
    c.limit->setValue(method.limitK);
    c.limit->setEnabled(method.hasLimit);
    showing = false;
}

void MethodEditor::choosePreset(int index)
{
    FreeAccelMethod picked = method();
    const QList<FreeAccelMethod> presets = FreeAccelMethod::presets();
    if (index >= 0 && index < presets.size()) {
        const FreeAccelMethod &p = presets.at(index);
        picked.name = p.name;
        picked.counted = p.counted;
        picked.band = p.band;
        picked.rejectDecreasing = p.rejectDecreasing;
        picked.maxSnaps = p.maxSnaps;
    }
    show(picked);
    emit chosen(picked.bounded());
}

void MethodEditor::edited()
{
    if (showing)
        return;
    // Rules edited away from a preset are no longer that preset, and the
    // results file must not say they were.
    FreeAccelMethod m = method();
    m.name = FreeAccelMethod::CustomName;
    for (const FreeAccelMethod &p : FreeAccelMethod::presets())
        if (m.sameRules(p))
            m.name = p.name;
    show(m);
    emit chosen(m.bounded());
}
