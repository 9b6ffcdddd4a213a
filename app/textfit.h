#ifndef APP_TEXTFIT_H
#define APP_TEXTFIT_H

#include <QList>
#include <QString>

class QWidget;

// The form was drawn on Windows with "思源黑体" and fixed pixel boxes; these
// keep its captions whole where that typeface goes by another name or where
// the platform's fonts run larger.
namespace TextFit {

// Makes the whole form scale with a screen set to 125, 150 or 200 %: its
// geometry stays in logical pixels (603 x 465) and grows with the type,
// fractional factors as they are, images from their @2x files. To be called
// before the application object is made.
void scaleWithScreen();

// The family the form asks for.
QString formFamily();

// Maps the form's family to the names the same typeface has on other
// systems (Typeface::mapFormFamily()) and makes it the application's font,
// so that every widget, dialog and message box draws with that one
// typeface and no other font file is loaded for them.
void useFormFamily();

// Grows each label and push button under root whose text does not fit its
// box to its size hint, about the point where its text is aligned, so the
// text stays where the form put it; one that would run into a neighbour
// has its type set smaller instead. No other widget moves. Called again
// after the texts changed, it starts from the form's boxes. What lies on
// the pages in 'later' is left for a call on each page alone.
void growToFit(QWidget *root, const QList<QWidget *> &later = {});

} // namespace TextFit

#endif
