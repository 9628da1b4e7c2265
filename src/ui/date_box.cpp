#include "ui/date_box.h"

#include <QFocusEvent>

namespace ui {

DateBox::DateBox(QWidget* parent)
    : QDateEdit(parent)
{
}

bool DateBox::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

// Entered by Tab or Shift+Tab the box stands on its day, so typing starts from the day whatever the direction.
void DateBox::focusInEvent(QFocusEvent* event)
{
    QDateEdit::focusInEvent(event);
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        setSelectedSection(QDateTimeEdit::DaySection);
}

} // namespace ui
