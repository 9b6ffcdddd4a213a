#include "app/retranslate.h"

#include <QEvent>
#include <QVariant>
#include <QWidget>

namespace {

// A child of the widget: a widget hands LanguageChange on to all its
// children, so the maker hears of it without the widget's own code.
class TextMaker : public QObject
{
public:
    TextMaker(QWidget *widget, const char *property, std::function<QString()> make)
        : QObject(widget), widget(widget), property(property), make(std::move(make))
    {
        setObjectName(QStringLiteral("retranslate:") + QLatin1String(property));
    }

    void apply() { widget->setProperty(property.constData(), make()); }
    void replace(std::function<QString()> maker) { make = std::move(maker); }

    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::LanguageChange)
            apply();
        return QObject::event(event);
    }

private:
    QWidget *widget;
    QByteArray property;
    std::function<QString()> make;
};

} // namespace

namespace Retranslate {

void follow(QWidget *widget, const char *property, std::function<QString()> make)
{
    const QString name = QStringLiteral("retranslate:") + QLatin1String(property);
    auto *maker = static_cast<TextMaker *>(widget->findChild<QObject *>(name, Qt::FindDirectChildrenOnly));
    if (maker)
        maker->replace(std::move(make));
    else
        maker = new TextMaker(widget, property, std::move(make));
    maker->apply();
}

} // namespace Retranslate
