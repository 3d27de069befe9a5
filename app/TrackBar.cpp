#include "app/TrackBar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProxyStyle>

namespace {

class JumpClickStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        if (Hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }
};

QStyle* SharedJumpClickStyle() {
    static QStyle* style = [] {
        auto* created = new JumpClickStyle;
        created->setParent(qApp);
        return created;
    }();
    return style;
}

} // namespace

TrackBar::TrackBar(Qt::Orientation Orientation, int Min, int Max, QWidget* Parent) : QSlider(Orientation, Parent) {
    setStyle(SharedJumpClickStyle());
    setRange(Min, Max);
    setTickPosition(NoTicks);
    setFocusPolicy(Qt::StrongFocus);
}

void TrackBar::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) held_ = true;
    QSlider::mousePressEvent(Event);
}

void TrackBar::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) held_ = false;
    QSlider::mouseReleaseEvent(Event);
}
