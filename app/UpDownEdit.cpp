#include "app/UpDownEdit.h"

#include <QKeyEvent>

UpDownEdit::UpDownEdit(int Min, int Max, int Step, int Position, QWidget* Parent) : QSpinBox(Parent) {
    setRange(Min, Max);
    setSingleStep(Step);
    setValue(Position);
    setWrapping(false);
}

void UpDownEdit::stepBy(int Steps) {
    QSpinBox::stepBy(Steps);
    emit arrowClicked();
}

void UpDownEdit::keyPressEvent(QKeyEvent* Event) {
    if (!arrowKeys_ && (Event->key() == Qt::Key_Up || Event->key() == Qt::Key_Down)) {
        Event->ignore();
        return;
    }
    QSpinBox::keyPressEvent(Event);
}
