#ifndef APP_METHODEDITOR_H
#define APP_METHODEDITOR_H

#include <QObject>

#include <optional>

#include "meter/freeaccelseries.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

// The free-acceleration method as the operator picks and edits it: a preset,
// or rules of their own, kept in set.ini with every change. The controls
// belong to the page's form, which lays them out beside its own; this class
// fills them, reads them back and names what they hold.
class MethodEditor : public QObject
{
    Q_OBJECT

public:
    struct Controls {
        QComboBox *preset;
        QSpinBox *counted;
        QDoubleSpinBox *band;
        QSpinBox *maxSnaps;
        QCheckBox *rejectDecreasing;
        QCheckBox *useLimit;
        QDoubleSpinBox *limit;
    };

    // Fills the controls with the lane's method in use.
    MethodEditor(const Controls &controls, const FreeAccelMethod &inUse, QObject *parent);

    FreeAccelMethod method() const;
    // The limit the operator set by hand, which overrides the vehicle's and
    // the table's; none when "手动" is not ticked.
    std::optional<double> manualLimit() const;
    // A running series keeps the method it started with.
    void setEditable(bool editable);
    // A procedure profile fixes the rules: they are shown and cannot be
    // edited (the manual limit still can); none gives the stored ones back.
    void fixRules(const std::optional<FreeAccelMethod> &rules);
    // The presets' names in the language shown.
    void retranslate();

signals:
    void manualLimitChanged();
    // The operator chose a preset or edited the rules.
    void chosen(const FreeAccelMethod &method);

private:
    void show(const FreeAccelMethod &method);
    void choosePreset(int index);
    void edited();

    Controls c;
    std::optional<FreeAccelMethod> fixed;
    FreeAccelMethod own;   // the rules shown while none are fixed
    bool editable = true;
    bool showing = false;  // controls being filled, not edited
};

#endif
