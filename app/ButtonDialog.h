// A fixed dialog that closes only through its own buttons: no title-bar
// buttons and no default or cancel button, so Enter and Esc do nothing.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class ButtonDialog : public QDialog {
    Q_OBJECT

  public:
    ButtonDialog(QWidget& Owner, const QString& Caption, QSize ClientSize);

  protected:
    QPushButton* button(const QString& Text, const QRect& Place);
    // A label naming Field, at its left top corner.
    QLabel* label(const QString& Text, QPoint Place, QWidget* Field);
    // The label's text, which also names its field for screen readers.
    static void setCaption(QLabel* Label, const QString& Text);
    void reject() override {}
};
