// The main window's client area: the front panel. It paints through paintPanel and lays itself out
// through layoutPanel on every size.
#pragma once

#include <QWidget>

namespace orv {

class PanelWidget : public QWidget {
    Q_OBJECT

  public:
    explicit PanelWidget(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
};

} // namespace orv
