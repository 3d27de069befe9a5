// A track bar: a slider that jumps to where it is clicked and knows whether
// the left mouse button is holding it.
#pragma once

#include <QSlider>

class TrackBar : public QSlider {
    Q_OBJECT

  public:
    TrackBar(Qt::Orientation Orientation, int Min, int Max, QWidget* Parent);
    bool leftButtonHeld() const { return held_; }

  protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

  private:
    bool held_ = false;
};
