#include "app/lazytab.h"

#include <QVBoxLayout>

LazyTab::LazyTab(Maker make, QWidget *parent) : QWidget(parent), make(std::move(make))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QWidget *LazyTab::page()
{
    if (built)
        return built;
    built = make(this);
    make = nullptr;  // what it captured is not needed again
    layout()->addWidget(built);
    return built;
}

void LazyTab::showEvent(QShowEvent *event)
{
    page();
    QWidget::showEvent(event);
}
