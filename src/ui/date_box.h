// A date box with one Tab stop: Tab and Shift+Tab leave it for the next or previous control, as from any other
// box of a form. Its day, month and year are reached with Left and Right, changed with Up and Down or by typing,
// or chosen in its calendar. (The toolkit's date box stops at each of its three parts, so a number typed after
// one Tab too few lands in the day or the month.)
#pragma once

#include <QDateEdit>

namespace ui {

class DateBox : public QDateEdit {
    Q_OBJECT
public:
    explicit DateBox(QWidget* parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;
};

} // namespace ui
