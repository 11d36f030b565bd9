#include "ui/news/TForm5.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

TForm5::TForm5(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Tessaly NEWS"));
    setFixedSize(520, 500);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    WebBrowser = new QWebEngineView(this);
    // An empty browser (offline without a news page) stays black like the window.
    WebBrowser->page()->setBackgroundColor(Qt::black);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WebBrowser);
}

void TForm5::Navigate(const QUrl& address) {
    WebBrowser->setUrl(address);
}
