#pragma once

#include "ui/NewsWindow.h"

#include <QUrl>
#include <QWidget>

class QVBoxLayout;
class QWebEngineView;

// The news window: a fixed 520 x 500 black window filled by a browser. Created hidden at
// start-up; lives until the program ends. Built only inside the news plugin.
class TForm5 : public QWidget, public NewsWindow {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    // NewsWindow
    QWidget* Window() override { return this; }
    void Navigate(const QUrl& address) override;
    void Sleep() override;
    void Wake() override;
    bool Asleep() const override { return WebBrowser == nullptr; }

    // The browser; none while asleep.
    QWebEngineView* WebBrowser = nullptr;

private:
    void MakeBrowser();

    QVBoxLayout* layout_ = nullptr;
    // The last address given, shown again on waking.
    QUrl address_;
};
