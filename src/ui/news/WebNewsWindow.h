#pragma once

#include "ui/NewsWindow.h"

#include <QWidget>

class QWebEngineView;

// The news window: a fixed 520 x 500 black window filled by a browser. Built only inside the
// news plugin.
class WebNewsWindow : public QWidget, public NewsWindow {
    Q_OBJECT
public:
    explicit WebNewsWindow(QWidget* parent = nullptr);

    // NewsWindow
    QWidget* Window() override { return this; }
    void Navigate(const QUrl& address) override;

    QWebEngineView* browser_;
};
