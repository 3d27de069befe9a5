#include "app/ButtonDialog.h"

#include <QLabel>
#include <QPushButton>

ButtonDialog::ButtonDialog(QWidget& Owner, const QString& Caption, QSize ClientSize) : QDialog(&Owner) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(Caption);
    setFixedSize(ClientSize);
}

QPushButton* ButtonDialog::button(const QString& Text, const QRect& Place) {
    auto* button = new QPushButton(Text, this);
    button->setGeometry(Place);
    // A dialog makes its first such button the default one when it opens.
    button->setAutoDefault(false);
    return button;
}

QLabel* ButtonDialog::label(const QString& Text, QPoint Place, QWidget* Field) {
    auto* label = new QLabel(this);
    label->move(Place);
    label->setBuddy(Field);
    setCaption(label, Text);
    return label;
}

void ButtonDialog::setCaption(QLabel* Label, const QString& Text) {
    Label->setText(Text);
    Label->adjustSize();
    Label->buddy()->setAccessibleName(Text);
}
