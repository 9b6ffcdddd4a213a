#ifndef APP_LAZYTAB_H
#define APP_LAZYTAB_H

#include <QWidget>

#include <functional>

// Holds a tab's place until the tab is first shown, and only then builds
// the page: a page nobody looks at costs neither the start-up time nor the
// memory of its widgets (the live curve's chart, above all). What the page
// shows must not depend on its having been built: the lane's session keeps
// the data, and a page built late reads what it missed from there.
class LazyTab : public QWidget
{
    Q_OBJECT

public:
    using Maker = std::function<QWidget *(QWidget *holder)>;

    // 'make' builds the page as a child of the holder; it runs once.
    explicit LazyTab(Maker make, QWidget *parent = nullptr);

    // The page, built now if it was not yet.
    QWidget *page();
    bool isBuilt() const { return built != nullptr; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    Maker make;
    QWidget *built = nullptr;
};

#endif
