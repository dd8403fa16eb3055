// The main window's client area: the front panel. It paints through paintPanel and lays itself out
// through layoutPanel on every size.
#pragma once

#include <QTimer>
#include <QWidget>

namespace orv {

class PanelWidget : public QWidget {
    Q_OBJECT

  public:
    explicit PanelWidget(QWidget* parent);
    // The digits changed: painted at once, or with the next frame when this frame has had its paint.
    // A program may rewrite them far more often than the screen can show.
    void updateDigits();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    QTimer frameTimer;
    bool digitsDue = false;
};

} // namespace orv
