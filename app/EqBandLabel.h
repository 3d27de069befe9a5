// The equalizer's frequency label: its text names the eight bands, and each
// name is drawn centred under its band's bar.
#pragma once

#include <array>

#include <QLabel>
#include <QStringList>

class EqBandLabel : public QLabel {
    Q_OBJECT

  public:
    explicit EqBandLabel(QWidget* Parent);
    // Centres of the eight bars in the label's coordinates.
    void setBandCentres(const std::array<int, 8>& Centres) { centres_ = Centres; }
    // The band names ("125 Hz" ...), or nothing when the text does not
    // split into eight of them.
    QStringList bandNames() const;

  protected:
    void paintEvent(QPaintEvent* Event) override;

  private:
    std::array<int, 8> centres_{};
};
