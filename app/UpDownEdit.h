// An edit box with an up-down control. A step by its arrows (or the keys
// that act as them) is reported as a click; typing a value is not.
#pragma once

#include <QSpinBox>

class UpDownEdit : public QSpinBox {
    Q_OBJECT

  public:
    UpDownEdit(int Min, int Max, int Step, int Position, QWidget* Parent);
    // The arrow keys of the keyboard then leave the position alone.
    void setArrowKeysEnabled(bool Enabled) { arrowKeys_ = Enabled; }
    void stepBy(int Steps) override;

  signals:
    void arrowClicked();

  protected:
    void keyPressEvent(QKeyEvent* Event) override;

  private:
    bool arrowKeys_ = true;
};
