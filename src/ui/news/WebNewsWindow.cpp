#include "ui/news/WebNewsWindow.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

WebNewsWindow::WebNewsWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Tessaly NEWS"));
    setFixedSize(520, 500);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    browser_ = new QWebEngineView(this);
    // An empty browser (offline without a news page) stays black like the window.
    browser_->page()->setBackgroundColor(Qt::black);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
}

void WebNewsWindow::Navigate(const QUrl& address) {
    browser_->setUrl(address);
}
