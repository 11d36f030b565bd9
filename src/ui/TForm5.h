#pragma once

#include <QUrl>
#include <QWidget>

class QWebEngineView;

// Settings the embedded browser needs before the QApplication exists: the shared graphics
// contexts it renders with, and (as the super-user, where its sandbox refuses to start) the
// sandbox switched off. A sandbox setting already in the environment is left alone. Called
// later (tests), it still settles the sandbox before the first browser starts.
void PrepareWebEngine();

// The news window: a fixed 520 x 500 black window filled by a browser. Created hidden at
// start-up; lives until the program ends.
class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    // Lets the browser show a web address or a local file.
    void Navigate(const QUrl& address);

    QWebEngineView* WebBrowser;
};
